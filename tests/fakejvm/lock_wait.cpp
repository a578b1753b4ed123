// Waits until no process holds a lock of the start-up cache in the directory it is given (the
// first argument), for at most the seconds the second names: a lock is a file that its holder
// keeps open without sharing. Exits with 0 when none is held, 1 otherwise. The process tests
// run it under wine, whose processes' locks the host cannot see.
#include <windows.h>

#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) return 2;
    std::wstring directory = argv[1];
    DWORD limit = GetTickCount() + 1000 * static_cast<DWORD>(_wtoi(argv[2]));
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((directory + L"\\*.lock").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    bool free = true;
    do {
        std::wstring lock = directory + L"\\" + found.cFileName;
        for (;;) {
            HANDLE file = CreateFileW(lock.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            if (file != INVALID_HANDLE_VALUE) {
                CloseHandle(file);
                break;
            }
            if (GetLastError() != ERROR_SHARING_VIOLATION) break;
            if (static_cast<LONG>(GetTickCount() - limit) >= 0) {
                free = false;
                break;
            }
            Sleep(50);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return free ? 0 : 1;
}
