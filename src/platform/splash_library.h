// Where a Java runtime keeps its splash-screen library.
#pragma once

namespace platform {

/// What follows a Java home to name its splash-screen library: "\bin\splashscreen.dll" or
/// "/lib/libsplashscreen.so". A headless runtime has none.
extern const char* const kSplashLibraryBelowHome;

}  // namespace platform
