// The user's reference checked against the launcher. Every example configuration of docs/ (and
// the README's) runs as its text says, with the installation laid out as the text lays it out;
// every directive, option and message the launcher has is documented, and every link leads to
// a file. The pages are read from the source tree this file belongs to.
//
// Examples are written for Windows (C:\MyApp\bin\myapp.exe). They are adapted mechanically:
// C:\MyApp becomes the temporary installation's root as the launcher sees it, and on Linux a
// drive letter goes, '\' becomes '/' and ';' becomes ':'. Nothing else is changed.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cmdline/command_line.h"
#include "config/launch_settings.h"
#include "messages/messages.h"
#include "process/harness.h"

namespace fs = std::filesystem;

namespace process_tests {
namespace {

// ---- Reading the pages -----------------------------------------------------------------------

fs::path sourceRoot() { return fs::path(__FILE__).parent_path().parent_path().parent_path(); }

std::string readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + file.string());
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string readSource(const std::string& relative) { return readFile(sourceRoot() / relative); }

/// The pages whose examples are checked: docs/*.md and the README, by path below the root.
std::vector<std::string> pages() {
    std::vector<std::string> names{"README.md"};
    for (const auto& entry : fs::directory_iterator(sourceRoot() / "docs"))
        if (entry.path().extension() == ".md") names.push_back("docs/" + entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

struct Block {
    std::string language;
    std::string text;
};

/// The fenced code blocks of a Markdown page, in order.
std::vector<Block> fencedBlocks(const std::string& page) {
    std::vector<Block> blocks;
    bool inside = false;
    for (const std::string& line : splitLines(page)) {
        if (line.rfind("```", 0) == 0) {
            if (!inside) blocks.push_back({line.substr(3), ""});
            inside = !inside;
        } else if (inside) {
            blocks.back().text += line + "\n";
        }
    }
    return blocks;
}

std::vector<Block> blocksOf(const std::string& page, const std::string& language) {
    std::vector<Block> found;
    for (const Block& block : fencedBlocks(page))
        if (block.language == language) found.push_back(block);
    return found;
}

/// The text of the page's one block of `language`; fails the test when there is not exactly one.
std::string onlyBlock(const std::string& page, const std::string& language) {
    std::vector<Block> found = blocksOf(page, language);
    EXPECT_EQ(found.size(), 1u) << "blocks of " << language;
    return found.empty() ? std::string() : found.front().text;
}

/// The text with every run of blanks and line ends made one blank, as Markdown reads it.
std::string collapsed(const std::string& text) {
    std::string out;
    for (char c : text) {
        bool blank = c == ' ' || c == '\n' || c == '\t' || c == '\r';
        if (!blank)
            out += c;
        else if (!out.empty() && out.back() != ' ')
            out += ' ';
    }
    return out;
}

#define EXPECT_PAGE_SAYS(page, phrase) \
    EXPECT_NE(collapsed(page).find(collapsed(phrase)), std::string::npos) << "the page no longer says: " << (phrase)

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

/// A path or option of an example, as the build under test has it (see the top of this file).
std::string adapted(std::string text, const Installation& inst) {
    text = replaceAll(text, "C:\\MyApp", inst.seen(""));
    if (isWindows()) return text;
    text = replaceAll(text, "C:\\", "\\");
    text = replaceAll(text, "\\", "/");
    return replaceAll(text, ";", ":");
}

std::string slashed(std::string className) { return replaceAll(className, ".", "/"); }

// ---- Running with a PATH of the example's ----------------------------------------------------

/// Starts the installation's launcher by its full path with PATH set to `path` as the launcher
/// sees it, and `env` added. Windows programs under wine take their PATH from the prefix, so
/// the command interpreter sets it before it starts the launcher.
Result runWithPath(const Installation& inst, const std::vector<std::string>& args, const std::string& path,
                   const std::map<std::string, std::string>& env) {
    if (!isWindows()) {
        RunOptions o;
        for (const auto& [name, value] : env) o.env[name] = value;
        o.env["PATH"] = path;
        return inst.run(args, o);
    }
    std::vector<std::string> vars{"WINEDEBUG=-all", "PATH=/usr/local/bin:/usr/bin:/bin", "LANG=C.UTF-8",
                                  "FAKEJVM_RECORD=" + seenPath(inst.recordFile())};
    for (const char* name : {"WINEPREFIX", "WINESERVER", "WINELOADER", "HOME", "USER"})
        if (const char* value = std::getenv(name)) vars.push_back(std::string(name) + "=" + value);
    for (const auto& [name, value] : env) vars.push_back(name + "=" + value);
    std::string exe = inst.seen("bin/" + inst.programName() + exeSuffix());
    EXPECT_EQ(exe.find(' '), std::string::npos) << "the command below needs a path without blanks";
    std::vector<std::string> argv{target().wine, "cmd", "/c", "set", "PATH=" + path + "&&" + exe};
    argv.insert(argv.end(), args.begin(), args.end());
    return runProcess(target().wine, argv, vars, inst.root(), 60);
}

// ---- Example configurations --------------------------------------------------------------------

// Each ```conf block of the pages has its test below; a new example needs one too.
TEST(DocsExamples, EveryConfigurationBlockHasItsTest) {
    std::map<std::string, std::size_t> checked{
        {"docs/configuration.md", 1}, {"docs/deferred-updates.md", 1}, {"README.md", 1}};
    std::map<std::string, std::size_t> found;
    for (const std::string& page : pages()) {
        std::size_t count = blocksOf(readSource(page), "conf").size();
        if (count) found[page] = count;
    }
    EXPECT_EQ(found, checked);
}

// The example of configuration.md, with the conditions its text states, gives the VM exactly
// the options of its ```vm-options block, which -verbose prints, and calls the main class named.
TEST(DocsExamples, ConfigurationExampleGivesTheListedOptions) {
    std::string page = readSource("docs/configuration.md");
    EXPECT_PAGE_SAYS(page,
                     "With `..\\lib` holding `myapp.jar`, PATH set to `C:\\Windows`, MYAPP_PROFILE set to `dev`, and "
                     "the launcher at `C:\\MyApp\\bin\\myapp.exe`, the VM receives these options, in this order "
                     "(`myapp -verbose` prints them)");
    std::smatch called;
    ASSERT_TRUE(std::regex_search(page, called, std::regex("the launcher calls `([A-Za-z0-9_.]+)\\.main`")));

    Installation inst("myapp", "MyApp");
    inst.addRuntime("jre");
    inst.write("lib/myapp.jar", "");
    inst.writeConfig(onlyBlock(page, "conf"));
    Result r = runWithPath(inst, {"-nomsgbox", "-verbose"}, adapted("C:\\Windows", inst), {{"MYAPP_PROFILE", "dev"}});

    std::vector<std::string> listed;
    for (const std::string& line : splitLines(onlyBlock(page, "vm-options"))) listed.push_back(adapted(line, inst));
    ASSERT_EQ(listed.size(), 6u);
    EXPECT_RUN(r, verboseOptionLines(listed) + "JVM path is " + vmLibraryPath() + "\n", "", 0);
    EXPECT_EQ(inst.record(), startedRecord(listed, slashed(called[1]), {}));
}

struct MarkerPlace {
    const char* name;
    const char* moreConfig;  ///< lines after the page's configuration
    const char* marker;      ///< below the installation's root
    std::map<std::string, std::string> env;  ///< "HOME" stands for the root's "home"
    const char* announce;    ///< standard output
    bool installs;           ///< the update child runs
};

class DeferredUpdatesExample : public ::testing::TestWithParam<MarkerPlace> {};

// deferred-updates.md's configuration: with a marker in either place the page names, the
// update child starts the installer class on the page's class path with the application's
// arguments, then the application (here the default main class) starts; the marker is left
// as it was. HLV_USER_HOME alone, without SetUserHomeVariable, is not looked at.
TEST_P(DeferredUpdatesExample, RunsTheInstallerThenTheApplication) {
    const MarkerPlace& place = GetParam();
    std::string page = readSource("docs/deferred-updates.md");
    EXPECT_PAGE_SAYS(page, "(`C:\\MyApp\\lib\\deferred-updates.xml` for `C:\\MyApp\\bin\\myapp.exe`)");
    EXPECT_PAGE_SAYS(page,
                     "the directory named by the variable that `SetUserHomeVariable` names, or by `HLV_USER_HOME` "
                     "when that variable is unset or empty. Without `SetUserHomeVariable` only the installation's "
                     "marker counts.");
    EXPECT_PAGE_SAYS(page, "A marker in the installation is announced with `updatesFile exists. needToUpdate will return true.`");
    std::string conf = onlyBlock(page, "conf");
    std::smatch value;
    ASSERT_TRUE(std::regex_search(conf, value, std::regex("SetUpdateMainClass (\\S+)\\n")));
    std::string installerClass = value[1];
    ASSERT_TRUE(std::regex_search(conf, value, std::regex("SetUpdateClassPath (\\S+)\\n")));
    std::vector<std::string> installerClassPath;
    std::istringstream entries(value[1]);
    for (std::string entry; std::getline(entries, entry, ':');) installerClassPath.push_back(entry);

    Installation inst("myapp", "MyApp");
    inst.addRuntime("jre");
    inst.writeConfig(conf + place.moreConfig);
    const std::string marker = "<updates/>\n";
    inst.write(place.marker, marker);
    RunOptions o;
    for (const auto& [name, content] : place.env) o.env[name] = content == "HOME" ? inst.seen("home") : content;
    EXPECT_RUN(inst.run({"-nomsgbox", "first", "with blank"}, o), place.announce, "", 0);

    LaunchOptions installer;
    installer.classPath = installerClassPath;
    std::string expected = startedRecord(expectedOptions(inst), kDefaultMainClass, {"first", "with blank"});
    if (place.installs)
        expected = startedRecord(expectedOptions(inst, installer), slashed(installerClass), {"first", "with blank"}) +
                   expected;
    EXPECT_EQ(inst.record(), expected);
    EXPECT_EQ(readFile(inst.path(place.marker)), marker);
}

const char* const kAnnounce = "updatesFile exists. needToUpdate will return true.\n";

INSTANTIATE_TEST_SUITE_P(
    Docs, DeferredUpdatesExample,
    ::testing::Values(
        MarkerPlace{"InTheInstallation", "", "lib/deferred-updates.xml", {}, kAnnounce, true},
        MarkerPlace{"InTheUserHome", "SetUserHomeVariable MYAPP_HOME\n", "home/lib/deferred-updates.xml",
                    {{"MYAPP_HOME", "HOME"}}, "", true},
        MarkerPlace{"InTheFallbackUserHome", "SetUserHomeVariable MYAPP_HOME\n", "home/lib/deferred-updates.xml",
                    {{"HLV_USER_HOME", "HOME"}}, "", true},
        MarkerPlace{"FallbackWithoutTheDirectiveIsNotLookedAt", "", "home/lib/deferred-updates.xml",
                    {{"HLV_USER_HOME", "HOME"}}, "", false}),
    [](const auto& info) { return std::string(info.param.name); });

// The installer class of deferred-updates.md compiles as it stands (Linux, with the JDK).
TEST(DocsExamples, InstallerClassCompiles) {
    if (isWindows() || target().jdkHome.empty()) GTEST_SKIP() << "needs the JDK of the linux build";
    std::string source = onlyBlock(readSource("docs/deferred-updates.md"), "java");
    Installation work;
    work.write("src/com/example/myapp/Installer.java", source);
    Result r = runProcess(target().jdkHome + "/bin/javac",
                          {"javac", "-d", work.path("classes"), work.path("src/com/example/myapp/Installer.java")},
                          {"PATH=/usr/bin:/bin"}, work.root(), 120);
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_TRUE(fs::exists(work.path("classes/com/example/myapp/Installer.class")));
}

// The README's Windows walk, checked here with the test-double VM in place of the runtime that
// the walk copies to hello\jre: bin\helloc.exe (the console twin of hello.exe) with
// hello.conf starts Hello with the walk's argument and lib\hello.jar on the class path.
// tests/docs/windows_walk.sh runs the walk's commands themselves under wine.
TEST(DocsExamples, ReadmeWindowsWalkStartsHello) {
    std::string readme = readSource("README.md");
    EXPECT_PAGE_SAYS(readme, "bin\\helloc.exe world");
    Installation inst("hello", "hello");
    inst.addRuntime("jre");
    inst.write("lib/hello.jar", "");
    inst.writeConfig(onlyBlock(readme, "conf"));
    RunOptions o;
    if (isWindows()) {
        inst.addExecutable("helloc.exe");
        o.program = "helloc.exe";
    }
    EXPECT_RUN(inst.run({"-nomsgbox", "world"}, o), "", "", 0);
    std::vector<std::string> classPath{native("../lib/hello.jar")};
    for (const std::string& entry : runtimeClassPath(defaultJavaHome())) classPath.push_back(entry);
    LaunchOptions parts;
    parts.classPath = classPath;
    EXPECT_EQ(inst.record(), startedRecord(expectedOptions(inst, parts), "Hello", {"world"}));
}

// ---- What the launcher has, and the reference lists ---------------------------------------------

/// The rows of the Markdown table that follows `heading` on the page, as lists of cells.
std::vector<std::vector<std::string>> tableAfter(const std::string& page, const std::string& heading) {
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> lines = splitLines(page);
    auto at = std::find(lines.begin(), lines.end(), heading);
    EXPECT_NE(at, lines.end()) << "no heading " << heading;
    if (at == lines.end()) return rows;
    bool started = false;
    for (++at; at != lines.end(); ++at) {
        if (at->rfind("|", 0) != 0) {
            if (started) break;
            continue;
        }
        started = true;
        if (at->rfind("|---", 0) == 0) continue;
        std::vector<std::string> cells;
        std::istringstream in(at->substr(1));
        for (std::string cell; std::getline(in, cell, '|');) {
            cell = collapsed(cell);
            if (!cell.empty() && cell.back() == ' ') cell.pop_back();
            cells.push_back(cell);
        }
        rows.push_back(cells);
    }
    if (!rows.empty()) rows.erase(rows.begin());  // the header
    return rows;
}

/// The page without its fenced code blocks.
std::string prose(const std::string& page) {
    std::string text;
    bool inside = false;
    for (const std::string& line : splitLines(page)) {
        if (line.rfind("```", 0) == 0)
            inside = !inside;
        else if (!inside)
            text += line + "\n";
    }
    return text;
}

/// The code spans of a text outside its fenced blocks: `a`, `b c` give {"a", "b c"}.
std::vector<std::string> codeSpans(const std::string& page) {
    std::string text = prose(page);
    std::vector<std::string> spans;
    std::regex span("`([^`]+)`");
    for (std::sregex_iterator it(text.begin(), text.end(), span), end; it != end; ++it) spans.push_back((*it)[1]);
    return spans;
}

// The directive table of configuration.md lists exactly the launcher's directives, and the
// defaults it gives are the launcher's.
TEST(DocsCoverage, DirectiveTableListsEveryDirective) {
    std::string page = readSource("docs/configuration.md");
    std::set<std::string> documented;
    std::map<std::string, std::string> effect;
    for (const auto& row : tableAfter(page, "## Directives")) {
        ASSERT_EQ(row.size(), 3u);
        std::vector<std::string> names = codeSpans(row[0]);
        ASSERT_EQ(names.size(), 1u) << row[0];
        documented.insert(names[0]);
        effect[names[0]] = row[2];
    }
    std::set<std::string> names;
    for (const Directive& directive : directives()) names.insert(directive.name);
    EXPECT_EQ(documented, names);
    EXPECT_NE(effect["SetMainClass"].find("default `" + replaceAll(kDefaultMainClass, "/", ".") + "`"), std::string::npos);
    EXPECT_NE(effect["SetJavaVM"].find(std::string("default `") + kDefaultVmName + "`"), std::string::npos);
}

// The table of directives on the command line in command-line.md has one row per directive,
// and says for each the point of the start at which the launcher lets it count.
TEST(DocsCoverage, CommandLineDirectiveTableSaysWhenEachCounts) {
    const std::map<Phase, std::string> said = {
        {Phase::BeforeFile, "before the configuration file is read"},
        {Phase::BeforeUserFile, "before the user's own settings file is read"},
        {Phase::BeforeSearch, "before the Java runtime is looked for"},
        {Phase::AfterFile, "with the launcher's options"},
        {Phase::Refused, "is made before the command line is read"},
    };
    std::map<std::string, std::vector<std::string>> rows;
    for (const auto& row : tableAfter(readSource("docs/command-line.md"), "## Directives on the command line")) {
        ASSERT_EQ(row.size(), 3u);
        std::vector<std::string> names = codeSpans(row[0]);
        ASSERT_EQ(names.size(), 1u) << row[0];
        rows[names[0]] = row;
    }
    EXPECT_EQ(rows.size(), directives().size());
    for (const Directive& directive : directives()) {
        auto row = rows.find(directive.name);
        ASSERT_NE(row, rows.end()) << directive.name << " has no row";
        Phase phase = phaseOf(directive);
        EXPECT_EQ(row->second[1].rfind(phase == Phase::Refused ? "no" : "yes", 0), 0u) << directive.name;
        EXPECT_NE(row->second[2].find(said.at(phase)), std::string::npos) << directive.name << ": " << row->second[2];
    }
}

// Every warning the launcher's source writes is a row of the console table of messages.md: the
// text of its first piece, up to where a value is put in.
TEST(DocsCoverage, EveryWarningOfTheSourceIsInTheTable) {
    std::string table;
    for (const auto& row : tableAfter(readSource("docs/messages.md"), "## Lines on the console"))
        for (const std::string& span : codeSpans(row.at(0))) table += span + "\n";
    std::regex warning("\"WARNING: ([^\"\\\\]*)");
    std::size_t found = 0;
    for (const auto& entry : fs::recursive_directory_iterator(sourceRoot() / "src")) {
        std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".cpp" || name.find("_test") != std::string::npos) continue;
        std::string text = readFile(entry.path());
        for (std::sregex_iterator it(text.begin(), text.end(), warning), end; it != end; ++it, ++found)
            EXPECT_NE(table.find("WARNING: " + std::string((*it)[1])), std::string::npos)
                << name << " writes a warning messages.md does not list: " << it->str();
    }
    EXPECT_GE(found, 15u) << "the pattern finds the warnings";
}

// What command-line.md says of the VM options' order holds: the configuration's path follows
// the files' and the command line's options, and only SetMaxHeap's -Xmx (and the start-up
// cache's options) come between it and the class path.
TEST(DocsExamples, OptionOrderIsAsThePageSays) {
    EXPECT_PAGE_SAYS(readSource("docs/command-line.md"),
                     "`-Dide.config_pathname=` with the configuration file's path, after every VM option of the files "
                     "and the command line; after it come only `SetMaxHeap`'s `-Xmx`, the start-up cache's options");
    Installation inst;
    inst.addRuntime();
    inst.writeConfig("SetMainClass test.Main\nSetMaxHeap 64m\nAddVMOption -Dfrom=file\n");
    Result r = inst.run({"-nomsgbox", "-verbose", "-J-Dfrom=line"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::vector<std::string> options;
    for (std::string line : splitLines(r.out)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("JNI Option: ", 0) == 0) options.push_back(line.substr(12));
    }
    ASSERT_EQ(options.size(), 6u) << r.out;
    EXPECT_EQ(options[0], "-Dfrom=file");
    EXPECT_EQ(options[2], "-Dfrom=line");
    EXPECT_EQ(options[3].rfind("-Dide.config_pathname=", 0), 0u);
    EXPECT_EQ(options[4], "-Xmx64m");
    EXPECT_EQ(options[5].rfind("-Djava.class.path=", 0), 0u);
}

/// The options of the usage text: the first word of each line that begins with '-', with
/// "-conf[igure]" read as "-conf" and "-configure".
std::set<std::string> usageOptions() {
    std::set<std::string> options;
    for (const std::string& line : splitLines(kUsageText)) {
        if (line.empty() || line[0] != '-') continue;
        std::string word = line.substr(0, line.find(' '));
        std::smatch optional;
        if (std::regex_match(word, optional, std::regex("(.*)\\[(.*)\\]"))) {
            options.insert(optional[1]);
            options.insert(std::string(optional[1]) + std::string(optional[2]));
        } else {
            options.insert(word);
        }
    }
    return options;
}

// Options the command-line parser and the -nomsgbox pre-scan take that the usage text does not
// list; "-<vm>" stands for every VM name of jvm.cfg (the usage text names three of them).
const std::set<std::string> kParserOnlyOptions{"-nomsgbox", "-update", "-mainclass", "-debug", "-uidebug", "-help",
                                               "-?",        "/help",   "/?",         "-<vm>",  "--print-java",
                                               "--forget-java", "--last-start"};

// Every option of the usage text and the parser is in command-line.md, and its option table
// lists none that the launcher lacks.
TEST(DocsCoverage, CommandLinePageListsEveryOption) {
    std::set<std::string> known = usageOptions();
    ASSERT_GE(known.size(), 9u) << kUsageText;
    known.insert(kParserOnlyOptions.begin(), kParserOnlyOptions.end());
    std::string page = readSource("docs/command-line.md");
    std::set<std::string> mentioned;
    for (const std::string& span : codeSpans(page)) mentioned.insert(span.substr(0, span.find(' ')));
    for (const std::string& option : known) EXPECT_TRUE(mentioned.count(option)) << option << " is not documented";
    for (const auto& row : tableAfter(page, "## Options")) {
        ASSERT_FALSE(row.empty());
        for (const std::string& span : codeSpans(row[0]))
            EXPECT_TRUE(known.count(span.substr(0, span.find(' ')))) << span << " is no option of the launcher";
    }
}

/// A pattern for a message as the page writes it: blanks may break lines, a line end of the
/// message may be written " / ", and "%s" is an italic placeholder (*path*).
std::string messagePattern(std::string message) {
    while (!message.empty() && message.back() == '\n') message.pop_back();
    std::string pattern;
    for (std::size_t i = 0; i < message.size(); ++i) {
        char c = message[i];
        if (message.compare(i, 2, "%s") == 0) {
            pattern += "\\*[^*]+\\*";
            ++i;
        } else if (c == '\n') {
            pattern += "(\\s+/)?\\s+";
        } else if (c == ' ') {
            pattern += "\\s+";
        } else if (std::string("\\^$.|?*+()[]{}").find(c) != std::string::npos) {
            pattern += std::string("\\") + c;
        } else {
            pattern += c;
        }
    }
    return pattern;
}

// Every message of the message table is on messages.md, and each row of its exit-code table
// gives the message of that number.
TEST(DocsCoverage, MessagesPageHasEveryMessage) {
    std::string page = readSource("docs/messages.md");
    for (int i = 0; i < kMessageCount; ++i)
        EXPECT_TRUE(std::regex_search(page, std::regex(messagePattern(messageTable[i]))))
            << "message " << i << " is not documented: " << messageTable[i];
    auto rows = tableAfter(page, "# Messages and exit codes");
    ASSERT_GE(rows.size(), 7u);
    for (const auto& row : rows) {
        ASSERT_GE(row.size(), 2u);
        int number = std::stoi(row[0]);
        ASSERT_TRUE(number >= 0 && number < kMessageCount) << row[0];
        EXPECT_TRUE(std::regex_search(row[1], std::regex(messagePattern(messageTable[number]))))
            << "row " << number << " gives another message: " << row[1];
    }
}

// Where a page names a message by its number and quotes its text (message 12, "Unable to ..."),
// the text is that message's, as the message table has it.
TEST(DocsCoverage, MessageNumbersInTheTextNameTheirMessages) {
    std::regex cited("[Mm]essage (\\d+)[,:]? \\(?[\"`]([^\"`]+)[\"`]");
    std::set<std::string> citing;
    for (const std::string& name : pages()) {
        std::string text = collapsed(prose(readSource(name)));
        for (std::sregex_iterator it(text.begin(), text.end(), cited), end; it != end; ++it) {
            int number = std::stoi((*it)[1]);
            ASSERT_TRUE(number >= 0 && number < kMessageCount) << name << ": " << it->str();
            EXPECT_EQ(collapsed(messageTable[number]).find(collapsed((*it)[2])), 0u)
                << name << " gives message " << number << " another text: " << it->str();
            citing.insert(name);
        }
    }
    EXPECT_TRUE(citing.count("docs/linux.md") && citing.count("docs/configuration.md")) << "the pattern finds nothing";
}

/// A line of the console table as a pattern: its code spans, " / " between them a line end
/// (with the blanks that indent the next line), and its placeholder words any text.
std::regex consoleLinePattern(const std::string& cell) {
    static const std::regex placeholder("\\b(name|path|dir|home|vm|N|text|arg|option)\\b");
    std::string pattern;
    for (const std::string& span : codeSpans(cell)) {
        if (!pattern.empty()) pattern += "\n *";
        std::string literal = messagePattern(span);
        pattern += std::regex_replace(literal, placeholder, "[^\n]+");
    }
    return std::regex(pattern + "\n");
}

// What the launcher writes on its console in a few launches that go on after warnings, line by
// line, is in the table of console lines of messages.md.
TEST(DocsCoverage, ConsoleLinesOfLaunchesAreInTheTable) {
    std::vector<std::regex> lines;
    for (const auto& row : tableAfter(readSource("docs/messages.md"), "## Lines on the console"))
        lines.push_back(consoleLinePattern(row.at(0)));
    ASSERT_GE(lines.size(), 20u);
    Installation inst;
    inst.addRuntime("jre", std::string("-server KNOWN\n-client KNOWN\n"), {"client"});
    std::string wide;
    for (char c : std::string("SetMainClass a.B\r\n")) wide += std::string{c, '\0'};
    for (const std::string& config : {std::string("Frobnicate 1\nSetMainClass a.B\n"), wide}) {
        inst.writeConfig(config);
        Result r = inst.run({"-nomsgbox"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        r.err.erase(std::remove(r.err.begin(), r.err.end(), '\r'), r.err.end());  // a Windows console's line ends
        for (std::size_t at = 0; at < r.err.size();) {
            std::smatch found;
            std::string rest = r.err.substr(at);
            auto matches = [&](const std::regex& line) {
                return std::regex_search(rest, found, line, std::regex_constants::match_continuous);
            };
            ASSERT_TRUE(std::any_of(lines.begin(), lines.end(), matches)) << "not in the table: " << rest;
            at += found.length(0);
        }
        EXPECT_NE(r.err, "");
    }
}

// Links between the pages, and to pictures, lead to files that exist.
TEST(DocsCoverage, LinksLeadToFiles) {
    std::regex link("\\]\\(([^)#\\s]+)(#[^)]*)?\\)");
    for (const std::string& name : pages()) {
        std::string page = readSource(name);
        fs::path directory = (sourceRoot() / name).parent_path();
        for (std::sregex_iterator it(page.begin(), page.end(), link), end; it != end; ++it) {
            std::string to = (*it)[1];
            if (to.find("://") != std::string::npos) continue;
            EXPECT_TRUE(fs::exists(directory / to)) << name << " links to " << to << ", which does not exist";
        }
    }
}

}  // namespace
}  // namespace process_tests
