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

/// Starts the launcher `program` again with `args` (args[0] is the name it sees as its own) and
/// this process's environment, as a new start of the application. POSIX: this process becomes
/// it (exec: the same process id, so that whoever waits for this process has the new start's
/// exit code), with no descriptor of this process open in it but the standard ones and no
/// signal blocked; returns false only when the system refuses. Windows: a new process (a VM's
/// library cannot leave the process that loaded it), which waits until this one has ended
/// (awaitPredecessor) before it goes on; true once it is started, and this process then ends.
bool startAgain(const std::string& program, const std::vector<std::string>& args);

/// In a start that startAgain made on Windows: waits, at most a minute, until the process that
/// made it has ended, so that nothing of that process holds the application's files. At once
/// for any other start, and on POSIX.
void awaitPredecessor();

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
/// A file that a VM maps cannot be replaced or removed while it does so.
constexpr bool kMappedFilesStay = true;
#else
constexpr bool kMappedFilesStay = false;
#endif

/// Work beside the launch: what it does, and the same as the arguments a worker of this
/// executable gets (see backgroundWork), where the work runs in a process started anew.
struct BackgroundWork {
    std::function<void()> run;
    std::vector<std::string> asArguments;  ///< empty: the work can run in this process only
    /// What the work is ("cache worker"): POSIX names the worker "<program>: <role>" in the
    /// system's list of processes (its short name: "<program> cache"), so that it is not taken
    /// for a second copy of the application.
    std::string role;
};

/// runInBackground's delay that waits for the launch's end however long it runs.
constexpr unsigned kUntilTheLaunchEnds = 0;

/// Runs `work` beside the launch, which goes on at once, in a process of its own that outlives
/// the launch: with no console and its standard streams on the null device, at the lowest
/// priority, and keeping the locks this process holds until it is done. It begins when this
/// process has ended or has run for `delay` seconds (kUntilTheLaunchEnds: only once it has
/// ended). POSIX: a fork of this process, made now, in a session of its own, with no open
/// files but the locks. Windows: this executable started anew with work.asArguments, out of
/// the console; where it cannot be started (or the work has no arguments), a thread of this
/// process at once, which waitForBackground waits for. Call it before the VM starts threads.
void runInBackground(const BackgroundWork& work, unsigned delay);

/// Waits until the work that runInBackground began in this process is done; at once where it
/// runs in a process of its own.
void waitForBackground();

/// The threads of this process, by the system's ids (POSIX: /proc/self/task); empty where the
/// system does not list them or need not be asked (Windows ends every other thread of a process
/// before anything of it is torn down).
std::vector<long> threadsOfThisProcess();

/// Waits, at most `timeoutMs`, until none of `threads` runs any more: a library's own thread
/// that is winding down must not outlive the memory its process frees as it ends. False when
/// one still runs at the limit.
bool waitForThreadsToEnd(const std::vector<long>& threads, unsigned timeoutMs);

/// For a process that runInBackground started as a worker (Windows): takes over the locks it
/// was handed, waits for the launch that started it as told, and returns the work's
/// arguments (empty when they cannot be read). nullopt for every other start, whatever its
/// arguments: a worker is told apart by a program name no file can have.
std::optional<std::vector<std::string>> backgroundWork(const std::vector<std::string>& args);

/// Runs `program` with `args` (args[0] is the child's own name) in the background of this
/// launch: no console window, its output discarded, and waits for it at most `timeLimit`
/// seconds, after which it is killed. The child never outlives this process. The exit code;
/// kChildCutShort when it was killed (by a signal, or at its time limit); -1 when it could not
/// be started or its code could not be read.
int runQuietly(const std::string& program, const std::vector<std::string>& args, unsigned timeLimit);
constexpr int kChildCutShort = -2;

}  // namespace platform
