// The prompt for java.exe: dialog template 101 of the launcher's own resources.
#include <windows.h>

#include <cderr.h>
#include <commdlg.h>

#include <string>

#include "platform/platform.h"
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

INT_PTR CALLBACK javaExeDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        enteredPath[0] = L'\0';
        centreWindow(dialog);
        SetWindowTextW(dialog, reinterpret_cast<const wchar_t*>(lParam));
        // The answer is kept to 259 characters: let the field take no more.
        SendDlgItemMessageW(dialog, IDC_JAVA_EXE_PATH, EM_SETLIMITTEXT, MAX_PATH - 1, 0);
        EnableWindow(GetDlgItem(dialog, IDOK), FALSE);
        SetFocus(GetDlgItem(dialog, IDC_JAVA_EXE_PATH));
        return FALSE;  // the focus is set
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

}  // namespace

std::optional<std::string> askForJavaExecutable(const std::string& title) {
    HMODULE self = GetModuleHandleW(nullptr);
    if (self == nullptr) return std::nullopt;
    std::wstring caption = toWide(title);
    INT_PTR result = DialogBoxParamW(self, MAKEINTRESOURCEW(IDD_JAVA_EXE), nullptr, javaExeDialogProc,
                                     reinterpret_cast<LPARAM>(caption.c_str()));
    if (result != IDOK) return std::nullopt;
    return fromWide(enteredPath);
}

}  // namespace platform
