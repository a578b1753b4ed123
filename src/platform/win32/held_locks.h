// The locks of the start-up cache that this process holds until it ends (files_win32.cpp), which
// a worker it starts takes over (processes_win32.cpp).
#pragma once

#include <windows.h>

#include <vector>

namespace platform {

/// The handles of the locks holdLockUntilExit has taken, and of those a worker was handed.
std::vector<HANDLE>& heldLocks();

}  // namespace platform
