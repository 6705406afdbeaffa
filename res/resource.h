// Resource and control ids, shared by kowaki.rc and the program.
#pragma once

#define IDI_KOWAKI 100

#define IDD_MAIN_DIALOG 101
#define IDC_PATH 1000
#define IDC_BROWSE 1001
#define IDC_LIST 1002
#define IDC_PROGRESS 1003
#define IDC_PLAY 1004
#define IDC_SETTINGS 1005
#define IDC_OUTPUT 1006

#define IDD_CFG_DIALOG 102
#define IDC_TYPE_OGG 1100
#define IDC_TYPE_WAV 1101
#define IDC_RATE 1102
#define IDC_CHANNELS 1103
#define IDC_MERGE 1104
