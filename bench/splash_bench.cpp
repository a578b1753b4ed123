// Time to splash: from the process start until the splash window is mapped, the launcher with
// SetSplashScreen against the runtime's own `java -splash:` running the same class, in paired
// rounds (which goes first alternates), on every runtime given (default: each one under
// /usr/lib/jvm with a splash library); and the time until Jmol's first
// window through the launcher, when Jmol is installed. The X server is DISPLAY's, or an Xvfb of
// the benchmark's own. Exits 1 when a launch does not map its window, or when the launcher's
// splash is later than java's (the ratio's median above 1.0 by more than twice its standard
// error: at equal speed it lands above 1.0 in one run of two) or not under a tenth of Jmol's
// first window.
#include <X11/Xlib.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "statistics.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

extern char** environ;

namespace {

constexpr int kRounds = 21;
constexpr int kJmolRounds = 5;

void writeFile(const fs::path& file, const std::string& content) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary | std::ios::trunc) << content;
}

pid_t spawn(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t child = -1;
    if (posix_spawn(&child, args[0].c_str(), &actions, nullptr, argv.data(), environ) != 0) child = -1;
    posix_spawn_file_actions_destroy(&actions);
    return child;
}

/// Milliseconds from the start of `args` until a top-level window of `width` x `height` (any
/// size when 0) is mapped; the program is then left to end, or killed with `kill`. Negative
/// when no such window came within 60 s or the program failed.
double timeToWindow(Display* display, const std::vector<std::string>& args, int width, int height, bool kill) {
    Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, True);
    auto start = Clock::now();
    pid_t child = spawn(args);
    double elapsed = -1;
    while (child > 0 && elapsed < 0 && Clock::now() - start < std::chrono::seconds(60)) {
        if (!XPending(display)) {
            if (waitpid(child, nullptr, WNOHANG) == child) return -1;
            usleep(200);
            continue;
        }
        XEvent event;
        XNextEvent(display, &event);
        if (event.type != MapNotify) continue;
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display, event.xmap.window, &attributes)) continue;
        if (width == 0 || (attributes.width == width && attributes.height == height))
            elapsed = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    }
    XSelectInput(display, root, NoEventMask);
    if (child > 0 && kill) ::kill(child, SIGTERM);
    int status = 0;
    if (child > 0 && waitpid(child, &status, 0) == child && !kill && !(WIFEXITED(status) && WEXITSTATUS(status) == 0))
        return -1;
    return elapsed;
}

/// The X display to measure on: DISPLAY's, else an Xvfb started here (its pid in `xvfb`).
Display* openDisplay(pid_t& xvfb) {
    if (const char* name = std::getenv("DISPLAY"); name && *name) return XOpenDisplay(name);
    int fds[2];
    if (pipe(fds) != 0) return nullptr;
    std::string fd = std::to_string(fds[1]);
    xvfb = spawn({"/usr/bin/Xvfb", "-displayfd", fd, "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
    close(fds[1]);
    // The number ends with a line feed, written apart: the pipe stays open until it came.
    std::string number;
    char c = 0;
    while (xvfb > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (number.empty()) return nullptr;
    std::string name = ":" + number;
    setenv("DISPLAY", name.c_str(), 1);
    return XOpenDisplay(name.c_str());
}

struct SplashFigure {
    std::string runtime;
    double launcher = 0, java = 0, ratio = 0;
    /// The ratio's bound, 1.0, with room for the noise of the rounds' ratios.
    double bound = 1.0;
};

/// Paired rounds of the launcher and `java -splash:` on the runtime at `home`.
bool measureSplash(Display* display, const fs::path& work, const std::string& home, SplashFigure& figure) {
    std::string name = fs::path(home).filename().string();
    fs::path bin = work / name;
    std::string program = (bin / "app").string();
    fs::create_directories(bin);
    fs::copy_file(BENCH_LAUNCHER, program, fs::copy_options::overwrite_existing);
    writeFile(bin / "app.conf", "SetJavaHome " + home + "\nSetJavaVM server\nAddJavaLibFile " BENCH_CLASSES
                                "\nSetMainClass Pause\nSetSplashScreen " + (work / "splash.png").string() + "\n");
    std::vector<std::string> launcher = {program, "-nomsgbox"};
    std::vector<std::string> java = {home + "/bin/java", "-splash:" + (work / "splash.png").string(), "-cp", BENCH_CLASSES,
                                     "Pause"};
    std::vector<double> ours, theirs, ratios;
    for (int round = -1; round < kRounds; ++round) {
        bool javaFirst = round % 2 != 0;
        double j = javaFirst ? timeToWindow(display, java, 320, 200, false) : 0;
        double l = timeToWindow(display, launcher, 320, 200, false);
        if (!javaFirst) j = timeToWindow(display, java, 320, 200, false);
        if (l < 0 || j < 0) return false;
        if (round < 0) continue;  // warm-up
        ours.push_back(l);
        theirs.push_back(j);
        ratios.push_back(l / j);
    }
    figure = {name, bench::median(ours), bench::median(theirs), bench::median(ratios), bench::boundWithNoise(ratios, 1.0)};
    return true;
}

/// Jmol through the launcher: the time to its first window, median of a few starts; 0 when
/// Jmol is not installed, negative when it failed.
double measureJmol(Display* display, const fs::path& work, const std::string& home) {
    const fs::path jar = "/usr/share/jmol/Jmol.jar";
    if (!fs::exists(jar)) return 0;
    fs::path bin = work / "jmol";
    std::string program = (bin / "jmol").string();
    fs::create_directories(bin);
    fs::copy_file(BENCH_LAUNCHER, program, fs::copy_options::overwrite_existing);
    writeFile(bin / "jmol.conf", "SetJavaHome " + home + "\nSetJavaVM server\nAddJavaLibFile " + jar.string() +
                                 "\nAddVMOption -Xmx512m\nSetMainClass org.openscience.jmol.app.Jmol\n");
    std::vector<double> times;
    for (int round = -1; round < kJmolRounds; ++round) {
        double t = timeToWindow(display, {program, "-nomsgbox"}, 0, 0, true);
        if (t < 0) return -1;
        if (round >= 0) times.push_back(t);
    }
    return bench::median(times);
}

}  // namespace

int main(int argc, char** argv) {
    pid_t xvfb = -1;
    Display* display = openDisplay(xvfb);
    if (!display) {
        std::fprintf(stderr, "no X display: set DISPLAY or install Xvfb\n");
        return 1;
    }
    fs::path work = fs::path(BENCH_WORK_DIR) / "splash";
    fs::remove_all(work);
    fs::create_directories(work);
    bool ok = spawn({"/usr/bin/env", "convert", "-size", "320x200", "xc:#3060c0", (work / "splash.png").string()}) > 0;
    wait(nullptr);
    std::vector<std::string> homes(argv + 1, argv + argc);
    std::error_code ec;
    if (homes.empty())
        for (const auto& entry : fs::directory_iterator("/usr/lib/jvm", ec))
            if (!fs::is_symlink(entry.path(), ec) && fs::exists(entry.path() / "lib/libsplashscreen.so", ec))
                homes.push_back(entry.path().string());
    if (homes.empty()) homes = {BENCH_JDK_HOME};
    std::sort(homes.begin(), homes.end());
    std::vector<SplashFigure> figures;
    for (const std::string& home : homes) {
        SplashFigure figure;
        if (!measureSplash(display, work, home, figure)) {
            std::fprintf(stderr, "%s: a launch did not map its splash window\n", home.c_str());
            ok = false;
            continue;
        }
        std::printf("%-28s time to splash: launcher %.1f ms, java -splash: %.1f ms, launcher / java %.3f (median of %d "
                    "paired rounds; bound 1.0, with twice the median's error %.3f)\n",
                    figure.runtime.c_str(), figure.launcher, figure.java, figure.ratio, kRounds, figure.bound);
        ok = ok && figure.ratio <= figure.bound;
        figures.push_back(figure);
    }
    double jmol = measureJmol(display, work, homes.front());
    if (jmol == 0) std::printf("Jmol is not installed (apt-get install jmol): its first window is not measured\n");
    if (jmol < 0) std::printf("Jmol did not map a window through the launcher\n");
    for (const SplashFigure& figure : figures)
        if (jmol > 0) {
            std::printf("%-28s launcher's splash / Jmol's first window (%.1f ms): %.3f (bound 0.1)\n",
                        figure.runtime.c_str(), jmol, figure.launcher / jmol);
            ok = ok && figure.launcher / jmol < 0.1;
        }
    XCloseDisplay(display);
    if (xvfb > 0) {
        kill(xvfb, SIGTERM);
        waitpid(xvfb, nullptr, 0);
    }
    return ok && jmol >= 0 ? 0 : 1;
}
