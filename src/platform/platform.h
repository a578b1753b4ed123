// The facts of the platform the launcher is built for: separators, suffixes and what the
// system has. The services themselves are declared by concern beside this header: files.h,
// processes.h, text.h, console.h, libraries.h, java_places.h, user_places.h and
// user_interface.h; the build picks their implementation in win32/ or posix/ (a file of the
// same name), and the logic never branches on the platform itself. The path facts are those of
// the native path style (base/path_style.h), which the path operations below this layer take.
#pragma once

#include "base/path_style.h"

namespace platform {

constexpr char kDirSeparator = separatorOf(kNativePathStyle);
constexpr char kForeignSeparator = foreignSeparatorOf(kNativePathStyle);
constexpr char kPathListSeparator = listSeparatorOf(kNativePathStyle);
constexpr char kForeignListSeparator = foreignListSeparatorOf(kNativePathStyle);
constexpr const char* kExeSuffix = exeSuffixOf(kNativePathStyle);
/// Paths may begin with a drive letter and a colon ("C:").
constexpr bool kHasDriveLetters = kNativePathStyle == PathStyle::Windows;
/// File names ignore letter case.
constexpr bool kNamesIgnoreCase = namesIgnoreCase(kNativePathStyle);
#ifdef _WIN32
/// appc.exe is the console variant of app.exe and shares its configuration file.
constexpr bool kHasConsoleVariant = true;
constexpr bool kHasMessageBox = true;
#else
constexpr bool kHasConsoleVariant = false;
constexpr bool kHasMessageBox = false;
#endif

}  // namespace platform
