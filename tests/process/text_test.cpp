// Text in any script: an installation in a folder whose name the system's code page cannot
// hold, and arguments the code page lacks or would turn into look-alikes. The Windows builds
// run each case under the Western (1252) and the Japanese (932) code page, which wine takes
// from LANG (the host needs the glibc locale of that name, which scripts/setup.sh makes).
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "process/harness.h"

namespace process_tests {
namespace {

struct CodePage {
    const char* name;
    const char* lang;
    /// The installation's folder: letters outside this code page (and some inside it).
    const char* folder;
};

const CodePage kCodePages[] = {
    // Polish, Greek and CJK: none of them in 1252.
    {"1252", "en_US.UTF-8", "Za\xc5\xbc\xc3\xb3\xc5\x82\xc4\x87 \xce\xa9\xce\xbc\xce\xad\xce\xb3\xce\xb1 \xe6\x97\xa5\xe6\x9c\xac"},
    // Cyrillic (which 932 holds) and Polish (which it does not).
    {"932", "ja_JP.UTF-8", "\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82 Za\xc5\xbc\xc3\xb3\xc5\x82\xc4\x87"},
};

// Each of these would reach main damaged through the code page: as a look-alike ('O' for
// omega, '/' for the division slash, ASCII for the full-width letters and quotation mark) or
// as '?' (CJK, emoji).
const std::vector<std::string> kArguments = {
    "\xce\xa9",                              // Ω
    "a\xe2\x88\x95" "b",                     // a∕b
    "\xef\xbc\xa1\xef\xbc\xa2",              // ＡＢ
    "\xef\xbc\x82 quoted \xef\xbc\x82",      // ＂ quoted ＂
    "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e",  // 日本語
    "\xf0\x9f\x98\x80",                      // 😀
    "Za\xc5\xbc\xc3\xb3\xc5\x82\xc4\x87 \xd0\x9f\xd1\x80\xd0\xb8",
};

/// The code pages a build runs under: the Windows ones both, linux its own locale once.
std::vector<CodePage> codePages() {
    if (isWindows()) return {std::begin(kCodePages), std::end(kCodePages)};
    return {{"the locale's", "C.UTF-8", kCodePages[0].folder}};
}

std::string message13(const std::string& text) {
    return errorReport("Unable to give the Java Virtual Machine the following text:\n[" + text +
                       "]\nThe system's code page cannot represent some of its characters, and no short (8.3) name "
                       "of a file stands in for it.");
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        result.push_back(text.substr(start, end - start));
    return result;
}

std::vector<std::string> linesStartingWith(const std::string& text, const std::string& prefix) {
    std::vector<std::string> found;
    for (const std::string& line : lines(text))
        if (line.compare(0, prefix.size(), prefix) == 0) found.push_back(line);
    return found;
}

// Started from a directory that holds an app.conf and a runtime of its own, the installation
// finds its own files by full path; the update child and the application each get every
// argument exactly, and every path the VM is given names an existing file as the VM opens it.
TEST(Text, InstallationInAFolderOutsideTheCodePage) {
    for (const CodePage& page : codePages()) {
        SCOPED_TRACE(std::string("code page ") + page.name);
        Installation inst("app", page.folder);
        inst.addRuntime();
        inst.write("jre/lib/tools.jar", "");
        inst.write("jre/lib/dt.jar", "");
        inst.write("lib/" + std::string(page.folder) + ".jar", "");
        inst.write("bin/upd.jar", "");
        // The user's home, named outside the code page, comes from a variable and holds the
        // marker of deferred updates; the VM gets it as a property.
        inst.writeConfig("SetMainClass test.Main\nAddJavaLibPath ../lib\nSetUserHomeVariable MY_HOME\n"
                         "RegisterEnvVar MY_HOME\nSetUpdateMainClass u.Installer\nSetUpdateClassPath upd.jar\n");
        const std::string home = "home " + std::string(page.folder);
        inst.write(home + "/lib/deferred-updates.xml", "");
        // The decoy: what a launch from the user's directory would wrongly read.
        inst.write("decoy/app.conf", "SetMainClass decoy.Main\n");
        inst.write("decoy/upd.jar", "");
        RunOptions o;
        o.workingDir = inst.path("decoy");
        o.env["LANG"] = page.lang;
        o.env["FAKEJVM_TEXT"] = "1";
        o.env["MY_HOME"] = inst.seen(home);
        // A file in the user's directory, named outside the code page: the application gets
        // its full path (the update child, which starts in the launcher's directory, the name).
        const std::string file = "\xe6\x97\xa5\xe6\x9c\xac \xc5\xbc.txt";
        inst.write("decoy/" + file, "");
        std::vector<std::string> args{"-nomsgbox"};
        args.insert(args.end(), kArguments.begin(), kArguments.end());
        args.push_back(file);
        EXPECT_RUN(inst.run(args, o), "", "", 0);

        std::string record = inst.record();
        if (isWindows()) {
            EXPECT_EQ(linesStartingWith(record, "codepage="),
                      std::vector<std::string>(2, "codepage=" + std::string(page.name)));
        }
        EXPECT_EQ(linesStartingWith(record, "findclass="),
                  (std::vector<std::string>{"findclass=u/Installer", "findclass=java/lang/String", "findclass=test/Main",
                                            "findclass=java/lang/String"}));
        std::vector<std::string> expectedArgs;
        for (const std::string& name : {file, inst.seen("decoy/" + file)}) {
            for (const std::string& argument : kArguments) expectedArgs.push_back("arg=" + argument);
            expectedArgs.push_back("arg=" + name);
        }
        EXPECT_EQ(linesStartingWith(record, "arg="), expectedArgs);
        // The installer: the home property, its class path and the configuration path; the
        // application: the home property, the folder's jar, tools.jar, dt.jar and the
        // configuration path.
        EXPECT_EQ(linesStartingWith(record, "path "), std::vector<std::string>(8, "path found")) << record;
    }
}

// A text that is no path and that the code page cannot hold stops the launch with the text
// named, '?' standing for each character that redirected output cannot carry: never a
// look-alike ('z' for 'ż', '/' for the division slash).
TEST(Text, AnOptionTheCodePageCannotHoldStopsTheLaunch) {
    if (!isWindows()) GTEST_SKIP() << "the POSIX VM reads its options in the locale's own encoding";
    for (const CodePage& page : codePages()) {
        SCOPED_TRACE(std::string("code page ") + page.name);
        Installation inst;
        inst.addRuntime();
        inst.writeConfig("SetMainClass test.Main\n");
        RunOptions o;
        o.env["LANG"] = page.lang;
        EXPECT_RUN(inst.run({"-nomsgbox", "-J-Dgreeting=\xc5\xbc\xe2\x88\x95\xc5\x82"}, o), message13("-Dgreeting=???"), "", 13);
        EXPECT_EQ(inst.record(), "");
    }
}

// Only a path option's value may go by a short name: a -D text equal to the name of a file in
// the launcher's directory is a text, and stops the launch as any other would.
TEST(Text, AnOptionsTextIsNeverTakenForAFile) {
    if (!isWindows()) GTEST_SKIP() << "the POSIX VM reads its options in the locale's own encoding";
    Installation inst;
    inst.addRuntime();
    inst.writeConfig("SetMainClass test.Main\n");
    const std::string name = "\xce\xa9mega";  // Ωmega
    inst.write("bin/" + name, "");
    EXPECT_RUN(inst.run({"-nomsgbox", "-J-Dx=" + name}), message13("-Dx=?mega"), "", 13);
    EXPECT_EQ(inst.record(), "");
}

// A PATH entry the code page cannot hold and without a short name (a stale folder) is left out
// of the library path, named by -verbose, and the application starts; the same folder written
// in the configuration stops the launch.
TEST(Text, AStalePathEntryIsLeftOutOfTheLibraryPath) {
    if (!isWindows()) GTEST_SKIP() << "every PATH entry fits the POSIX VM's options";
    Installation inst;
    inst.addRuntime();
    inst.writeConfig("SetMainClass test.Main\n");
    RunOptions o;
    o.env["WINEPATH"] = "C:\\\xce\xa9stale";
    EXPECT_RUN(inst.run({"-nomsgbox"}, o), "", "", 0);
    std::vector<std::string> options = expectedOptions(inst);
    EXPECT_EQ(inst.record(), startedRecord(options, "test/Main", {}));
    std::remove(inst.recordFile().c_str());
    EXPECT_RUN(inst.run({"-nomsgbox", "-verbose"}, o),
               "Left out of java.library.path, the system's code page cannot represent it: C:\\?stale\n" +
                   verboseOptionLines(options) + "JVM path is " + vmLibraryPath() + "\n",
               "", 0);

    inst.writeConfig("SetMainClass test.Main\nAddNativeCodePath C:\\\xce\xa9stale\n");
    EXPECT_RUN(inst.run({"-nomsgbox"}), message13("C:\\?stale"), "", 13);
    // A relative one is named in full too, as the launcher looked for it.
    inst.writeConfig("SetMainClass test.Main\nAddJavaLibFile ../lib/\xce\xa9stale.jar\n");
    EXPECT_RUN(inst.run({"-nomsgbox"}), message13("..\\lib\\?stale.jar"),
               "ERROR: The path in full: " + inst.seen("lib") + "\\?stale.jar\n", 13);
}

// Where standard output is a console, text goes through the console's Unicode output, so the
// terminal shows what the code page cannot hold: wine, started on a terminal, gives the program
// a console on it. (Redirected output keeps the code page: '?' above.)
TEST(Text, AConsoleShowsAnyText) {
    if (!isWindows()) GTEST_SKIP() << "POSIX writes the bytes as they are";
    Installation inst;
    inst.addRuntime();
    inst.writeConfig("SetMainClass test.Main\n");
    const std::string argument = "\xce\xa9\xe2\x88\x95\xc5\xbc";  // Ω∕ż: none of them in 1252
    std::vector<std::string> env{"LANG=en_US.UTF-8", "WINEDEBUG=-all", "PATH=/usr/local/bin:/usr/bin:/bin",
                                 "FAKEJVM_RECORD=" + seenPath(inst.recordFile())};
    for (const char* name : {"WINEPREFIX", "HOME", "USER"})
        if (const char* value = std::getenv(name)) env.push_back(std::string(name) + "=" + value);
    // script(1) runs the command on a terminal of its own and copies what it shows.
    std::string command = "'" + target().wine + "' '" + inst.path("bin/app.exe") + "' -nomsgbox -verbose " + argument;
    Result r = runProcess("/usr/bin/script", {"script", "-qec", command, "/dev/null"}, env, inst.root(), 60);
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("Added app cmd line arg: " + argument), std::string::npos) << r.out;
    EXPECT_NE(inst.record().find("arg=" + argument + "\n"), std::string::npos) << inst.record();
}

}  // namespace
}  // namespace process_tests
