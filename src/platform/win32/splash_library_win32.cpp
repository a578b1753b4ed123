#include "platform/splash_library.h"

namespace platform {

const char* const kSplashLibraryBelowHome = "\\bin\\splashscreen.dll";

}  // namespace platform
