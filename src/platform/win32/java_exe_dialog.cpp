// The prompt for java.exe: dialog template 101 of the launcher's own resources.
#include <windows.h>

#include <cderr.h>
#include <commdlg.h>

#include <string>

#include "platform/console.h"
#include "platform/user_interface.h"
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

/// What the dialog shows besides its template: the caption, and what the application needs.
struct DialogTexts {
    std::wstring caption;
    std::wstring need;
};

/// Makes room above the template's controls for a line saying what the application needs.
void addNeedLine(HWND dialog, const std::wstring& need) {
    RECT line = {7, 4, 240, 12};  // dialog units
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
    HWND text = CreateWindowExW(0, L"STATIC", need.c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT, line.left, line.top,
                                line.right - line.left, line.bottom - line.top, dialog, nullptr, nullptr, nullptr);
    SendMessageW(text, WM_SETFONT, SendMessageW(dialog, WM_GETFONT, 0, 0), FALSE);
}

INT_PTR CALLBACK javaExeDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        enteredPath[0] = L'\0';
        const DialogTexts* texts = reinterpret_cast<const DialogTexts*>(lParam);
        if (!texts->need.empty()) addNeedLine(dialog, texts->need);
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
std::optional<std::string> askOnConsole(const std::string& title, const std::string& need) {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (input == nullptr || input == INVALID_HANDLE_VALUE || !GetConsoleMode(input, &mode)) return std::nullopt;
    std::string question = title + "\n" + (need.empty() ? "" : need + "\n") + "Enter the full pathname for java.exe: ";
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

std::optional<std::string> askForJavaExecutable(const std::string& title, const std::string& need, bool windowAllowed) {
    if (!windowAllowed) return askOnConsole(title, need);
    HMODULE self = GetModuleHandleW(nullptr);
    if (self == nullptr) return std::nullopt;
    DialogTexts texts{toWide(title), toWide(need)};
    INT_PTR result = DialogBoxParamW(self, MAKEINTRESOURCEW(IDD_JAVA_EXE), nullptr, javaExeDialogProc,
                                     reinterpret_cast<LPARAM>(&texts));
    if (result != IDOK) return std::nullopt;
    return fromWide(enteredPath);
}

}  // namespace platform
