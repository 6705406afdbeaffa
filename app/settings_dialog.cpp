#include "app/settings_dialog.h"

#include <cstdio>
#include <string>

#include "app/main_window.h"
#include "app/wide_text.h"
#include "res/resource.h"
#include "settings/output_settings.h"
#include "settings/settings_choices.h"
#include "settings/settings_store.h"
#include "text/catalogue.h"

namespace kowaki {

namespace {

void AddChoice(HWND dialog, int combo, const std::string& text) {
  SendDlgItemMessageW(dialog, combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(text).c_str()));
}

void FillChoices(HWND dialog) {
  const std::string same = Say(Text::kSameAsSource);
  AddChoice(dialog, IDC_RATE, same);
  for (int32_t rate : kOfferedRates) AddChoice(dialog, IDC_RATE, std::to_string(rate));
  AddChoice(dialog, IDC_CHANNELS, same);
  for (int32_t channels = 1; channels <= 2; ++channels) {
    AddChoice(dialog, IDC_CHANNELS, std::to_string(channels));
  }
}

// The radio pair is not automatic: a click on either lands here, and the
// WAV choices are usable only with WAV chosen.
void ChooseType(HWND dialog, bool wav) {
  CheckDlgButton(dialog, IDC_TYPE_OGG, wav ? BST_UNCHECKED : BST_CHECKED);
  CheckDlgButton(dialog, IDC_TYPE_WAV, wav ? BST_CHECKED : BST_UNCHECKED);
  for (int id : {IDC_RATE, IDC_CHANNELS, IDC_MERGE}) {
    EnableWindow(GetDlgItem(dialog, id), wav ? TRUE : FALSE);
  }
}

void OnInitDialog(HWND dialog) {
  FillChoices(dialog);
  const OutputSettings settings = LoadOutputSettings(*OpenSettingsStore());
  SendDlgItemMessageW(dialog, settings.type == 0 ? IDC_TYPE_OGG : IDC_TYPE_WAV, BM_CLICK, 0, 0);
  SendDlgItemMessageW(dialog, IDC_RATE, CB_SETCURSEL, static_cast<WPARAM>(RateChoice(settings.frq)),
                      0);
  SendDlgItemMessageW(dialog, IDC_CHANNELS, CB_SETCURSEL,
                      static_cast<WPARAM>(ChannelChoice(settings.ch)), 0);
  CheckDlgButton(dialog, IDC_MERGE, settings.merge != 0 ? BST_CHECKED : BST_UNCHECKED);
  CenterWindow(dialog);
}

void Save(HWND dialog) {
  OutputSettings settings;
  settings.type = IsDlgButtonChecked(dialog, IDC_TYPE_OGG) == BST_CHECKED ? 0 : 1;
  settings.frq =
      RateOfChoice(static_cast<int32_t>(SendDlgItemMessageW(dialog, IDC_RATE, CB_GETCURSEL, 0, 0)));
  settings.ch = ChannelsOfChoice(
      static_cast<int32_t>(SendDlgItemMessageW(dialog, IDC_CHANNELS, CB_GETCURSEL, 0, 0)));
  settings.merge = IsDlgButtonChecked(dialog, IDC_MERGE) == BST_CHECKED ? 1 : 0;
  auto store = OpenSettingsStore();
  SaveOutputSettings(*store, settings);
}

}  // namespace

INT_PTR CALLBACK OutputSettingsDialog(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog(dialog);
      return 0;
    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case IDC_TYPE_OGG:
          ChooseType(dialog, false);
          break;
        case IDC_TYPE_WAV:
          ChooseType(dialog, true);
          break;
        case IDOK:
          Save(dialog);
          EndDialog(dialog, IDOK);
          break;
        case IDCANCEL:
          EndDialog(dialog, IDCANCEL);
          break;
        default:
          break;
      }
      return 0;
    default:
      return 0;
  }
}

}  // namespace kowaki
