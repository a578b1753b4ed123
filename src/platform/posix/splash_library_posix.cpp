#include "platform/splash_library.h"

namespace platform {

const char* const kSplashLibraryBelowHome = "/lib/libsplashscreen.so";

}  // namespace platform
