// The prompt for java.exe: dialog template 101 of the launcher's own resources.
#include <windows.h>

#include <cderr.h>
#include <commdlg.h>

#include <string>

#include "platform/platform.h"
#include "res/resource.h"

namespace platform {
namespace {

// The answer, at most 259 characters: the dialog empties it when it opens and fills it on OK.
char enteredPath[MAX_PATH];

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
    char file[MAX_PATH] = "";
    GetDlgItemTextA(dialog, IDC_JAVA_EXE_PATH, file, sizeof file);
    std::string initialDirectory;
    DWORD attributes = GetFileAttributesA(file);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        initialDirectory = file;
        file[0] = '\0';
    }

    OPENFILENAMEA chooser;
    ZeroMemory(&chooser, sizeof chooser);
    chooser.lStructSize = sizeof chooser;
    chooser.hwndOwner = dialog;
    chooser.lpstrFilter = "java.exe\0java.exe\0All files (*.*)\0*.*\0";
    chooser.nFilterIndex = 1;
    chooser.lpstrFile = file;
    chooser.nMaxFile = sizeof file;
    chooser.lpstrInitialDir = initialDirectory.empty() ? nullptr : initialDirectory.c_str();
    // The launcher's relative paths depend on its current directory: the chooser must not move it.
    chooser.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;

    BOOL chosen = GetOpenFileNameA(&chooser);
    if (!chosen && CommDlgExtendedError() == FNERR_INVALIDFILENAME) {
        // What the field held is no usable file name: start without it.
        file[0] = '\0';
        chosen = GetOpenFileNameA(&chooser);
    }
    if (!chosen) return;
    SetDlgItemTextA(dialog, IDC_JAVA_EXE_PATH, file);
    SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, IDOK)), TRUE);
}

INT_PTR CALLBACK javaExeDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        enteredPath[0] = '\0';
        centreWindow(dialog);
        SetWindowTextA(dialog, reinterpret_cast<const char*>(lParam));
        // The answer is kept to 259 characters: let the field take no more.
        SendDlgItemMessageA(dialog, IDC_JAVA_EXE_PATH, EM_SETLIMITTEXT, sizeof enteredPath - 1, 0);
        EnableWindow(GetDlgItem(dialog, IDOK), FALSE);
        SetFocus(GetDlgItem(dialog, IDC_JAVA_EXE_PATH));
        return FALSE;  // the focus is set
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            if (GetDlgItemTextA(dialog, IDC_JAVA_EXE_PATH, enteredPath, sizeof enteredPath) == 0)
                enteredPath[0] = '\0';
            EndDialog(dialog, static_cast<INT_PTR>(wParam));
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, static_cast<INT_PTR>(wParam));
            return TRUE;
        case IDC_JAVA_EXE_PATH:
            if (HIWORD(wParam) == EN_CHANGE) {
                char first[2] = "";
                BOOL hasText = GetDlgItemTextA(dialog, IDC_JAVA_EXE_PATH, first, sizeof first) > 0;
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
    HMODULE self = GetModuleHandleA(nullptr);
    if (self == nullptr) return std::nullopt;
    INT_PTR result = DialogBoxParamA(self, MAKEINTRESOURCEA(IDD_JAVA_EXE), nullptr, javaExeDialogProc,
                                     reinterpret_cast<LPARAM>(title.c_str()));
    if (result != IDOK) return std::nullopt;
    return std::string(enteredPath);
}

}  // namespace platform
