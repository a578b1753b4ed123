#include "dialog/x11.h"

#include <unistd.h>

#include <cstdlib>
#include <sstream>
#include <stdexcept>

#include "process/harness.h"

namespace dialog_tests {
namespace {

// No X tool may hang a test: each call is killed after this many seconds.
constexpr int kToolSeconds = 30;

std::string envOr(const char* name, const std::string& fallback = "") {
    const char* value = std::getenv(name);
    return value ? value : fallback;
}

process_tests::Result runTool(const std::string& name, std::vector<std::string> args) {
    std::string file = findProgram(name);
    if (file.empty()) throw std::runtime_error(name + " is not installed");
    args.insert(args.begin(), file);
    // The texts given to the tools are UTF-8: xdotool refuses a letter outside ASCII under the C locale.
    std::vector<std::string> env{"DISPLAY=" + envOr("DISPLAY"), "PATH=" + envOr("PATH", "/usr/bin:/bin"),
                                 "HOME=" + envOr("HOME", "/tmp"), "LC_ALL=C.UTF-8"};
    process_tests::Result r = process_tests::runProcess(file, args, env, "/", kToolSeconds);
    if (r.timedOut) throw std::runtime_error(name + " did not end within " + std::to_string(kToolSeconds) + " s");
    return r;
}

process_tests::Result checked(const std::string& name, const std::vector<std::string>& args) {
    process_tests::Result r = runTool(name, args);
    if (r.exitCode != 0) {
        std::string command = name;
        for (const auto& arg : args) command += " " + arg;
        throw std::runtime_error(command + " failed with " + std::to_string(r.exitCode) + ": " + r.err);
    }
    return r;
}

std::string geometry(const Window& window, const Rect& rect) {
    return std::to_string(rect.width) + "x" + std::to_string(rect.height) + "+" + std::to_string(window.x + rect.x) +
           "+" + std::to_string(window.y + rect.y);
}

/// The mapped windows that `xdotool search` finds by `criterion` (--name, --classname...) and
/// the regular expression `pattern`.
std::vector<std::string> search(const std::string& criterion, const std::string& pattern) {
    // Only a mapped window counts: a dialog that has ended is unmapped before it goes.
    process_tests::Result found = runTool("xdotool", {"search", "--onlyvisible", criterion, pattern});
    if (found.exitCode == 1 && found.out.empty()) return {};  // none
    if (found.exitCode != 0) throw std::runtime_error("xdotool search failed: " + found.err);
    std::istringstream ids(found.out);
    std::vector<std::string> all;
    for (std::string id; ids >> id;) all.push_back(id);
    return all;
}

/// The window `id` with its place; none when it has gone.
std::optional<Window> placed(const std::string& id) {
    Window window;
    window.id = id;
    process_tests::Result shape = runTool("xdotool", {"getwindowgeometry", "--shell", window.id});
    if (shape.exitCode != 0) return std::nullopt;
    std::istringstream lines(shape.out);
    for (std::string line; std::getline(lines, line);) {
        std::size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        std::string field = line.substr(0, equals);
        int value = std::atoi(line.c_str() + equals + 1);
        if (field == "X") window.x = value;
        if (field == "Y") window.y = value;
        if (field == "WIDTH") window.width = value;
        if (field == "HEIGHT") window.height = value;
    }
    if (window.width <= 0 || window.height <= 0) throw std::runtime_error("no geometry for window " + window.id);
    process_tests::Result name = runTool("xdotool", {"getwindowname", window.id});
    if (name.exitCode != 0) return std::nullopt;
    window.name = name.out.substr(0, name.out.find('\n'));
    return window;
}

std::string escaped(const std::string& text) {
    std::string pattern;
    for (char c : text) {
        if (std::string("\\^$.|?*+()[]{}").find(c) != std::string::npos) pattern += '\\';
        pattern += c;
    }
    return pattern;
}

}  // namespace

std::string findProgram(const std::string& name) {
    std::istringstream path(envOr("PATH", "/usr/bin:/bin"));
    for (std::string directory; std::getline(path, directory, ':');) {
        if (directory.empty()) continue;
        std::string file = directory + "/" + name;
        if (::access(file.c_str(), X_OK) == 0) return file;
    }
    return "";
}

Screen screenSize() {
    std::istringstream size(checked("xdotool", {"getdisplaygeometry"}).out);
    Screen screen;
    if (!(size >> screen.width >> screen.height)) throw std::runtime_error("xdotool getdisplaygeometry gave no size");
    return screen;
}

std::optional<Window> windowNamed(const std::string& name) {
    std::vector<std::string> all = search("--name", "^" + escaped(name) + "$");
    if (all.empty()) return std::nullopt;
    if (all.size() != 1) throw std::runtime_error(std::to_string(all.size()) + " windows are named \"" + name + "\"");
    // The window may go between the two calls: then there is none.
    return placed(all.front());
}

std::vector<Window> visibleWindowsOf(const std::string& program) {
    // Wine names each window's class after its program, in lower case.
    std::vector<Window> windows;
    for (const auto& id : search("--classname", "^" + escaped(process_tests::asciiLower(program)) + "$"))
        if (auto window = placed(id)) windows.push_back(*window);
    return windows;
}

void click(const Window& window, int x, int y) {
    // Without a window manager no window can be activated; a click gives the window the
    // keyboard as well.
    checked("xdotool", {"mousemove", "--window", window.id, std::to_string(x), std::to_string(y), "click", "1"});
}

void movePointer(int x, int y) { checked("xdotool", {"mousemove", std::to_string(x), std::to_string(y)}); }

void type(const std::string& text) { checked("xdotool", {"type", "--delay", "40", text}); }

void key(const std::string& name) { checked("xdotool", {"key", name}); }

void screenshot(const std::string& file) { checked("import", {"-window", "root", file}); }

std::string pixels(const std::string& file, const Window& window, const Rect& rect) {
    std::string bytes =
        checked("convert", {file, "-crop", geometry(window, rect), "+repage", "-depth", "8", "rgb:-"}).out;
    if (bytes.size() != static_cast<std::size_t>(rect.width) * rect.height * 3)
        throw std::runtime_error("the screenshot " + file + " does not hold " + geometry(window, rect));
    return bytes;
}

void cropToWindow(const std::string& file, const Window& window, const std::string& out) {
    checked("convert", {file, "-crop", geometry(window, {0, 0, window.width, window.height}), "+repage", out});
}

}  // namespace dialog_tests
