// The X side of the dialog tests: finding a window by its caption, the mouse and the keyboard
// through xdotool, and screenshots through imagemagick, all on the display of DISPLAY.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace dialog_tests {

/// The full path of `name` found through PATH; empty when it is not installed.
std::string findProgram(const std::string& name);

/// A top-level X window and where it is on the screen.
struct Window {
    std::string id;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    std::string name;
};

/// A rectangle in a window's pixels.
struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int centreX() const { return x + width / 2; }
    int centreY() const { return y + height / 2; }
};

struct Screen {
    int width = 0;
    int height = 0;
};
/// The size of the display's screen in pixels.
Screen screenSize();

/// The mapped window whose name is exactly `name`, if there is one now. Throws when xdotool fails
/// for any other reason than finding none, or when there are several.
std::optional<Window> windowNamed(const std::string& name);

/// The mapped windows of the Windows program `program` (app.exe), of any size and name.
std::vector<Window> visibleWindowsOf(const std::string& program);

/// Left click at `x`, `y` in the window's pixels.
void click(const Window& window, int x, int y);
/// Moves the mouse pointer to `x`, `y` on the screen.
void movePointer(int x, int y);
/// Types `text` with the keyboard, one key after the other.
void type(const std::string& text);
/// Presses and releases a key given by its X name (BackSpace, Escape...).
void key(const std::string& name);

/// The whole screen as a PNG file at `file`.
void screenshot(const std::string& file);
/// The raw RGB bytes of `rect` of `window` in the PNG screenshot `file`.
std::string pixels(const std::string& file, const Window& window, const Rect& rect);
/// Writes the part of the screenshot `file` that `window` covers to the PNG file `out`.
void cropToWindow(const std::string& file, const Window& window, const std::string& out);

}  // namespace dialog_tests
