// Starting the programs the benchmark measures.
#include "process.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

#include "files.h"

extern char** environ;

namespace bench {

namespace {

/// The child's environment: the driver's, without the variables through which the JDK's
/// own launcher or the VM would pick up options of their own, plus the command's additions.
std::vector<std::string> childEnvironment(const Command& command) {
    std::vector<std::string> env;
    for (char** entry = environ; *entry; ++entry) {
        std::string text = *entry;
        if (text.rfind("JAVA_TOOL_OPTIONS=", 0) == 0 || text.rfind("_JAVA_OPTIONS=", 0) == 0 ||
            text.rfind("JDK_JAVA_OPTIONS=", 0) == 0 || text.rfind("BENCH_", 0) == 0)
            continue;
        env.push_back(text);
    }
    env.insert(env.end(), command.env.begin(), command.env.end());
    return env;
}

}  // namespace

Sample run(const Command& command, const std::string& outFile, const std::string& errFile) {
    std::vector<std::string> envText = childEnvironment(command);
    std::vector<char*> argv, envp;
    for (const std::string& arg : command.argv) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    for (const std::string& var : envText) envp.push_back(const_cast<char*>(var.c_str()));
    envp.push_back(nullptr);
    int outFd = ::open(outFile.empty() ? "/dev/null" : outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int errFd = ::open(errFile.empty() ? "/dev/null" : errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int inFd = ::open("/dev/null", O_RDONLY);
    if (outFd < 0 || errFd < 0 || inFd < 0) fatal("cannot open the output files");

    timespec start{}, end{};
    ::clock_gettime(CLOCK_MONOTONIC, &start);
    pid_t pid = ::fork();
    if (pid < 0) fatal("fork failed");
    if (pid == 0) {
        ::dup2(inFd, 0);
        ::dup2(outFd, 1);
        ::dup2(errFd, 2);
        if (::chdir(command.cwd.c_str()) != 0) ::_exit(126);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    while (::wait4(pid, &status, 0, &usage) < 0)
        if (errno != EINTR) fatal("wait4 failed");
    ::clock_gettime(CLOCK_MONOTONIC, &end);
    ::close(outFd);
    ::close(errFd);
    ::close(inFd);

    Sample sample;
    sample.seconds = static_cast<double>(end.tv_sec - start.tv_sec) + (end.tv_nsec - start.tv_nsec) * 1e-9;
    sample.cpuSeconds = usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
                        (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
    sample.peakKb = usage.ru_maxrss;
    sample.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return sample;
}

namespace {

/// Runs the command with its output in files of the scratch directory, and reads them back.
Sample runCaptured(const Command& command, const std::string& scratch, Output& output) {
    std::string outFile = scratch + "/check.out", errFile = scratch + "/check.err";
    Sample sample = run(command, outFile, errFile);
    output = {sample.exitCode, readFile(outFile), readFile(errFile)};
    return sample;
}

}  // namespace

Output capture(const Command& command, const std::string& scratch) {
    Output output;
    runCaptured(command, scratch, output);
    return output;
}

std::string describe(const Command& command) {
    std::string text = "(in " + command.cwd + ")";
    for (std::size_t i = 0; i < command.argv.size() && i < 12; ++i) text += " " + command.argv[i];
    if (command.argv.size() > 12) text += " ... (" + std::to_string(command.argv.size()) + " arguments)";
    return text;
}

double timedCheck(const Command& command, const std::string& expectedOut, const std::string& scratch,
                  const std::string& expectedErr) {
    Output output;
    Sample sample = runCaptured(command, scratch, output);
    if (output.exitCode == 0 && output.out == expectedOut && output.err == expectedErr) return sample.seconds;
    fatal(command.label + " did not run as expected: " + describe(command) + "\n  exit code " +
          std::to_string(output.exitCode) + "\n  stdout: " + output.out.substr(0, 2000) +
          "\n  expected: " + expectedOut + "  stderr: " + output.err.substr(0, 2000));
}

void expectRun(const Command& command, const std::string& expectedOut, const std::string& scratch,
               const std::string& expectedErr) {
    timedCheck(command, expectedOut, scratch, expectedErr);
}

}  // namespace bench
