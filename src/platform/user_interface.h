// Windows of the launcher's own: the message box, the prompt for the Java executable, the
// stamped names of their titles, and the taskbar identity of the application's windows.
#pragma once

#include <optional>
#include <string>

namespace platform {

/// Shows `text` in a modal message box with the exclamation icon and an OK button and waits
/// until the user closes it. Only called where kHasMessageBox is true.
void showMessageBox(const std::string& text, const std::string& caption);

/// Where the system has no message box of its own (POSIX): shows `text`, captioned `caption`,
/// in a window of the desktop's own tools when no terminal sees this process (none of its
/// standard streams is one) and a display is there (DISPLAY or WAYLAND_DISPLAY): the first of
/// zenity, kdialog, notify-send and xmessage found on PATH, run without a shell with the text as
/// one argument, and waited for at most kDesktopMessageSeconds (then it is closed). False when
/// no window was shown: a terminal, no display, no tool, or none of them started. Windows:
/// always false, its message boxes are the system's. `journal`, when not empty, is the start
/// journal's file, named on a line of its own under the text.
bool showDesktopMessage(const std::string& text, const std::string& caption, const std::string& journal = std::string());
/// How long a start waits for the user to close a desktop message window, or to choose a folder.
constexpr unsigned kDesktopMessageSeconds = 600;

/// The ProductName stamped into the running executable's version information, when it has
/// been stamped with one other than the launcher's own (Windows); nullopt otherwise, and
/// always on POSIX.
std::optional<std::string> stampedProductName();
/// The CompanyName stamped into the running executable's version information, as
/// stampedProductName says it: nullopt for the launcher's own, and always on POSIX.
std::optional<std::string> stampedCompanyName();

/// Gives this process the taskbar identity `id` (Windows: its explicit AppUserModelID, set
/// through shell32's SetCurrentProcessExplicitAppUserModelID, looked up at the call so that the
/// executable imports nothing more), under which the windows it opens afterwards group. The
/// system's answer as the HRESULT in hexadecimal ("0x00000000" when set), or "no setter" on a
/// Windows without one; nullopt where the system has no such identity (POSIX: nothing is done).
std::optional<std::string> setTaskbarIdentity(const std::string& id);

/// Asks the user for the full path of the Java executable, with `title` as the caption and,
/// when not empty, `need` (what runtime the application needs) above the question. With
/// `windowAllowed` false no window opens: the question goes to the console when standard
/// input is one. With `downloadUrl` not empty, the window offers a button that opens it with the
/// system's handler, and the console a line "Get Java at <downloadUrl>". POSIX, where no
/// terminal sees the process and a display is there: the folder the user chooses in the
/// desktop's folder chooser (zenity, else kdialog, found on PATH, run without a shell, waited
/// for at most kDesktopMessageSeconds), when a window is allowed. Returns the answer as typed
/// (at most 259 characters) or chosen, or nullopt when the user cancels or no question can be
/// asked.
std::optional<std::string> askForJavaExecutable(const std::string& title, const std::string& need = std::string(),
                                                bool windowAllowed = true, const std::string& downloadUrl = std::string());

}  // namespace platform
