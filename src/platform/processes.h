// This process and the ones it starts: its executable, its arguments and environment, children, and
// the work beside a launch.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace platform {

/// Full path of the running executable; nullopt when the system cannot say.
std::optional<std::string> ownExecutablePath();

/// The program's arguments, argv[0] first. Windows: the wide command line split by the C
/// runtime's rules, each argument the exact text typed, in UTF-8 (never through the ANSI code
/// page, which would turn characters it lacks into look-alikes or '?'); `argc` and `argv` are
/// used only if the system gives no command line. POSIX: `argv` as it is.
std::vector<std::string> commandLineArguments(int argc, char** argv);

/// The value of an environment variable, or nullopt when it is not set. Names ignore case on
/// Windows; on POSIX the exact name is tried first, then the first name equal ignoring case.
std::optional<std::string> getEnv(const std::string& name);

/// The value of the variable of exactly that name, or nullopt: for a variable the launcher
/// sets for its own child, which no other letter case may stand in for. Windows: as getEnv
/// (the system's names ignore case); POSIX: the exact name only.
std::optional<std::string> getEnvExactName(const std::string& name);

/// Sets an environment variable of this process, which child processes inherit, or removes
/// it (nullopt). False when the system refuses.
bool setEnv(const std::string& name, const std::optional<std::string>& value);

/// Outcome of running a child process to its end.
struct ChildOutcome {
    bool started = false;
    int exitCode = -1;      ///< valid when started; -1 when the code could not be read
    std::string errorText;  ///< the system's text for the failure when not started; may be empty
};

/// Runs `program` with the argument vector `args` (args[0] is the name the child sees as its
/// own), sharing this console, environment and current directory, and waits for it without a
/// time-out.
ChildOutcome runAndWait(const std::string& program, const std::vector<std::string>& args);

#ifdef _WIN32
/// The work beside the launch is a thread of its process: a file its VM maps cannot be
/// replaced meanwhile.
constexpr bool kBackgroundInProcess = true;
#else
constexpr bool kBackgroundInProcess = false;
#endif

/// Runs `work` beside the launch, which goes on at once. POSIX: in a process of its own, made
/// now, with no console streams and no open files but the locks this process holds, which it
/// keeps until `work` is done; in a session of its own and at the lowest priority, it begins
/// when this process has ended or has run for `delay` seconds. Windows: in a thread of this
/// process at the lowest priority, at once; it ends with the process unless waitForBackground
/// is called. Call it before the VM starts threads in this process.
void runInBackground(const std::function<void()>& work, unsigned delay);

/// Waits until the work that runInBackground began in this process is done (Windows); at once
/// where it runs in a process of its own (POSIX).
void waitForBackground();

/// Runs `program` with `args` (args[0] is the child's own name) in the background of this
/// launch: no console window, its output discarded, and waits for it at most `timeLimit`
/// seconds, after which it is killed. The child never outlives this process. The exit code;
/// kChildCutShort when it was killed (by a signal, or at its time limit); -1 when it could not
/// be started or its code could not be read.
int runQuietly(const std::string& program, const std::vector<std::string>& args, unsigned timeLimit);
constexpr int kChildCutShort = -2;

}  // namespace platform
