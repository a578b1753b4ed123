// The test runtime's stand-in for a Java runtime's splash-screen library: the exports a
// launcher calls, each recorded in FAKEJVM_RECORD as it comes, so that the tests see the
// order of the calls among the VM's events, the file loaded and the scale chosen. It shows no
// window. FAKESPLASH_SCALE (such as "2" or "1.5") is the display's scale, for which the
// variant name@2x.png or name@150pct.png is chosen when that file is there; an image is a file
// that begins as a PNG, GIF or JPEG does. With FAKESPLASH_CLOSE_NOTE set, closing also writes
// a line to standard output.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fake_jvm.h"

#ifdef _WIN32
#define SPLASH_EXPORT extern "C" __declspec(dllexport)
#else
#define SPLASH_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

bool looksLikeAnImage(const unsigned char* start, std::size_t size) {
    static const char* const kMagic[] = {"\x89PNG", "GIF8", "\xFF\xD8\xFF"};
    for (const char* magic : kMagic) {
        std::size_t length = std::strlen(magic);
        if (size >= length && std::memcmp(start, magic, length) == 0) return true;
    }
    return false;
}

/// The library reads names with the C runtime, in its code page, as the real one does.
bool fileStartsAsAnImage(const char* fileName) {
    std::FILE* file = std::fopen(fileName, "rb");
    if (!file) return false;
    unsigned char start[4] = {0, 0, 0, 0};
    std::size_t got = std::fread(start, 1, sizeof start, file);
    std::fclose(file);
    return looksLikeAnImage(start, got);
}

std::string scaleText(float scale) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(scale));
    return text;
}

}  // namespace

SPLASH_EXPORT void SplashInit(void) { fakejvm::record("SplashInit"); }

SPLASH_EXPORT int SplashLoadFile(const char* fileName) {
    fakejvm::record(std::string("SplashLoadFile ") + fileName);
    return fileStartsAsAnImage(fileName) ? 1 : 0;
}

SPLASH_EXPORT int SplashLoadMemory(void* data, int size) {
    fakejvm::record("SplashLoadMemory " + std::to_string(size));
    return size > 0 && looksLikeAnImage(static_cast<const unsigned char*>(data), static_cast<std::size_t>(size)) ? 1 : 0;
}

SPLASH_EXPORT void SplashClose(void) {
    fakejvm::record("SplashClose");
    // Where the launcher's own output is, so that a test sees what came before and after it.
#ifdef _WIN32
    const char* line = "(splash closed)\r\n";  // as the launcher's C runtime ends its lines there
#else
    const char* line = "(splash closed)\n";
#endif
    if (!fakejvm::envValue("FAKESPLASH_CLOSE_NOTE").empty()) fakejvm::writeStandard(1, line);
}

SPLASH_EXPORT void SplashSetFileJarName(const char* fileName, const char* jarName) {
    fakejvm::record(std::string("SplashSetFileJarName ") + (fileName ? fileName : "null") + " " +
                    (jarName ? jarName : "null"));
}

SPLASH_EXPORT void SplashSetScaleFactor(float scaleFactor) {
    fakejvm::record("SplashSetScaleFactor " + scaleText(scaleFactor));
}

SPLASH_EXPORT int SplashGetScaledImgNameMaxPstfixLen(const char* fileName) {
    return static_cast<int>(std::strlen(fileName)) + 8;
}

SPLASH_EXPORT bool SplashGetScaledImageName(const char* /*jarName*/, const char* fileName, float* scaleFactor,
                                            char* scaledName, std::size_t scaledNameLength) {
    *scaleFactor = 1.0f;
    std::string scale = fakejvm::envValue("FAKESPLASH_SCALE");
    if (scale.empty()) return false;
    *scaleFactor = static_cast<float>(std::atof(scale.c_str()));
    std::string name = fileName;
    std::size_t dot = name.rfind('.');
    if (dot == std::string::npos) return false;
    float whole = std::floor(*scaleFactor);
    std::string suffix = whole == *scaleFactor ? "@" + scaleText(whole) + "x"
                                               : "@" + std::to_string(static_cast<int>(*scaleFactor * 100)) + "pct";
    std::string scaled = name.substr(0, dot) + suffix + name.substr(dot);
    std::FILE* file = std::fopen(scaled.c_str(), "rb");
    if (!file || scaled.size() >= scaledNameLength) {
        if (file) std::fclose(file);
        return false;
    }
    std::fclose(file);
    std::memcpy(scaledName, scaled.c_str(), scaled.size() + 1);
    return true;
}
