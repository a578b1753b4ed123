#include "launcher/start_journal.h"

#include <algorithm>
#include <ctime>

#include "base/path_names.h"
#include "config/launch_settings.h"
#include "platform/console.h"
#include "platform/files.h"

namespace {

const char kRecordHead[] = "start ";


/// Where each whole record of `text` begins and ends (just after the empty line that ends it).
struct Span {
    std::size_t begin, end;
};

std::vector<Span> recordSpans(const std::string& text) {
    std::vector<std::size_t> starts;
    const std::string head = kRecordHead;
    for (std::size_t at = 0; at < text.size();) {
        if (text[at] == head[0] && text.compare(at, head.size(), head) == 0) starts.push_back(at);
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) break;
        at = end + 1;
    }
    std::vector<Span> spans;
    for (std::size_t i = 0; i < starts.size(); ++i) {
        std::size_t next = i + 1 < starts.size() ? starts[i + 1] : text.size();
        std::size_t end = text.find("\n\n", starts[i]);
        if (end != std::string::npos && end + 2 <= next) spans.push_back({starts[i], end + 2});
    }
    return spans;
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
    std::vector<std::string> records;
    for (const Span& span : recordSpans(text)) records.push_back(text.substr(span.begin, span.end - span.begin));
    return records;
}

std::string appendedJournal(const std::string& journal, const std::string& record, std::size_t mostBytes,
                            std::size_t mostRecords) {
    std::vector<Span> spans = recordSpans(journal);
    // The newest records that fit beside the new one, counted back from the newest.
    std::size_t first = spans.size(), bytes = record.size();
    while (first > 0 && spans.size() - first + 1 < mostRecords &&
           bytes + spans[first - 1].end - spans[first - 1].begin <= mostBytes) {
        --first;
        bytes += spans[first].end - spans[first].begin;
    }
    std::string kept;
    kept.reserve(bytes);
    for (std::size_t i = first; i < spans.size(); ++i) kept.append(journal, spans[i].begin, spans[i].end - spans[i].begin);
    return kept + record;
}

bool appendsInPlace(const std::string& journal, const std::string& record, std::size_t mostBytes,
                    std::size_t mostRecords) {
    if (journal.size() + record.size() > mostBytes) return false;
    std::vector<Span> spans = recordSpans(journal);
    if (spans.size() + 1 > mostRecords) return false;
    // Back to back from the first byte to the last: nothing torn, nothing in between.
    std::size_t at = 0;
    for (const Span& span : spans) {
        if (span.begin != at) return false;
        at = span.end;
    }
    return at == journal.size();
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
    std::optional<std::string> journal;
    {
        platform::AppendingFile opened = platform::openForAppending(file);
        journal = opened ? opened.read(kJournalMostBytes * 2) : std::nullopt;
        if (!journal) return "it cannot be written";
        // The usual start: one write at the end, which a reader sees as a whole record or not
        // at all (a record is whole only with the empty line that ends it).
        if (appendsInPlace(*journal, record, kJournalMostBytes, kJournalMostRecords))
            return opened.append(record) ? std::string() : "it cannot be written";
    }
    // Cut down below the bounds, so that the next starts append again; written aside and
    // moved into place, so that no reader sees half a journal.
    std::string part = file + ".part";
    if (platform::writeSmallFile(part, appendedJournal(*journal, record, kJournalCutBytes, kJournalCutRecords)) &&
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
        // Never an empty line: that would end the record.
        if (text_.back() != '\n') text_ += '\n';
        text_ += "  (cut: the record keeps its first 16 KiB)\n";
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
