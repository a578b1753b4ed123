// The start journal: one short record of each start's decisions, appended at its end to a
// private, bounded file of the user's own beside the user's settings of the application, so
// that why a start failed can still be read once its message is gone.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "messages/messages.h"

/// The journal keeps at most this many bytes and this many records: the newest whole ones.
constexpr std::size_t kJournalMostBytes = 64 * 1024;
constexpr std::size_t kJournalMostRecords = 50;
/// A start that would pass either bound cuts the journal down to these, with its own record
/// the newest, so that the next starts only add theirs at its end.
constexpr std::size_t kJournalCutBytes = kJournalMostBytes * 3 / 4;
constexpr std::size_t kJournalCutRecords = kJournalMostRecords * 3 / 4;
/// A record longer than this (a class path of thousands of entries) is cut, so that one start
/// never pushes every other out; the cut says "16 KiB".
constexpr std::size_t kRecordMostBytes = 16 * 1024;
/// How long a start waits for another that is writing the journal.
constexpr unsigned kJournalLockWaitMs = 2000;

/// The whole records of a journal's text, oldest first. A record begins with a line "start "
/// at the start of a line and ends with its first empty line (no line inside a record is
/// empty: the lines of a value are indented). A record without that end before the next one or
/// the text's end (a start killed while it wrote, a power cut) is no record, nor is what lies
/// between records (a damaged head).
std::vector<std::string> journalRecords(const std::string& text);

/// `journal`'s whole records with `record` (a whole record) appended, less the oldest so that
/// it keeps at most `mostRecords` records and `mostBytes` bytes; the new record always stays.
std::string appendedJournal(const std::string& journal, const std::string& record, std::size_t mostBytes,
                            std::size_t mostRecords);

/// True when `record` may be added at the end of `journal` as it is: the journal is nothing but
/// whole records (no torn end, nothing before or between them) and stays within `mostRecords`
/// records and `mostBytes` bytes with it. Otherwise the journal is cut and replaced.
bool appendsInPlace(const std::string& journal, const std::string& record, std::size_t mostBytes,
                    std::size_t mostRecords);

/// The journal's file for the configuration at `configPath`: "<name>.log" in the user's
/// settings folder of the application; empty when the environment names no settings folder.
std::string startJournalFile(const std::string& configPath);

/// Appends `record` to the journal `file` under the journal's lock: at its end in one write
/// when appendsInPlace allows it, else the journal as appendedJournal cuts it down to
/// kJournalCutBytes and kJournalCutRecords, written aside and moved into place in one step.
/// Makes the folder when missing.
/// Writes nothing through a link, in a folder others may write, or over a file that is not
/// this user's own. Returns why it wrote nothing, or the empty text once it is written.
std::string appendToJournal(const std::string& file, const std::string& record);

/// What --last-start prints for the configuration at `configPath`: the journal's path and its
/// newest record, or why there is none.
std::string lastStartReport(const std::string& configPath);

/// One start's record, collected in memory while the start decides and written once at its
/// end.
class StartJournal {
public:
    /// Begins the record: the time, and the launcher's version and `launcherPath`.
    void begin(const std::string& launcherPath);
    /// The journal's file is the one of `configPath`; nothing is written before it is known.
    void setConfigPath(const std::string& configPath);
    /// The journal's file, empty when there is none (yet).
    const std::string& file() const { return file_; }
    /// Adds the line "label: text"; each further line of `text` follows indented.
    void add(const std::string& label, const std::string& text);
    /// Adds the message the start ends with: its number, its full text and its explanation.
    void addMessage(const JavaLauncherException& e);
    /// No record of this start: SetStartJournal off, or one of the launcher's own actions.
    void turnOff() { off_ = true; }
    /// Ends the record with `exitCode` and the start's duration and appends it to the file;
    /// with `verbose`, one line on stdout when a file is named but cannot be written. Only the
    /// first call writes; true when it wrote the record.
    bool finish(int exitCode, bool verbose);
    /// For a process that ends inside the application (System.exit): finishes the record
    /// with what is known, once, unless it is finished already.
    void finishAtExit();

private:
    /// Appends the record, ended with `exitCode`, unless it is off or has no file; why not.
    std::string written(const std::string& exitCode);

    std::string text_;
    std::string file_;
    std::chrono::steady_clock::time_point started_;
    bool begun_ = false;
    bool off_ = false;
    bool finished_ = false;
};
