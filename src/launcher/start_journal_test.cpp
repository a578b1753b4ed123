// The start journal: its records, its bounds, and its file on real directories.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "launcher/start_journal.h"
#include "platform/files.h"
#include "platform/platform.h"
#include "support/temp_dir.h"

using testing_support::ScopedEnv;
using testing_support::TempDir;

namespace {

/// A record as a start writes it, of about `bytes` bytes, numbered.
std::string record(int number, std::size_t bytes) {
    std::string text = "start " + std::to_string(number) + "\nVM option: ";
    text += std::string(bytes > text.size() + 20 ? bytes - text.size() - 20 : 1, 'x');
    return text + "\nexit: 0 after 1.0 ms\n\n";
}

}  // namespace

TEST(StartJournal, RecordsOfAText) {
    struct Case {
        const char* name;
        std::string text;
        std::vector<std::string> records;
    } cases[] = {
        {"empty", "", {}},
        {"damaged head left out", "junk\nmore\nstart a\nx: 1\n\nstart b\n", {"start a\nx: 1\n\n", "start b\n"}},
        {"indented lines belong to their record", "start a\nmessage 8: y\n  start b\n", {"start a\nmessage 8: y\n  start b\n"}},
        {"a head only at a line's start", "start a\nx: start b\n", {"start a\nx: start b\n"}},
        {"no line feed at the end", "start a\nstart b", {"start a\n", "start b"}},
    };
    for (const Case& c : cases) EXPECT_EQ(journalRecords(c.text), c.records) << c.name;
}

// Two thousand starts of every size: the journal never passes its bounds, drops only whole
// records, the oldest first, and always keeps the newest.
TEST(StartJournal, AppendingKeepsTheBoundsAndWholeRecords) {
    struct Case {
        std::size_t mostBytes, mostRecords;
    } cases[] = {{kJournalMostBytes, kJournalMostRecords}, {4096, 1000}, {1 << 20, 7}};
    for (const Case& c : cases) {
        std::string journal = "damaged head without its line feed";
        std::vector<std::string> appended;
        for (int i = 0; i < 2000; ++i) {
            appended.push_back(record(i, 200 + (i * 7919) % 3000));
            const std::string& added = appended.back();
            journal = appendedJournal(journal, added, c.mostBytes, c.mostRecords);
            std::vector<std::string> records = journalRecords(journal);
            ASSERT_FALSE(records.empty());
            ASSERT_EQ(records.back(), added) << i;
            ASSERT_LE(records.size(), c.mostRecords) << i;
            ASSERT_TRUE(journal.size() <= c.mostBytes || records.size() == 1) << i << ": " << journal.size();
            // Whole records, in order, the newest ones: nothing left out between them.
            std::vector<std::string> newest(appended.end() - records.size(), appended.end());
            ASSERT_EQ(records, newest) << c.mostBytes << " " << i;
            // Kept as many as fit: one more would pass a bound.
            if (records.size() < appended.size() && records.size() < c.mostRecords) {
                ASSERT_GT(journal.size() + appended[appended.size() - records.size() - 1].size(), c.mostBytes) << i;
            }
        }
    }
    // A record larger than the bound alone stays, alone.
    EXPECT_EQ(appendedJournal(record(1, 100), record(2, 500), 300, 50), record(2, 500));
}

TEST(StartJournal, RecordLines) {
    StartJournal journal;
    journal.begin("/opt/app/bin/app");
    journal.add("refused", "/x (17, amd64): too old, from JAVA_HOME");
    journal.addMessage(JavaLauncherException(5, "a/Main", "", "why\nand more"));
    journal.add("VM option", "-Dtext=one\n\nstart two\n");
    journal.add("VM option", std::string(kRecordMostBytes, 'y'));
    journal.add("VM option", "after the cut");
    TempDir dir;
    ScopedEnv config("XDG_CONFIG_HOME", dir.path());
    ScopedEnv appData("APPDATA", dir.path());
    journal.setConfigPath(dir / "bin/app.conf");
    journal.finish(5, false);
    std::optional<std::string> text = platform::readFileStart(dir / "app/app.log", 1 << 20);
    ASSERT_TRUE(text);
    std::vector<std::string> records = journalRecords(*text);
    ASSERT_EQ(records.size(), 1u) << *text;
    const std::string& r = records[0];
    EXPECT_EQ(r.substr(0, 6), "start ");
    for (const char* line : {"\nlauncher: 1.0.0 /opt/app/bin/app\n",
                                    "\nrefused: /x (17, amd64): too old, from JAVA_HOME\n",
                                    "\nmessage 5: Unable to find main class.\n  Class specified is: a/Main\n",
                                    "\nexplanation: why\n  and more\n",
                                    "\nVM option: -Dtext=one\n  \n  start two\n"})
        EXPECT_NE(r.find(line), std::string::npos) << line << r;
    EXPECT_EQ(r.find("after the cut"), std::string::npos);
    EXPECT_NE(r.find("\n  (cut: the record keeps its first 16 KiB)\nexit: 5 after "), std::string::npos);
    EXPECT_LT(r.size(), kRecordMostBytes + 200);
    // Only the first end writes.
    journal.finish(0, false);
    journal.finishAtExit();
    EXPECT_EQ(journalRecords(*platform::readFileStart(dir / "app/app.log", 1 << 20)).size(), 1u);
}

// Without a folder for the user's settings there is no journal, and --last-start says so.
TEST(StartJournal, NoJournalWithoutASettingsFolder) {
    ScopedEnv noConfig("XDG_CONFIG_HOME", std::nullopt);
    ScopedEnv noHome("HOME", std::nullopt);
    ScopedEnv noAppData("APPDATA", std::nullopt);
    EXPECT_EQ(startJournalFile("/opt/app/bin/app.conf"), "");
    EXPECT_EQ(lastStartReport("/opt/app/bin/app.conf"),
              "No start journal: the environment names no folder for the user's settings.\n");
}
