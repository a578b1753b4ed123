// Windows files through the wide API, so that any file name works: identity by volume serial
// number and file index, the temporary file created beside the output and moved over it.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>

#include "bytes.h"
#include "file_io.h"

namespace stamp {
namespace {

std::wstring wide(const std::string& text) {
    if (text.empty()) return std::wstring();
    int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], length);
    return out;
}

// Into UTF-8, which holds every character: no code page, so no look-alikes, and the call takes
// no WC_NO_BEST_FIT_CHARS (it refuses any flag for UTF-8).
std::string utf8(const wchar_t* text, std::size_t size) {
    if (size == 0) return std::string();
    int length = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(size), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(size), &out[0], length, nullptr, nullptr);
    return out;
}

// The system's text for `error`, without its trailing line break.
std::string systemMessage(DWORD error) {
    wchar_t* text = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message = length ? utf8(text, length) : "error " + std::to_string(error);
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ')) message.pop_back();
    return message;
}

class Handle {
public:
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle() {
        if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return h_; }
    bool close() {
        bool ok = CloseHandle(h_) != 0;
        h_ = INVALID_HANDLE_VALUE;
        return ok;
    }

private:
    HANDLE h_;
};

HANDLE openForReading(const std::string& path) {
    return CreateFileW(wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool writeAll(HANDLE file, const std::string& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20)), written = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0) return false;
        done += written;
    }
    return true;
}

}  // namespace

std::string readWholeFile(const std::string& path) {
    Handle file(openForReading(path));
    if (file.get() == INVALID_HANDLE_VALUE) throw StampError("cannot read " + path + ": " + systemMessage(GetLastError()));
    std::string bytes;
    char buffer[65536];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr))
            throw StampError("cannot read " + path + ": " + systemMessage(GetLastError()));
        if (got == 0) return bytes;
        bytes.append(buffer, got);
    }
}

bool sameFile(const std::string& a, const std::string& b) {
    Handle first(openForReading(a)), second(openForReading(b));
    BY_HANDLE_FILE_INFORMATION x{}, y{};
    return first.get() != INVALID_HANDLE_VALUE && second.get() != INVALID_HANDLE_VALUE &&
           GetFileInformationByHandle(first.get(), &x) && GetFileInformationByHandle(second.get(), &y) &&
           x.dwVolumeSerialNumber == y.dwVolumeSerialNumber && x.nFileIndexHigh == y.nFileIndexHigh &&
           x.nFileIndexLow == y.nFileIndexLow;
}

void writeWholeFile(const std::string& path, const std::string& bytes, const std::string&) {
    std::wstring temporary;
    HANDLE created = INVALID_HANDLE_VALUE;
    for (int attempt = 0; created == INVALID_HANDLE_VALUE && attempt < 100; ++attempt) {
        temporary = wide(path + ".stamp-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt));
        created = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (created == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
    }
    if (created == INVALID_HANDLE_VALUE) throw StampError("cannot write " + path + ": " + systemMessage(GetLastError()));
    Handle file(created);
    bool written = writeAll(file.get(), bytes) && FlushFileBuffers(file.get());
    DWORD error = written ? 0 : GetLastError();
    if (!file.close() && written) {
        written = false;
        error = GetLastError();
    }
    if (written && MoveFileExW(temporary.c_str(), wide(path).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return;
    if (written) error = GetLastError();
    DeleteFileW(temporary.c_str());
    throw StampError("cannot write " + path + ": " + systemMessage(error));
}

void printErrorLine(const std::string& text) {
    // A console shows UTF-16 text whatever its code page; a pipe or file gets the UTF-8 bytes.
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0, written = 0;
    std::wstring line = wide(text + "\n");
    if (GetConsoleMode(err, &mode) && WriteConsoleW(err, line.data(), static_cast<DWORD>(line.size()), &written, nullptr))
        return;
    std::fprintf(stderr, "%s\n", text.c_str());
}

}  // namespace stamp

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.push_back(stamp::utf8(argv[i], std::wcslen(argv[i])));
    return stamp::runStamp(args);
}
