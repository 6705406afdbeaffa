#include <windows.h>

#include "common/temp_files.h"

namespace kowaki::platform {

// Console events arrive on a thread of their own: nothing to hold back.
void HoldSignals() {}
void ReleaseSignals() {}

// Our temporaries are open with delete shared, so this marks one for
// removal and it goes when the process ends.
void RemoveFileNow(const char* path) { DeleteFileA(path); }

void PauseBriefly() { Sleep(1); }

}  // namespace kowaki::platform
