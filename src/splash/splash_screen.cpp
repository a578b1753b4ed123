#include "splash/splash_screen.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <optional>
#include <vector>

#include "base/path_names.h"
#include "base/text_ops.h"
#include "messages/messages.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/java_places.h"
#include "platform/libraries.h"
#include "platform/processes.h"
#include "platform/text.h"

namespace {

/// Images larger than this are not read: a splash that takes long to decode defeats itself.
constexpr std::uint64_t kMaxSplashImageBytes = std::uint64_t(64) << 20;
/// How long a close waits for the splash library's thread to end.
constexpr unsigned kSplashThreadEndMs = 2000;

/// Why `image` cannot be a splash image, in words for a -verbose line ("is missing", "is
/// empty"...); nullopt when it is a readable regular file of 1 byte to kMaxSplashImageBytes.
/// Whether its bytes form an image only the splash library can say.
std::optional<std::string> splashImageProblem(const std::string& image) {
    if (!platform::exists(image)) return std::string("is missing");
    std::optional<platform::FileStamp> stamp = platform::fileStamp(image);
    if (!stamp) return std::string("is not a regular file");
    if (stamp->size == 0) return std::string("is empty");
    if (stamp->size > kMaxSplashImageBytes) return std::string("is larger than 64 MiB");
    if (!platform::readFileStart(image, 1)) return std::string("cannot be read");
    return std::nullopt;
}

// The runtime's splash library, as its exports are declared (checked against the JDK 17 and
// Java 25 libraries for Linux x86-64 by their machine code: the file name reaches fopen, the
// memory's size is a 32-bit int, the scale factor a float, the scaled-name lookup sets its
// float to the display's scale and returns 1 or 0 in a byte, its jar name unused there). They
// are C functions of the platform's default calling convention, not JNICALL.
extern "C" {
using SplashInit = void (*)();
using SplashLoadFile = int (*)(const char* fileName);
using SplashLoadMemory = int (*)(void* data, int size);
using SplashClose = void (*)();
using SplashSetFileJarName = void (*)(const char* fileName, const char* jarName);
using SplashSetScaleFactor = void (*)(float scaleFactor);
using SplashGetScaledImgNameMaxPstfixLen = int (*)(const char* fileName);
using SplashGetScaledImageName = unsigned char (*)(const char* jarName, const char* fileName, float* scaleFactor,
                                                   char* scaledName, std::size_t scaledNameLength);
}

struct SplashLibrary {
    SplashInit init = nullptr;
    SplashLoadFile loadFile = nullptr;
    SplashLoadMemory loadMemory = nullptr;
    SplashClose close = nullptr;
    SplashSetFileJarName setFileJarName = nullptr;
    SplashSetScaleFactor setScaleFactor = nullptr;
    SplashGetScaledImgNameMaxPstfixLen scaledNameLength = nullptr;
    SplashGetScaledImageName scaledImageName = nullptr;
};

/// The splash shown by this process: its library's close, until it is closed. The image's
/// bytes, where the library was given them rather than the name, live as long.
struct ShownSplash {
    SplashClose close = nullptr;
    std::string imageBytes;
    /// The threads the library started to show it, which close tells to wind down.
    std::vector<long> threads;
    /// What showSplashScreen decided, for the start's record.
    std::string decision;
};

ShownSplash& shownSplash() {
    static ShownSplash shown;
    return shown;
}

void tellWhyNot(bool verbose, const std::string& why) {
    shownSplash().decision = "not shown: " + why;
    if (verbose) printOut("No splash screen: " + why + "\n");
}

template <typename Function>
bool findExport(void* handle, const char* name, Function& function, std::string& missing) {
    function = reinterpret_cast<Function>(platform::findSymbol(handle, name));
    if (!function && missing.empty()) missing = name;
    return function != nullptr;
}

/// The runtime's splash library with every export found; nullopt, after the verbose line,
/// when it is absent (a headless runtime), does not load or lacks an export.
std::optional<SplashLibrary> loadSplashLibrary(const SplashRequest& request) {
    // By its full path, as the runtime's AWT will name it: the loader then gives it this copy.
    std::string path = platform::absolutePath(platform::belowJavaHome(request.javaHome, platform::kSplashLibraryBelowHome));
    if (!platform::isRegularFile(path)) {
        tellWhyNot(request.verbose, "the runtime has no splash library (" + path + ")");
        return std::nullopt;
    }
    // The launch's VM library first, as the runtime's own launcher loads it: where a build links
    // its splash library against the VM library, that dependency is then the one already
    // loaded, never another copy that the loader's search path (LD_LIBRARY_PATH) names first,
    // which would put two VMs in one process.
    if (!platform::loadLibrary(request.vmLibrary).handle) {
        tellWhyNot(request.verbose, "the VM library does not load (" + request.vmLibrary + ")");
        return std::nullopt;
    }
    void* handle = platform::loadLibrary(path).handle;
    if (!handle) {
        tellWhyNot(request.verbose, "the runtime's splash library does not load (" + path + ")");
        return std::nullopt;
    }
    SplashLibrary library;
    std::string missing;
    findExport(handle, "SplashInit", library.init, missing);
    findExport(handle, "SplashLoadFile", library.loadFile, missing);
    findExport(handle, "SplashLoadMemory", library.loadMemory, missing);
    findExport(handle, "SplashClose", library.close, missing);
    findExport(handle, "SplashSetFileJarName", library.setFileJarName, missing);
    findExport(handle, "SplashSetScaleFactor", library.setScaleFactor, missing);
    findExport(handle, "SplashGetScaledImgNameMaxPstfixLen", library.scaledNameLength, missing);
    findExport(handle, "SplashGetScaledImageName", library.scaledImageName, missing);
    if (missing.empty()) return library;
    tellWhyNot(request.verbose, "the runtime's splash library lacks " + missing + " (" + path + ")");
    return std::nullopt;
}

/// The image's name in the bytes the library's file functions read (the ANSI code page on
/// Windows); nullopt when they cannot hold it.
std::optional<std::string> libraryFileName(const std::string& path) {
    std::string unrepresentable;
    std::optional<std::string> text = platform::vmOptionText(path, platform::VmOptionValue::Text, unrepresentable);
    if (!text) return std::nullopt;
    return platform::vmOptionBytes(*text);
}

/// An image file and the display scale it is drawn for.
struct Variant {
    std::string image;
    float scale = 1.0f;
};

/// Whether the library may look for the display's variant of `image` itself. It opens, beside
/// the image, names made of the image's stem, a mark of the scale and its extension
/// (image@2x.png, image@150pct.png; Windows: image.scale-200.png), by the C runtime, which waits
/// for ever on a FIFO. So it may only when every entry there that could be such a name (begins
/// as the stem, in any letter case, and ends as the extension) passes the image's own check.
bool variantsSafeToOpen(const std::string& image) {
    std::string directory = directoryOf(image), name = fileNameOf(image);
    std::size_t dot = name.rfind('.');
    std::string stem = lowerCaseCopy(name.substr(0, dot));
    for (const std::string& entry : platform::findFiles(directory, "*" + (dot == std::string::npos ? "" : name.substr(dot))))
        if (entry.size() > name.size() && startsWith(lowerCaseCopy(entry), stem) && splashImageProblem(directory + entry))
            return false;
    return true;
}

/// The variant of `image` for the display's scale as the library finds it; `image` itself at
/// scale 1 when there is none, or when a name it would open fails the check.
Variant scaledVariant(const SplashLibrary& library, const std::string& image) {
    std::optional<std::string> name = libraryFileName(image);
    int length = name && variantsSafeToOpen(image) ? library.scaledNameLength(name->c_str()) : 0;
    if (length <= 0) return {image};
    // Room for the name and the longest suffix, whichever of the two the length counts.
    std::vector<char> scaled(name->size() + static_cast<std::size_t>(length) + 1, '\0');
    float scale = 1.0f;
    if (!library.scaledImageName(nullptr, name->c_str(), &scale, scaled.data(), scaled.size())) return {image};
    scaled.back() = '\0';
    Variant variant{platform::codePageToUtf8(scaled.data()), scale};
    if (splashImageProblem(variant.image)) return {image};
    return variant;
}

/// Hands the image to the library, by name where its file functions can open it, else as
/// bytes; true when it is an image the library shows.
bool loadImage(const SplashLibrary& library, const std::string& image) {
    if (std::optional<std::string> name = libraryFileName(image)) {
        if (!library.loadFile(name->c_str())) return false;
        library.setFileJarName(name->c_str(), nullptr);
        return true;
    }
    std::optional<std::string> bytes = platform::readFileStart(image, static_cast<std::size_t>(kMaxSplashImageBytes));
    if (!bytes) return false;
    shownSplash().imageBytes = std::move(*bytes);
    std::string& data = shownSplash().imageBytes;
    return library.loadMemory(&data[0], static_cast<int>(data.size())) != 0;
}


}  // namespace

void showSplashScreen(const SplashRequest& request) {
    std::string image = platform::absolutePath(request.image);
    if (std::optional<std::string> problem = splashImageProblem(image)) {
        if (*problem == "is missing") printErr("WARNING: The splash screen image is missing: " + image + "\n");
        tellWhyNot(request.verbose, "the image " + *problem + " (" + image + ")");
        return;
    }
    std::optional<SplashLibrary> library = loadSplashLibrary(request);
    if (!library) return;
    library->init();
    Variant chosen = scaledVariant(*library, image);
    if (chosen.image != image) library->setScaleFactor(chosen.scale);
    std::vector<long> before = platform::threadsOfThisProcess();
    bool loaded = loadImage(*library, chosen.image);
    // A variant that is no image the library reads gives way to the image, drawn at scale 1.
    if (!loaded && chosen.image != image) {
        library->setScaleFactor(1.0f);
        chosen = Variant{image};
        loaded = loadImage(*library, image);
    }
    if (!loaded) {
        // The library has taken down what it set up for the image.
        library->close();
        shownSplash().imageBytes.clear();
        tellWhyNot(request.verbose, "the runtime's splash library cannot show the image, which is no image it reads or has no display"
                                        " (" + chosen.image + ")");
        return;
    }
    std::vector<long> after = platform::threadsOfThisProcess();
    shownSplash().close = library->close;
    std::set_difference(after.begin(), after.end(), before.begin(), before.end(), std::back_inserter(shownSplash().threads));
    setBeforeMessage(closeSplashScreen);
    shownSplash().decision = "shown: " + chosen.image;
    if (request.verbose) printOut("Splash screen: " + chosen.image + "\n");
}

const std::string& splashScreenDecision() { return shownSplash().decision; }

void closeSplashScreen() {
    ShownSplash& shown = shownSplash();
    if (!shown.close) return;
    SplashClose close = shown.close;
    shown.close = nullptr;
    close();
    // The library's thread winds down on its own after close: a process that ends meanwhile
    // would free what it still reads.
    platform::waitForThreadsToEnd(shown.threads, kSplashThreadEndMs);
    shown.threads.clear();
    shown.imageBytes.clear();
    shown.imageBytes.shrink_to_fit();
}
