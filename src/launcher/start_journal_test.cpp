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
        {"damaged head left out", "junk\nmore\nstart a\nx: 1\n\nstart b\nx: 2\n\n", {"start a\nx: 1\n\n", "start b\nx: 2\n\n"}},
        {"indented lines belong to their record", "start a\nmessage 8: y\n  start b\n\n", {"start a\nmessage 8: y\n  start b\n\n"}},
        {"a head only at a line's start", "start a\nx: start b\n\n", {"start a\nx: start b\n\n"}},
        {"torn tail without its line feed", "start a\n\nstart b", {"start a\n\n"}},
        {"torn tail after its exit line", "start a\nx: 1\n\nstart b\nexit: 0 after 1.0 ms\n", {"start a\nx: 1\n\n"}},
        {"torn record between whole ones", "start a\nx: 1\nstart b\nx: 2\n\n", {"start b\nx: 2\n\n"}},
        {"zeros after the last record (a power cut)", "start a\nx: 1\n\n" + std::string(9, '\0'), {"start a\nx: 1\n\n"}},
        {"nothing but a torn record", "start a\nexit: 0 aft", {}},
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

// Whether a start may add its record at the end of the journal as it is, or must cut it.
TEST(StartJournal, AppendsInPlaceOrCuts) {
    const std::string a = record(1, 100), b = record(2, 100), c = record(3, 100);
    struct Case {
        const char* name;
        std::string journal;
        std::size_t mostBytes, mostRecords;
        bool inPlace;
    } cases[] = {
        {"empty", "", 1000, 3, true},
        {"room for one more record", a + b, 1000, 3, true},
        {"one record too many", a + b + c, 1000, 3, false},
        {"exactly at the byte bound", a + b, 3 * c.size(), 3, true},
        {"one byte past it", a + b, 3 * c.size() - 1, 3, false},
        {"torn tail", a + b.substr(0, 40), 1000, 3, false},
        {"torn tail up to the empty line", a + b.substr(0, b.size() - 1), 1000, 3, false},
        {"damaged head", "junk\n" + a, 1000, 3, false},
        {"damaged head without a line feed, which would hide the head", "junk", 1000, 3, false},
        {"something between records", a + "junk\n" + b, 1000, 3, false},
    };
    for (const Case& k : cases) EXPECT_EQ(appendsInPlace(k.journal, c, k.mostBytes, k.mostRecords), k.inPlace) << k.name;
}

// A thousand starts as they write the file: in place while the bounds allow it, else cut to
// the lower bounds; now and then a start is killed while it writes. The journal never passes
// its bounds, never shows the torn record, keeps the newest whole ones in order, and is cut
// only once in every stretch of starts the lower bounds leave room for.
TEST(StartJournal, AppendsUntilABoundThenCutsBelowIt) {
    struct Case {
        std::size_t mostBytes, mostRecords, cutBytes, cutRecords;
    } cases[] = {{kJournalMostBytes, kJournalMostRecords, kJournalCutBytes, kJournalCutRecords},
                 {16384, 1000, 8192, 1000},
                 {1 << 20, 8, 1 << 20, 6}};
    const int starts = 1000;
    for (const Case& c : cases) {
        std::string journal;
        std::vector<std::string> whole, before;
        int cuts = 0;
        for (int i = 0; i < starts; ++i) {
            std::string added = record(i, 200 + (i * 7919) % 1500);
            if (i % 97 == 50) {
                journal += added.substr(0, added.size() / 2);  // killed while it wrote
                ASSERT_EQ(journalRecords(journal), before) << i;
                continue;
            }
            whole.push_back(added);
            bool inPlace = appendsInPlace(journal, added, c.mostBytes, c.mostRecords);
            if (inPlace) {
                ASSERT_EQ(journal + added, appendedJournal(journal, added, c.mostBytes, c.mostRecords)) << i;
                journal += added;
            } else {
                journal = appendedJournal(journal, added, c.cutBytes, c.cutRecords);
                ++cuts;
            }
            std::vector<std::string> records = journalRecords(journal);
            ASSERT_LE(records.size(), inPlace ? c.mostRecords : c.cutRecords) << i;
            ASSERT_TRUE(journal.size() <= (inPlace ? c.mostBytes : c.cutBytes) || records.size() == 1) << i;
            ASSERT_EQ(records, std::vector<std::string>(whole.end() - records.size(), whole.end())) << i;
            before = std::move(records);
        }
        // Each torn record costs one cut; the others come only once the room below the bounds
        // is filled again, not at every start once the journal is full.
        EXPECT_GT(cuts, starts / 97) << c.mostBytes;
        EXPECT_LT(cuts, starts / 2) << c.mostBytes;
    }
}

// The file itself: each record appended in place (the same file) until a bound would be
// passed, then a new file cut below the bounds; a torn tail is left out by the next start.
TEST(StartJournal, TheFileIsAppendedToThenCut) {
    TempDir dir;
    const std::string file = dir / "app/app.log";
    ASSERT_TRUE(platform::makeDirectories(dir / "app"));
    std::size_t cuts = 0, count = 0;
    for (int i = 0; i < 80; ++i) {
        std::optional<platform::FileStamp> before = platform::fileStamp(file);
        if (i == 60) {
            std::FILE* out = platform::openFile(file, "ab");
            ASSERT_TRUE(out);
            std::fputs("start torn\nexit: 0 aft", out);
            std::fclose(out);
        }
        ASSERT_EQ(appendToJournal(file, record(i, 300 + i)), "") << i;
        std::vector<std::string> records = journalRecords(*platform::readFileStart(file, 1 << 20));
        ASSERT_FALSE(records.empty());
        EXPECT_EQ(records.back(), record(i, 300 + i)) << i;
        bool cut = before && platform::fileStamp(file)->node != before->node;
        // Cut when the bound would be passed or a record is torn, and only then.
        EXPECT_EQ(cut, count == kJournalMostRecords || i == 60) << i;
        if (cut) ++cuts;
        EXPECT_EQ(records.size(), cut ? std::min(count + 1, kJournalCutRecords) : count + 1) << i;
        count = records.size();
    }
    EXPECT_EQ(cuts, 3u);
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

// A record cut at 16 KiB stays one whole record that ends with its exit line, wherever the cut
// falls: inside a line, or just after one's line feed.
TEST(StartJournal, ARecordCutAtItsBoundStaysWhole) {
    TempDir dir;
    ScopedEnv config("XDG_CONFIG_HOME", dir.path());
    ScopedEnv appData("APPDATA", dir.path());
    const std::string log = dir / "app/app.log";
    auto begin = [&](StartJournal& journal) {
        journal.begin("/opt/app/bin/app");
        journal.setConfigPath(dir / "bin/app.conf");
    };
    StartJournal plain;
    begin(plain);
    plain.finish(0, false);
    // The bytes of a record before its first added line.
    const std::size_t head = journalRecords(*platform::readFileStart(log, 1 << 20)).at(0).find("exit: ");
    const std::size_t line = kRecordMostBytes - head - std::string("VM option: \n").size();
    for (int past : {-2, -1, 0, 1}) {
        ASSERT_TRUE(platform::removeFile(log));
        StartJournal journal;
        begin(journal);
        journal.add("VM option", std::string(line + past, 'x'));
        journal.add("VM option", "after");
        journal.finish(0, false);
        std::vector<std::string> records = journalRecords(*platform::readFileStart(log, 1 << 20));
        ASSERT_EQ(records.size(), 1u) << past;
        EXPECT_NE(records[0].find("\n  (cut: the record keeps its first 16 KiB)\nexit: 0 after "), std::string::npos)
            << past << records[0].substr(records[0].size() - 200);
    }
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
