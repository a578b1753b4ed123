// One instance per user on the real JDKs: what the running application's method receives, a
// method that throws or blocks, an instance whose main returned at once, one that was killed, and what a start does with a
// socket name that another user, a link or a plain file holds.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <future>
#include <thread>

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "instance/single_instance.h"
#include "process/harness.h"

namespace fs = std::filesystem;

namespace process_tests {
namespace {

std::vector<std::string> jdksUnderTest() {
    std::vector<std::string> homes;
    std::error_code ec;
    if (isWindows()) return homes;
    for (const auto& entry : fs::directory_iterator("/usr/lib/jvm", ec))
        if (fs::exists(entry.path() / "lib/server/libjvm.so", ec) && !fs::is_symlink(entry.path(), ec))
            homes.push_back(entry.path().string());
    return homes;
}

/// Java's String.hashCode of an ASCII text.
std::int32_t javaHash(const std::string& text) {
    std::uint32_t hash = 0;
    for (unsigned char c : text) hash = 31 * hash + c;
    return static_cast<std::int32_t>(hash);
}

class SingleInstanceRealJdk : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        ASSERT_FALSE(target().javaClasses.empty());
        inst.writeConfig("SetJavaHome " + GetParam() + "\nSetJavaVM server\nAddJavaLibFile " + target().javaClasses +
                         "\nSetMainClass launchertest.Instance\nSetSingleInstance launchertest.Instance.open\n");
        ::mkdir(inst.path("run").c_str(), 0700);
        options.env = {{"XDG_RUNTIME_DIR", inst.path("run")}};
    }

    std::string socketPath() const {
        return inst.path("run") + "/launcher-instance-" + instanceKey(inst.path("bin/app.conf")) + ".sock";
    }

    /// The first start, in the background; back once its main has begun (it has had its
    /// socket since before its VM).
    std::future<Result> startFirst(std::vector<std::string> args) {
        std::string ready = inst.path("ready");
        args.insert(args.begin(), "-J-Dready=" + ready);
        auto running = std::async(std::launch::async, [this, args] { return inst.run(args, options); });
        for (int i = 0; i < 1200 && !fs::exists(ready); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return running;
    }

    Installation inst;
    RunOptions options;
};

TEST_P(SingleInstanceRealJdk, TheMethodReceivesEveryArgumentExactly) {
    inst.write("work/data.txt", "");
    auto first = startFirst({"-nomsgbox", "-J-Dopens=2"});
    RunOptions fromWork = options;
    fromWork.workingDir = inst.path("work");
    EXPECT_RUN(inst.run({"-nomsgbox", "with blank", "\"quoted\" 'too'", "gr\xc3\xbc\xc3\x9f" "e", "", "data.txt"}, fromWork),
               "", "", 0);
    std::vector<std::string> many;
    std::string joined;
    for (int i = 0; i < 10000; ++i) {
        many.push_back("a" + std::to_string(i));
        joined += (i ? "\n" : "") + many.back();
    }
    EXPECT_RUN(inst.run(many, options), "", "", 0);
    EXPECT_RUN(inst.run({"-nomsgbox", "-multi"}, options), "main\nmain done\n", "", 0);
    EXPECT_RUN(first.get(),
               "main\nopen dir=" + inst.path("work") + " count=5\nopen arg[0]=with blank\nopen arg[1]=\"quoted\" 'too'\n"
               "open arg[2]=gr\\u00fc\\u00dfe\nopen arg[3]=\nopen arg[4]=" + inst.path("work/data.txt") + "\nopen dir=" +
               inst.root() + " count=10000\nopen arg[0]=a0\nopen arg[1]=a1\nopen arg[2]=a2\nopen arg[3]=a3\nopen arg[4]=a4\n"
               "open arg[5]=a5\nopen arg[6]=a6\nopen arg[7]=a7\nopen last=a9999 hash=" + std::to_string(javaHash(joined)) +
               "\nmain done\n",
               "", 0);
    EXPECT_FALSE(fs::exists(socketPath())) << "the instance removes its socket when it ends";
}

TEST_P(SingleInstanceRealJdk, AMethodThatThrowsFailsTheSecondStart) {
    auto first = startFirst({"-nomsgbox", "-J-Dopens=1"});
    EXPECT_RUN(inst.run({"-nomsgbox", "throw"}, options), "",
               "ERROR: The running instance failed to take the arguments: launchertest.Instance.open threw an exception\n", 1);
    Result r = first.get();
    EXPECT_EQ(r.out, "main\nopen dir=" + inst.root() + " count=1\nopen arg[0]=throw\nmain done\n");
    EXPECT_EQ(r.err.rfind("Exception in thread \"Single instance\" java.lang.IllegalStateException: thrown on request\n", 0), 0u)
        << r.err;
}

// A desktop application's main returns at once and the application runs on in its threads: the
// instance serves until the last of them ends, and a later start hands over rather than
// making a second VM.
TEST_P(SingleInstanceRealJdk, TheInstanceServesUntilTheApplicationsLastThreadEnds) {
    auto first = startFirst({"-nomsgbox", "-J-Dlinger=true", "-J-Dopens=1"});
    EXPECT_RUN(inst.run({"-nomsgbox", "later"}, options), "", "", 0);
    EXPECT_RUN(first.get(), "main\nmain returns\nopen dir=" + inst.root() + " count=1\nopen arg[0]=later\nworker done\n",
               "", 0);
    EXPECT_FALSE(fs::exists(socketPath()));
}

// A method that takes longer than the start waits never makes the start an instance of its own:
// it ends with 0 and says so, and the method runs once.
TEST_P(SingleInstanceRealJdk, ASlowMethodNeverMakesASecondInstance) {
    auto first = startFirst({"-nomsgbox", "-J-Dopens=1"});
    RunOptions briefly = options;
    briefly.env["LAUNCHER_INSTANCE_WAIT"] = "2";
    EXPECT_RUN(inst.run({"-nomsgbox", "block"}, briefly), "",
               "WARNING: The running instance took the arguments and is still handling them after 2 seconds; this "
               "start ends\n",
               0);
    EXPECT_RUN(first.get(), "main\nopen dir=" + inst.root() + " count=1\nopen arg[0]=block\nmain done\n", "", 0);
}

// An instance that ends through System.exit removes its socket, also when a thread of its own
// calls it after main has returned; one that is killed leaves it with nobody listening, and
// the next start takes it over.
TEST_P(SingleInstanceRealJdk, AnEndedInstanceLeavesNothingInTheWay) {
    struct Case {
        std::vector<std::string> how;
        const char* out;
        int exitCode;
        bool socketStays;
    } cases[] = {
        {{"-J-Dexit=3"}, "main\n", 3, false},
        {{"-J-Dkill=true"}, "main\n", 128 + 9, true},
        {{"-J-Dlinger=true", "-J-Dexit=5"}, "main\nmain returns\nworker done\n", 5, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how.back());
        std::vector<std::string> args = c.how;
        args.insert(args.begin(), "-nomsgbox");
        EXPECT_RUN(startFirst(args).get(), c.out, "", c.exitCode);
        EXPECT_EQ(fs::exists(socketPath()), c.socketStays);
        fs::remove(inst.path("ready"));
    }
    EXPECT_RUN(inst.run({"-nomsgbox"}, options), "main\nmain done\n", "", 0);
    EXPECT_FALSE(fs::exists(socketPath()));
}

// Whatever else holds the socket's name, the start runs as an instance of its own and says why.
TEST_P(SingleInstanceRealJdk, AForeignNameIsNeverUsed) {
    struct Planted {
        const char* what;
        std::string reason;
    };
    const Planted table[] = {
        {"link", "a link is at the socket's name: "},
        {"file", "something other than a socket is at its name: "},
        {"socket of another user", "another user's socket is at its name: "},
    };
    for (const Planted& planted : table) {
        SCOPED_TRACE(planted.what);
        fs::remove(socketPath());
        int listening = -1;
        if (planted.what[0] == 'l') {
            fs::create_symlink(inst.path("elsewhere"), socketPath());
        } else if (planted.what[0] == 'f') {
            inst.write("run/" + fs::path(socketPath()).filename().string(), "");
        } else {
            listening = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath().c_str());
            ASSERT_EQ(::bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
            ASSERT_EQ(::listen(listening, 8), 0);
            if (::chown(socketPath().c_str(), 12345, 12345) != 0) GTEST_SKIP() << "only root can give a file away";
        }
        Result r = inst.run({"-nomsgbox", "-verbose"}, options);
        if (listening >= 0) ::close(listening);
        EXPECT_NE(r.out.find("Single instance: " + planted.reason + socketPath() + "; this start is a new instance\n"),
                  std::string::npos) << r.out;
        EXPECT_EQ(r.out.substr(r.out.size() - 15), "main\nmain done\n");
        EXPECT_EQ(r.exitCode, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Linux, SingleInstanceRealJdk, ::testing::ValuesIn(jdksUnderTest()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name;
                             for (char c : fs::path(info.param).filename().string()) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(SingleInstanceRealJdk);

}  // namespace
}  // namespace process_tests
