#pragma once
// The system's texts and paths are UTF-8; the window calls the wide
// interfaces, so that it reads right whatever code page the system is set
// to. Every text crosses over here; entry names carried in a text are
// decoded as code page 932 on the way (win32::Wide).

#include <windows.h>

#include <string_view>

#include "common/win32/code_pages.h"

namespace kowaki {

using win32::Utf8;
using win32::Wide;

}  // namespace kowaki
