// A stand-in for a JDK's javac.exe, jar.exe and java.exe, for the README's Windows walk under
// wine, where no Windows JDK runs: it prints nothing, makes the directory after "-d" and an
// empty file after "--file", as javac and jar would make theirs, and exits with 0.
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (lstrcmpW(argv[i], L"-d") == 0) CreateDirectoryW(argv[i + 1], nullptr);
        if (lstrcmpW(argv[i], L"--file") == 0) {
            HANDLE file = CreateFileW(argv[i + 1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        }
    }
    return 0;
}
