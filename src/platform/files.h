// Files and directories: names, listing, reading without blocking, writing small files safely,
// stamps and locks.
#pragma once

#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/path_names.h"

namespace platform {

/// The current working directory, whole however long; nullopt when it cannot be read.
std::optional<std::string> currentDirectory();

/// Makes `directory` the current working directory; false when the system refuses.
bool changeDirectory(const std::string& directory);

/// The directory part, with its trailing separator, of the full path of `name` (a relative
/// name is resolved against the current directory). nullopt when the system gives no path or
/// no file-name part.
std::optional<std::string> fullPathDirectory(const std::string& name);

/// `path` made absolute against the current directory (the launcher's), for a reader who does
/// not know where the launcher lies; as it is when the system cannot say.
inline std::string absolutePath(const std::string& path) {
    std::optional<std::string> directory = fullPathDirectory(path);
    return directory ? *directory + fileNameOf(path) : path;
}

/// True when a file or a directory of that name is present.
bool exists(const std::string& path);

/// The names (no directory part) of the entries of `directory` that match `pattern`, a
/// wildcard of the form "*.ext" matched ignoring letter case. Windows keeps the system's
/// order; POSIX sorts by name. An unreadable or missing directory gives an empty list.
std::vector<std::string> findFiles(const std::string& directory, const std::string& pattern);

/// The names of the subdirectories of `directory` (links to directories included), sorted;
/// empty when it cannot be read.
std::vector<std::string> listDirectories(const std::string& directory);

/// True when `path` names a regular file (after following symbolic links): not a directory,
/// a FIFO, a socket or a device, which a reader could wait on for ever.
bool isRegularFile(const std::string& path);

/// True when `path` itself is a symbolic link (Windows: always false; its links are not
/// treated specially).
bool isSymbolicLink(const std::string& path);

/// The absolute path of the file `path` names, every symbolic link resolved (POSIX); Windows
/// gives `path` unchanged. nullopt when the file cannot be reached.
std::optional<std::string> resolvedPath(const std::string& path);

/// Opens a file by its exact name (Windows: through the wide API, so that any name Windows can
/// hold is found) with a C runtime `mode` ("r", "rb"...); null when it cannot be opened. For
/// reading, opening never waits (POSIX: a FIFO without a writer reads as empty).
std::FILE* openFile(const std::string& path, const char* mode);

/// Makes `directory` and every missing parent; true when it exists as a directory afterwards.
bool makeDirectories(const std::string& directory);

/// Renames `from` to `to`, replacing `to` in one step; false when the system refuses.
bool replaceFile(const std::string& from, const std::string& to);

/// Removes a file, a link (never what it names) or an empty directory; false when it is not
/// there or cannot be removed.
bool removeFile(const std::string& path);

/// Removes what is at `path` as removeFile does, and a directory with everything in it: a link
/// (Windows: a reparse point) met inside goes itself, never what it names. False when
/// something stays, such as a tree deeper than 64 levels.
bool removeTree(const std::string& path);

/// Size, last modification and identity of a file. All but `size` are in the system's own
/// units and only compared for equality.
struct FileStamp {
    unsigned long long size = 0;
    long long modified = 0;
    /// When the file itself last changed in any way, which no user can set back (POSIX: the
    /// status change time; Windows: the change time, or the creation time where it has none).
    long long changed = 0;
    unsigned long long node = 0;  ///< POSIX: the inode; Windows: the file's index and its volume's serial
};

/// The stamp of a regular file (links followed); nullopt when it is missing or not a regular file.
std::optional<FileStamp> fileStamp(const std::string& path);

/// The stamp of `path` when it is itself a regular file (not a link), this user's own and
/// writable by nobody else (as isPrivateDirectory says it); nullopt otherwise. Windows: a
/// regular file that is no reparse point.
std::optional<FileStamp> privateFileStamp(const std::string& path);

/// True when `directory` is a directory of this user's that nobody else may write in (POSIX:
/// owned by the effective user, no write permission for others, nor for the group unless it is
/// the user's private group: the user's primary group, named as the user, with no other
/// member; Windows: inside the user's own profile, %LOCALAPPDATA% or %USERPROFILE%, whose ACL
/// grants only the user).
bool isPrivateDirectory(const std::string& directory);

/// Creates or truncates `path`, never through a link, and writes `content` to it; false
/// when it cannot be written whole.
bool writeSmallFile(const std::string& path, const std::string& content);

/// A name under which the VM of this process can create `path` at its exit, even when the
/// directory is removed meanwhile: `path` is opened now (created when missing, never through a
/// link, only a regular file) and held open (Linux: "/proc/self/fd/<n>"). `path` itself where
/// the system has no such names; nullopt when it cannot be opened.
std::optional<std::string> lastingFileName(const std::string& path);

/// The bytes this user may still write on the file system of `directory`; nullopt when the
/// system cannot say.
std::optional<unsigned long long> freeSpace(const std::string& directory);

/// What readRegularFile found at a name.
enum class FileOutcome {
    Read,        ///< a regular file, read whole
    TooLarge,    ///< a regular file larger than the bound: `bytes` holds its first bytes
    Missing,     ///< nothing of that name
    NotRegular,  ///< a directory, FIFO or socket, not read; `reason` says which
    Device,      ///< a device, not read: it may never end (/dev/zero, CON)
    Unreadable,  ///< there, but it cannot be opened or read; `reason` says why
};

/// A file's bytes, or why there are none.
struct FileContent {
    FileOutcome outcome = FileOutcome::Missing;
    std::string bytes;
    std::string reason;  ///< for NotRegular and Unreadable: "it is a FIFO", "it cannot be read"
};

/// Reads `path` when it is a regular file, at most `maxBytes` of it. Opened without blocking
/// and without following into a terminal, and the type checked on the opened handle, so that
/// a FIFO, a device or a socket at the name is never read nor waited on, whatever replaced the
/// file between a check and the open.
FileContent readRegularFile(const std::string& path, std::size_t maxBytes);

/// At most `maxBytes` from the start of a regular file (as readRegularFile reads it); nullopt
/// when it is missing, no regular file, or cannot be read.
inline std::optional<std::string> readFileStart(const std::string& path, std::size_t maxBytes) {
    FileContent file = readRegularFile(path, maxBytes);
    if (file.outcome != FileOutcome::Read && file.outcome != FileOutcome::TooLarge) return std::nullopt;
    return std::move(file.bytes);
}

/// A file the system holds open for this process, closed when the object goes; empty when
/// none was opened.
class OpenFile {
public:
    OpenFile() = default;
    ~OpenFile();
    OpenFile(OpenFile&& other) noexcept : handle_(other.handle_) { other.handle_ = kNoHandle; }
    OpenFile& operator=(OpenFile&&) = delete;
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    explicit operator bool() const { return handle_ != kNoHandle; }

protected:
    static constexpr long long kNoHandle = -1;
    /// POSIX: the descriptor; Windows: the handle's value.
    long long handle_ = kNoHandle;
};

/// An exclusive lock on a file, held while the object lives (and never by a child process);
/// empty when none was taken.
class FileLock : public OpenFile {
    friend FileLock lockFile(const std::string& path, unsigned waitMilliseconds);
};

/// A regular file of this user's, open to be read from its start and added to at its end.
/// Empty when it could not be opened.
class AppendingFile : public OpenFile {
public:
    /// At most `maxBytes` from the file's start; nullopt when it cannot be read.
    std::optional<std::string> read(std::size_t maxBytes);
    /// Writes `text` after the file's last byte in one write; false when it is not written
    /// whole, and then the file is cut back to the length it had, where the system lets it.
    bool append(const std::string& text);

private:
    friend AppendingFile openForAppending(const std::string& path);
};

/// Opens `path` to read it and add to it (created when missing, readable and writable by the
/// user alone), never through a link, and only a regular file of this user's that nobody else
/// may write, checked on the opened file as privateFileStamp checks a name. Windows: a regular
/// file that is no reparse point; readers may open it meanwhile.
AppendingFile openForAppending(const std::string& path);

/// Takes an exclusive lock on `path` (created when missing, never through a link, and only a
/// regular file of this user's that nobody else may write), waiting at most `waitMilliseconds`
/// while another process holds it. Empty when it cannot be taken in that time or made.
FileLock lockFile(const std::string& path, unsigned waitMilliseconds);

/// Takes an exclusive lock on `path` (created when missing) that this process holds until it
/// ends, whatever way it ends; false when another process holds it or it cannot be made, or
/// when `path` is a link or not a regular file.
bool holdLockUntilExit(const std::string& path);

}  // namespace platform
