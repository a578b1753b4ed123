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
/// A record longer than this (a class path of thousands of entries) is cut, so that one start
/// never pushes every other out; the cut says "16 KiB".
constexpr std::size_t kRecordMostBytes = 16 * 1024;
/// How long a start waits for another that is writing the journal.
constexpr unsigned kJournalLockWaitMs = 2000;

/// The records of a journal's text, oldest first. A record begins with a line "start " at the
/// start of a line; whatever comes before the first (a damaged head) is no record.
std::vector<std::string> journalRecords(const std::string& text);

/// `journal` with `record` (a whole record, ending in a line feed) appended, less its oldest
/// whole records so that it keeps at most `mostRecords` records and `mostBytes` bytes; the new
/// record always stays.
std::string appendedJournal(const std::string& journal, const std::string& record, std::size_t mostBytes,
                            std::size_t mostRecords);

/// The journal's file for the configuration at `configPath`: "<name>.log" in the user's
/// settings folder of the application; empty when the environment names no settings folder.
std::string startJournalFile(const std::string& configPath);

/// Appends `record` to the journal `file` as appendedJournal bounds it: under the journal's
/// lock, written aside and moved into place in one step. Makes the folder when missing.
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
