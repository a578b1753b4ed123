// The locks of the start-up cache that this process holds until it ends (files_posix.cpp), which
// its background worker keeps when it closes what it inherited (processes_posix.cpp).
#pragma once

#include <vector>

namespace platform {

/// The descriptors of the locks holdLockUntilExit has taken.
const std::vector<int>& heldLocks();

}  // namespace platform
