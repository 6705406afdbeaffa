#include <windows.h>

#include "common/temp_files.h"
#include "common/win32/code_pages.h"

namespace kowaki::platform {

// Console events arrive on a thread of their own: nothing to hold back.
void HoldSignals() {}
void ReleaseSignals() {}

// Our temporaries are open with delete shared, so this marks one for
// removal and it goes when the process ends. Console events come on a
// thread of their own, where converting the path is safe.
void RemoveFileNow(const char* path) { DeleteFileW(win32::Wide(path).c_str()); }

void PauseBriefly() { Sleep(1); }

}  // namespace kowaki::platform
