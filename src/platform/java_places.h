// Where a Java runtime keeps its files, and where installed runtimes are found on this system.
#pragma once

#include <string>
#include <vector>

namespace platform {

/// What follows a Java home to name its launcher executable: "\bin\java.exe" or "/bin/java".
extern const char* const kJavaExecutable;
/// What follows a Java home to name its splash-screen library: "\bin\splashscreen.dll" or
/// "/lib/libsplashscreen.so". A headless runtime has none.
extern const char* const kSplashLibraryBelowHome;

/// The same below a jre directory: "\jre\bin\java.exe" or "/jre/bin/java".
extern const char* const kJreJavaExecutable;

/// `place` below `javaHome`: one of the places above, or another that begins with the
/// directory separator, after the home as it is written. Joined by hand, not by joinPath, on
/// purpose: a runtime's places follow its home's text, so that an empty home names the place
/// below the root ("\bin\java.exe", "/bin/java") as it always has, and every place of a
/// runtime is formed the same way.
inline std::string belowJavaHome(const std::string& javaHome, const std::string& place) { return javaHome + place; }

/// The default Java home, relative to the executable's directory: "..\jre" or "../jre".
extern const char* const kDefaultJavaHome;

/// The jvm.cfg files a runtime may hold, in the order they are tried.
std::vector<std::string> jvmCfgCandidates(const std::string& javaHome);

/// The VM library files a VM directory may hold, in the order they are tried.
std::vector<std::string> vmLibraryCandidates(const std::string& javaHome,
                                             const std::string& vmDirectory);

/// One Java home that an installer recorded in the system's registry (Windows only).
struct RegisteredJavaHome {
    std::string key;      ///< the key that lists it, such as "HKLM\SOFTWARE\JavaSoft\JDK"
    std::string version;  ///< the version its entry names ("17.0.8", "1.8", "zulu-17")
    std::string home;
};

/// The Java homes the common distributions' installers record, key by key in the order they
/// are searched (HKEY_LOCAL_MACHINE, then HKEY_CURRENT_USER), in the registry view of the
/// launcher's own architecture. Empty on POSIX and where nothing is recorded.
std::vector<RegisteredJavaHome> registeredJavaHomes();

/// The usual places of installed runtimes, in the order they are searched, as patterns of
/// which one part is '*' (each subdirectory there): "/usr/lib/jvm/*",
/// "C:\Users\u\scoop\apps\*\current". Places under an unset variable are left out.
std::vector<std::string> usualJavaFolders();

/// The file name of the Java launcher in a runtime's bin directory: "java.exe" or "java".
extern const char* const kJavaExecutableName;

}  // namespace platform
