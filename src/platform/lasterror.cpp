// The calling thread's last-error value.
#include "platform/win32.h"

namespace {
thread_local DWORD t_lastError = 0;
}

/* GetLastError */
extern "C" DWORD GetLastError(void) { return t_lastError; }

/* SetLastError */
extern "C" void SetLastError(DWORD code) { t_lastError = code; }
