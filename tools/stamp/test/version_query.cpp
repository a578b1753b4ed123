// Reads a file's version information the way Windows Explorer does, through the system's
// version API (GetFileVersionInfoW, VerQueryValueW), for the stamping tests under wine:
//   stamp_version_query FILE NAME...
// prints "file A.B.C.D", "product A.B.C.D" and then "NAME=VALUE" (UTF-8) for each NAME of the
// first translation's string table, "NAME missing" when it has none. Exit 1 without version
// information.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// Into UTF-8, which holds every character: no code page, so WC_NO_BEST_FIT_CHARS has no part here.
std::string utf8(const wchar_t* text) {
    int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(length > 0 ? length : 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], length, nullptr, nullptr);
    out.resize(out.size() - 1);
    return out;
}

void printVersion(const char* what, DWORD ms, DWORD ls) {
    std::printf("%s %lu.%lu.%lu.%lu\n", what, ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    DWORD ignored = 0, size = GetFileVersionInfoSizeW(argv[1], &ignored);
    std::vector<char> data(size ? size : 1);
    if (size == 0 || !GetFileVersionInfoW(argv[1], 0, size, data.data())) {
        std::printf("no version information\n");
        return 1;
    }
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || length < sizeof *fixed) return 1;
    printVersion("file", fixed->dwFileVersionMS, fixed->dwFileVersionLS);
    printVersion("product", fixed->dwProductVersionMS, fixed->dwProductVersionLS);
    WORD* translation = nullptr;
    if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length) ||
        length < 4)
        return 1;
    wchar_t table[64];
    std::swprintf(table, 64, L"\\StringFileInfo\\%04x%04x\\", translation[0], translation[1]);
    for (int i = 2; i < argc; ++i) {
        std::wstring query = std::wstring(table) + argv[i];
        wchar_t* value = nullptr;
        if (VerQueryValueW(data.data(), query.c_str(), reinterpret_cast<void**>(&value), &length))
            std::printf("%s=%s\n", utf8(argv[i]).c_str(), utf8(value).c_str());
        else
            std::printf("%s missing\n", utf8(argv[i]).c_str());
    }
    return 0;
}
