#include "launcher/start_journal.h"

#include <algorithm>
#include <ctime>

#include "base/path_names.h"
#include "config/launch_settings.h"
#include "platform/console.h"
#include "platform/files.h"

namespace {

const char kRecordHead[] = "start ";


/// Where each record of `text` begins: at its start or after a line feed, a line "start ".
std::vector<std::size_t> recordStarts(const std::string& text) {
    std::vector<std::size_t> starts;
    const std::string head = kRecordHead;
    for (std::size_t at = 0; at < text.size();) {
        if (text.compare(at, head.size(), head) == 0) starts.push_back(at);
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) break;
        at = end + 1;
    }
    return starts;
}

std::string utcTime(std::time_t now) {
    char buffer[32] = "";
    if (const std::tm* utc = std::gmtime(&now)) std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S UTC", utc);
    return buffer;
}

/// Appends `text` to `record` as the rest of a line: every line after the first indented, no
/// line feed at its end, so that no line of it can look like the head of a record.
void appendIndented(std::string& record, const std::string& text) {
    std::size_t end = text.find_last_not_of("\r\n");
    end = end == std::string::npos ? 0 : end + 1;
    for (std::size_t at = 0; at < end;) {
        std::size_t line = std::min(text.find('\n', at), end - 1) + 1;
        record.append(text, at, line - at);
        if (line < end) record.append("  ");
        at = line;
    }
}

/// Why nothing may be written in the journal's `folder` at `file`, or empty when it may.
std::string refusal(const std::string& folder, const std::string& file) {
    // The usual case first, in as few looks as the checks allow: a warm start's cost.
    if (platform::isSymbolicLink(folder)) return "its folder " + folder + " is a link";
    if (!platform::isPrivateDirectory(folder)) {
        if (!platform::makeDirectories(folder)) return "its folder " + folder + " cannot be made";
        if (!platform::isPrivateDirectory(folder))
            return "its folder " + folder + " is not the user's own, or others may write in it";
    }
    if (!platform::privateFileStamp(file) && (platform::exists(file) || platform::isSymbolicLink(file)))
        return "it is not a regular file of the user's own that only the user may write";
    return std::string();
}

}  // namespace

std::vector<std::string> journalRecords(const std::string& text) {
    std::vector<std::size_t> starts = recordStarts(text);
    std::vector<std::string> records;
    for (std::size_t i = 0; i < starts.size(); ++i) {
        std::size_t end = i + 1 < starts.size() ? starts[i + 1] : text.size();
        records.push_back(text.substr(starts[i], end - starts[i]));
    }
    return records;
}

std::string appendedJournal(const std::string& journal, const std::string& record, std::size_t mostBytes,
                            std::size_t mostRecords) {
    std::vector<std::size_t> starts = recordStarts(journal);
    // A damaged end (a record cut short, a line without its line feed) ends the text before.
    std::string kept = journal;
    if (!kept.empty() && kept.back() != '\n') kept += '\n';
    std::size_t cut = starts.empty() ? kept.size() : starts.front();
    std::size_t count = starts.size();
    for (std::size_t i = 0; i < starts.size(); ++i) {
        if (count < mostRecords && kept.size() - cut + record.size() <= mostBytes) break;
        cut = i + 1 < starts.size() ? starts[i + 1] : kept.size();
        --count;
    }
    return kept.substr(cut) + record;
}

std::string startJournalFile(const std::string& configPath) {
    std::string folder = userSettingsFolder(configPath);
    if (folder.empty()) return std::string();
    return joinPath(folder, withoutConfigSuffix(fileNameOf(configPath)) + ".log");
}

std::string appendToJournal(const std::string& file, const std::string& record) {
    std::string folder = directoryOf(file);
    while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
    std::string why = refusal(folder, file);
    if (!why.empty()) return why;
    platform::FileLock lock = platform::lockFile(file + ".lock", kJournalLockWaitMs);
    if (!lock) return "its lock " + file + ".lock cannot be taken";
    std::string journal = platform::readFileStart(file, kJournalMostBytes * 2).value_or(std::string());
    // Written aside and moved into place, so that no reader sees half a journal.
    std::string part = file + ".part";
    if (platform::writeSmallFile(part, appendedJournal(journal, record, kJournalMostBytes, kJournalMostRecords)) &&
        platform::replaceFile(part, file))
        return std::string();
    platform::removeFile(part);
    return "it cannot be written";
}

std::string lastStartReport(const std::string& configPath) {
    std::string file = startJournalFile(configPath);
    if (file.empty()) return "No start journal: the environment names no folder for the user's settings.\n";
    std::optional<std::string> text;
    if (platform::privateFileStamp(file)) text = platform::readFileStart(file, kJournalMostBytes * 2);
    std::vector<std::string> records = journalRecords(text.value_or(std::string()));
    if (records.empty()) return "No start is recorded in " + file + ".\n";
    return "The last start recorded in " + file + ":\n" + records.back();
}

void StartJournal::begin(const std::string& launcherPath) {
    started_ = std::chrono::steady_clock::now();
    begun_ = true;
    off_ = finished_ = false;
    file_.clear();
    text_ = kRecordHead + utcTime(std::time(nullptr)) + "\n";
    add("launcher", std::string(LAUNCHER_VERSION) + " " + launcherPath);
}

void StartJournal::setConfigPath(const std::string& configPath) {
    file_ = startJournalFile(configPath);
    add("configuration", configPath);
}

void StartJournal::add(const std::string& label, const std::string& text) {
    if (!begun_ || finished_ || text_.size() > kRecordMostBytes) return;
    text_ += label;
    text_ += ": ";
    appendIndented(text_, text);
    text_ += '\n';
    if (text_.size() > kRecordMostBytes) {
        text_.resize(kRecordMostBytes);
        text_ += "\n  (cut: the record keeps its first 16 KiB)\n";
    }
}

void StartJournal::addMessage(const JavaLauncherException& e) {
    add("message " + std::to_string(e.messageIndex), formatMessage(e));
    if (!e.explanation.empty()) add("explanation", e.explanation);
}

bool StartJournal::finish(int exitCode, bool verbose) {
    if (!begun_ || finished_) return false;
    bool recorded = !off_ && !file_.empty();
    std::string why = written(std::to_string(exitCode));
    if (verbose && !why.empty()) printOut("Start journal not written to " + file_ + ": " + why + "\n");
    return recorded && why.empty();
}

void StartJournal::finishAtExit() {
    if (!begun_ || finished_) return;
    add("ended", "inside the application (System.exit, or the VM's own end)");
    written("not known here");
}

std::string StartJournal::written(const std::string& exitCode) {
    finished_ = true;
    if (off_ || file_.empty()) return std::string();
    // In tenths of a millisecond, without the C runtime's floating-point formatting, which
    // would add tens of KiB to a static Windows executable.
    auto tenths = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started_)
                      .count() / 100;
    std::string duration = std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
    // The exit line comes after any cut: it says how the start ended.
    return appendToJournal(file_, text_ + "exit: " + exitCode + " after " + duration + " ms\n\n");
}
