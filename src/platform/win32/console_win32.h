// What the rest of the Windows platform layer needs to know of the console code.
#pragma once

namespace platform {

/// True when this executable is the windowless (GUI-subsystem) build.
bool windowlessProcess();

}  // namespace platform
