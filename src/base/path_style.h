// How a system writes its paths. Every path and list operation of base/ takes the style as a
// parameter (the running system's by default), so that each system's rules hold, and are
// tested, on the other one too.
#pragma once

/// Windows: '\' separates and so does '/', drive letters and network shares begin roots, ';'
/// separates the entries of a list, names ignore letter case and programs end in ".exe".
/// POSIX: '/' alone separates, "/" is the one root, ':' separates list entries, names are
/// exact and programs have no suffix.
enum class PathStyle { Posix, Windows };

/// The style of the system the launcher is built for.
#ifdef _WIN32
constexpr PathStyle kNativePathStyle = PathStyle::Windows;
#else
constexpr PathStyle kNativePathStyle = PathStyle::Posix;
#endif

/// The directory separator that the style writes.
constexpr char separatorOf(PathStyle style) { return style == PathStyle::Windows ? '\\' : '/'; }

/// The other system's separator, which fixSlashes turns into the style's own.
constexpr char foreignSeparatorOf(PathStyle style) { return style == PathStyle::Windows ? '/' : '\\'; }

/// True when `c` separates directories in the style: both slashes on Windows, '/' on POSIX.
constexpr bool isSeparator(char c, PathStyle style) { return c == '/' || (style == PathStyle::Windows && c == '\\'); }

/// The separator of a list of paths (PATH, a class path).
constexpr char listSeparatorOf(PathStyle style) { return style == PathStyle::Windows ? ';' : ':'; }

/// The other system's list separator.
constexpr char foreignListSeparatorOf(PathStyle style) { return style == PathStyle::Windows ? ':' : ';'; }

/// The ending of an executable's name: ".exe" on Windows, none on POSIX.
constexpr const char* exeSuffixOf(PathStyle style) { return style == PathStyle::Windows ? ".exe" : ""; }

/// True when the style's file names ignore letter case.
constexpr bool namesIgnoreCase(PathStyle style) { return style == PathStyle::Windows; }
