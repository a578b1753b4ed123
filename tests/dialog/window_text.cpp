// window_text CAPTION: prints, in UTF-8, the message text of the top-level window whose caption
// is CAPTION (a message box's text control, else the text of each child control, one a line),
// and exits 0; exits 1 when no such window is there. A Windows program, built by the Windows
// trees, that the dialog tests run under wine beside the launcher whose window they read.
#include <windows.h>

#include <string>

namespace {

struct Search {
    std::wstring caption;
    HWND found = nullptr;
};

BOOL CALLBACK matchCaption(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<Search*>(data);
    wchar_t text[512];
    int length = GetWindowTextW(window, text, 512);
    if (IsWindowVisible(window) && std::wstring(text, length > 0 ? length : 0) == search->caption) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

std::wstring textOf(HWND window) {
    int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    int got = GetWindowTextW(window, &text[0], length + 1);
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return text;
}

BOOL CALLBACK appendChildText(HWND child, LPARAM data) {
    *reinterpret_cast<std::wstring*>(data) += textOf(child) + L"\n";
    return TRUE;
}

// Into UTF-8, which holds every character: no code page, so WC_NO_BEST_FIT_CHARS has no part
// here (the system refuses it for UTF-8), and no character becomes a look-alike.
void writeUtf8(const std::wstring& text) {
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], size, nullptr, nullptr);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 2;
    Search search{argv[1]};
    EnumWindows(&matchCaption, reinterpret_cast<LPARAM>(&search));
    if (!search.found) return 1;
    // A message box keeps its text in the static control 0xFFFF.
    HWND message = GetDlgItem(search.found, 0xFFFF);
    std::wstring text;
    if (message)
        text = textOf(message);
    else
        EnumChildWindows(search.found, &appendChildText, reinterpret_cast<LPARAM>(&text));
    writeUtf8(text);
    return 0;
}
