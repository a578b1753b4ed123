// What the rest of the Windows platform layer needs of the console code.
#pragma once

#include <windows.h>

namespace platform {

/// A windowless (GUI-subsystem) child gets no standard handles of its own: when this process is
/// windowless, its update child is windowless too and is handed this process's standard
/// handles, so that it writes where its parent does. Nothing changes for a console executable.
void passStandardHandles(STARTUPINFOW& startup);

}  // namespace platform
