// A stand-in for a JDK's javac.exe, jar.exe and java.exe where no Windows JDK runs under wine:
// it prints nothing, makes the directory after "-d" and an empty file after "--file", as javac
// and jar would make theirs, and as java makes a class archive ("-Xshare:dump" and
// "-XX:SharedArchiveFile=<file>") writes one, after the seconds LAUNCHER_TEST_MAKING_SECONDS
// names; it exits with 0.
#include <windows.h>

#include <string>

int wmain(int argc, wchar_t** argv) {
    bool dump = false;
    std::wstring archive;
    const std::wstring archiveOption = L"-XX:SharedArchiveFile=";
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        dump = dump || arg == L"-Xshare:dump";
        if (arg.compare(0, archiveOption.size(), archiveOption) == 0) archive = arg.substr(archiveOption.size());
        if (i + 1 == argc) continue;
        if (arg == L"-d") CreateDirectoryW(argv[i + 1], nullptr);
        if (arg == L"--file") {
            HANDLE file = CreateFileW(argv[i + 1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        }
    }
    if (dump && !archive.empty()) {
        wchar_t seconds[16] = L"";
        if (GetEnvironmentVariableW(L"LAUNCHER_TEST_MAKING_SECONDS", seconds, 16)) Sleep(1000 * _wtoi(seconds));
        HANDLE file = CreateFileW(archive.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return 1;
        // An archive's first bytes, as the runtimes write them.
        const char content[] = "\xa2\xab\x0b\xf0 stand-in archive";
        DWORD written = 0;
        WriteFile(file, content, sizeof content - 1, &written, nullptr);
        CloseHandle(file);
    }
    return 0;
}
