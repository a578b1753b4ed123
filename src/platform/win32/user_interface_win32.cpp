// The user interface on Windows: message boxes, and the prompt for java.exe (dialog template
// 101 of the launcher's own resources).
#include <windows.h>

#include <cderr.h>
#include <commdlg.h>
#include <shellapi.h>

#include <string>

#include "platform/console.h"
#include "platform/user_interface.h"
#include "platform/win32/message_box_text.h"
#include "platform/win32/wide_text.h"
#include "res/resource.h"

namespace platform {
namespace {

// The answer, at most 259 characters, wide so that it may name any path: the dialog empties it
// when it opens and fills it on OK.
wchar_t enteredPath[MAX_PATH];

void centreWindow(HWND window) {
    RECT rect;
    if (!GetWindowRect(window, &rect)) return;
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    int x = (GetSystemMetrics(SM_CXSCREEN) >> 1) - (width >> 1);
    int y = (GetSystemMetrics(SM_CYSCREEN) >> 1) - (height >> 1);
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

// Lets the user pick java.exe in a file chooser that starts from what the field holds, and
// puts the choice into the field (which enables OK through EN_CHANGE).
void browseForJavaExe(HWND dialog) {
    wchar_t file[MAX_PATH] = L"";
    GetDlgItemTextW(dialog, IDC_JAVA_EXE_PATH, file, MAX_PATH);
    std::wstring initialDirectory;
    DWORD attributes = GetFileAttributesW(file);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        initialDirectory = file;
        file[0] = '\0';
    }

    OPENFILENAMEW chooser;
    ZeroMemory(&chooser, sizeof chooser);
    chooser.lStructSize = sizeof chooser;
    chooser.hwndOwner = dialog;
    chooser.lpstrFilter = L"java.exe\0java.exe\0All files (*.*)\0*.*\0";
    chooser.nFilterIndex = 1;
    chooser.lpstrFile = file;
    chooser.nMaxFile = MAX_PATH;
    chooser.lpstrInitialDir = initialDirectory.empty() ? nullptr : initialDirectory.c_str();
    // The launcher's relative paths depend on its current directory: the chooser must not move it.
    chooser.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;

    BOOL chosen = GetOpenFileNameW(&chooser);
    if (!chosen && CommDlgExtendedError() == FNERR_INVALIDFILENAME) {
        // What the field held is no usable file name: start without it.
        file[0] = '\0';
        chosen = GetOpenFileNameW(&chooser);
    }
    if (!chosen) return;
    SetDlgItemTextW(dialog, IDC_JAVA_EXE_PATH, file);
    SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, IDOK)), TRUE);
}

/// What the dialog shows besides its template: the caption, what the application needs and
/// where to get Java.
struct DialogTexts {
    std::wstring caption;
    std::wstring need;
    std::wstring downloadUrl;
};

/// Makes room above the template's controls for one row of `line` (dialog units, from the
/// top), and returns that row in pixels.
RECT addTopRow(HWND dialog, RECT line) {
    MapDialogRect(dialog, &line);
    int shift = line.bottom;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT place;
        GetWindowRect(child, &place);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
        SetWindowPos(child, nullptr, place.left, place.top + shift, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    }
    RECT outer;
    GetWindowRect(dialog, &outer);
    SetWindowPos(dialog, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top + shift,
                 SWP_NOMOVE | SWP_NOZORDER);
    return line;
}

/// A control of the dialog's font at `place`.
void addControl(HWND dialog, const wchar_t* type, const std::wstring& text, DWORD style, const RECT& place, int id) {
    HWND control = CreateWindowExW(0, type, text.c_str(), WS_CHILD | WS_VISIBLE | style, place.left, place.top,
                                   place.right - place.left, place.bottom - place.top, dialog,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    SendMessageW(control, WM_SETFONT, SendMessageW(dialog, WM_GETFONT, 0, 0), FALSE);
}

/// The rows above the template: what the application needs, then the button that opens the
/// download page (made first: the need row moves it down). Added, not written in the template,
/// so that a dialog without them keeps the template as it stands.
void addTopRows(HWND dialog, const DialogTexts& texts) {
    if (!texts.downloadUrl.empty())
        addControl(dialog, L"BUTTON", L"Get Java...", BS_PUSHBUTTON | WS_TABSTOP, addTopRow(dialog, {7, 4, 80, 18}),
                   IDC_JAVA_GET);
    if (!texts.need.empty()) addControl(dialog, L"STATIC", texts.need, SS_LEFT, addTopRow(dialog, {7, 4, 240, 12}), -1);
}

/// The download page the dialog offers, opened with the system's handler of its address.
const std::wstring* offeredUrl = nullptr;

INT_PTR CALLBACK javaExeDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        enteredPath[0] = L'\0';
        const DialogTexts* texts = reinterpret_cast<const DialogTexts*>(lParam);
        offeredUrl = &texts->downloadUrl;
        addTopRows(dialog, *texts);
        centreWindow(dialog);
        SetWindowTextW(dialog, texts->caption.c_str());
        // The answer is kept to 259 characters: let the field take no more.
        SendDlgItemMessageW(dialog, IDC_JAVA_EXE_PATH, EM_SETLIMITTEXT, MAX_PATH - 1, 0);
        EnableWindow(GetDlgItem(dialog, IDOK), FALSE);
        SetFocus(GetDlgItem(dialog, IDC_JAVA_EXE_PATH));
        return FALSE;  // the focus is set
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            if (GetDlgItemTextW(dialog, IDC_JAVA_EXE_PATH, enteredPath, MAX_PATH) == 0) enteredPath[0] = L'\0';
            EndDialog(dialog, static_cast<INT_PTR>(wParam));
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, static_cast<INT_PTR>(wParam));
            return TRUE;
        case IDC_JAVA_EXE_PATH:
            if (HIWORD(wParam) == EN_CHANGE) {
                wchar_t first[2] = L"";
                BOOL hasText = GetDlgItemTextW(dialog, IDC_JAVA_EXE_PATH, first, 2) > 0;
                EnableWindow(GetDlgItem(dialog, IDOK), hasText);
            }
            return FALSE;
        case IDC_JAVA_GET:
            if (HIWORD(wParam) == BN_CLICKED && offeredUrl) {
                ShellExecuteW(dialog, L"open", offeredUrl->c_str(), nullptr, nullptr, SW_SHOWNORMAL);
                return TRUE;
            }
            return FALSE;
        case IDC_JAVA_EXE_BROWSE:
            if (HIWORD(wParam) == BN_CLICKED) {
                browseForJavaExe(dialog);
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}

/// The question on the console, for a start where no window may open; nullopt when standard
/// input is no console or the answer is empty.
std::optional<std::string> askOnConsole(const std::string& title, const std::string& need, const std::string& downloadUrl) {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (input == nullptr || input == INVALID_HANDLE_VALUE || !GetConsoleMode(input, &mode)) return std::nullopt;
    std::string question = title + "\n" + (need.empty() ? "" : need + "\n") +
                           (downloadUrl.empty() ? "" : "Get Java at " + downloadUrl + "\n") +
                           "Enter the full pathname for java.exe: ";
    printErr(question);
    std::wstring answer;
    wchar_t buffer[MAX_PATH];
    DWORD read = 0;
    while (ReadConsoleW(input, buffer, MAX_PATH, &read, nullptr) && read > 0) {
        answer.append(buffer, read);
        if (answer.back() == L'\n') break;
    }
    while (!answer.empty() && (answer.back() == L'\n' || answer.back() == L'\r' || answer.back() == L' ')) answer.pop_back();
    if (answer.empty()) return std::nullopt;
    if (answer.size() > MAX_PATH - 1) answer.resize(MAX_PATH - 1);
    return fromWide(answer);
}

}  // namespace

std::optional<std::string> askForJavaExecutable(const std::string& title, const std::string& need, bool windowAllowed,
                                                const std::string& downloadUrl) {
    if (!windowAllowed) return askOnConsole(title, need, downloadUrl);
    HMODULE self = GetModuleHandleW(nullptr);
    if (self == nullptr) return std::nullopt;
    DialogTexts texts{toWide(title), toWide(need), toWide(downloadUrl)};
    INT_PTR result = DialogBoxParamW(self, MAKEINTRESOURCEW(IDD_JAVA_EXE), nullptr, javaExeDialogProc,
                                     reinterpret_cast<LPARAM>(&texts));
    if (result != IDOK) return std::nullopt;
    return fromWide(enteredPath);
}

void showMessageBox(const std::string& text, const std::string& caption) {
    MessageBoxW(nullptr, messageBoxText(toWide(text)).c_str(), toWide(caption).c_str(), MB_ICONWARNING);
}

// A message goes to the system's own box.
bool showDesktopMessage(const std::string&, const std::string&, const std::string&) { return false; }

std::optional<std::string> setTaskbarIdentity(const std::string& id) {
    // Windows 7 and later have the setter; the executable imports shell32 already, for
    // ShellExecuteW, so the module is there to be asked.
    using Setter = HRESULT(WINAPI*)(PCWSTR);
    HMODULE shell = GetModuleHandleW(L"shell32.dll");
    // Through void*: the function's type is what GetProcAddress leaves to its caller.
    auto setter = shell ? reinterpret_cast<Setter>(reinterpret_cast<void*>(
                              GetProcAddress(shell, "SetCurrentProcessExplicitAppUserModelID")))
                        : nullptr;
    if (!setter) return std::string("no setter");
    auto result = static_cast<unsigned long>(setter(toWide(id).c_str()));
    // By hand: the C runtime's formatting would bring its whole printf into the executable.
    std::string hex = "0x";
    for (int shift = 28; shift >= 0; shift -= 4) hex += "0123456789ABCDEF"[(result >> shift) & 0xf];
    return hex;
}

}  // namespace platform
