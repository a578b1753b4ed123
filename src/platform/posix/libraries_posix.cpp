// Libraries on a POSIX system: what an ELF header says of its architecture, and loading the VM
// library without letting a file cut short kill the process.
#include "platform/libraries.h"

#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "platform/posix/owned_descriptor.h"

namespace platform {

#if defined(__x86_64__)
constexpr unsigned kOwnMachine = 62;
#elif defined(__i386__)
constexpr unsigned kOwnMachine = 3;
#elif defined(__aarch64__)
constexpr unsigned kOwnMachine = 183;
#else
constexpr unsigned kOwnMachine = 0;  // unknown: the class alone decides
#endif

const char* const kOwnArchitecture = sizeof(void*) == 8 ? "64-bit" : "32-bit";

std::optional<LibraryArchitecture> libraryArchitecture(const std::string& path) {
    // Without blocking: opening a FIFO for reading would wait for a writer.
    OwnedDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid()) return std::nullopt;
    unsigned char header[20] = {};
    ssize_t got = ::read(fd.get(), header, sizeof header);
    if (got < 20 || std::memcmp(header, "\x7f" "ELF", 4) != 0 || (header[4] != 1 && header[4] != 2))
        return std::nullopt;
    LibraryArchitecture architecture;
    architecture.name = header[4] == 2 ? "64-bit" : "32-bit";
    unsigned machine = header[5] == 1 ? header[18] | (header[19] << 8) : (header[18] << 8) | header[19];
    bool ownClass = header[4] == (sizeof(void*) == 8 ? 2 : 1);
    architecture.own = ownClass && (kOwnMachine == 0 || machine == kOwnMachine);
    if (ownClass && !architecture.own) architecture.name += " (machine " + std::to_string(machine) + ")";
    return architecture;
}

void keepWorkingDirectoryOutOfLibrarySearch() {
    // dlopen looks in the working directory only where LD_LIBRARY_PATH names it, as its user
    // chose.
}

void addLibraryDirectory(const std::string&) {
    // The VM library finds its own dependencies through its run path.
}

namespace {


bool readWhole(int fd, void* buffer, std::size_t size, off_t offset) {
    return ::pread(fd, buffer, size, offset) == static_cast<ssize_t>(size);
}

/// True when `path` is an ELF file of this launcher's class whose program headers or loadable
/// segments reach past its end, as a copy cut short leaves it. The dynamic loader maps such a
/// file whole and the process dies of SIGBUS when it touches the part that is not there.
bool isTruncatedElf(const std::string& path) {
    OwnedDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat info;
    if (file.get() < 0 || ::fstat(file.get(), &info) != 0) return false;
    ElfW(Ehdr) header;
    const unsigned char ownClass = sizeof(void*) == 8 ? ELFCLASS64 : ELFCLASS32;
    // Anything else is refused by the loader without being mapped.
    if (!readWhole(file.get(), &header, sizeof header, 0) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_ident[EI_CLASS] != ownClass || header.e_phentsize != sizeof(ElfW(Phdr)))
        return false;
    for (unsigned i = 0; i < header.e_phnum; ++i) {
        ElfW(Phdr) segment;
        if (!readWhole(file.get(), &segment, sizeof segment, static_cast<off_t>(header.e_phoff + i * sizeof segment)))
            return true;
        if (segment.p_type == PT_LOAD && segment.p_offset + segment.p_filesz > static_cast<std::uint64_t>(info.st_size))
            return true;
    }
    return false;
}

}  // namespace

LoadedLibrary loadLibrary(const std::string& path) {
    LoadedLibrary library;
    if (isTruncatedElf(path)) return library;
    library.handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL);
    if (!library.handle) {
        std::optional<LibraryArchitecture> architecture = libraryArchitecture(path);
        library.wrongBitness = architecture && !architecture->own;
    }
    return library;
}

void* findSymbol(void* library, const char* name) { return ::dlsym(library, name); }

void alsoAtExitOfLoadedRuntimes(void (*)()) {}

}  // namespace platform
