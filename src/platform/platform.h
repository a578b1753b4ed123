// The facts of the platform the launcher is built for: separators, suffixes and what the
// system has. The services themselves are declared by concern beside this header: files.h,
// processes.h, text.h, console.h, libraries.h, java_places.h, user_places.h and
// user_interface.h; the build picks their implementation in win32/ or posix/ (a file of the
// same name), and the logic never branches on the platform itself.
#pragma once

namespace platform {

#ifdef _WIN32
constexpr char kDirSeparator = '\\';
constexpr char kForeignSeparator = '/';
constexpr char kPathListSeparator = ';';
constexpr char kForeignListSeparator = ':';
constexpr const char* kExeSuffix = ".exe";
/// appc.exe is the console variant of app.exe and shares its configuration file.
constexpr bool kHasConsoleVariant = true;
/// Paths may begin with a drive letter and a colon ("C:").
constexpr bool kHasDriveLetters = true;
/// File names ignore letter case.
constexpr bool kNamesIgnoreCase = true;
constexpr bool kHasMessageBox = true;
#else
constexpr char kDirSeparator = '/';
constexpr char kForeignSeparator = '\\';
constexpr char kPathListSeparator = ':';
constexpr char kForeignListSeparator = ';';
constexpr const char* kExeSuffix = "";
constexpr bool kHasConsoleVariant = false;
constexpr bool kHasDriveLetters = false;
constexpr bool kNamesIgnoreCase = false;
constexpr bool kHasMessageBox = false;
#endif

}  // namespace platform
