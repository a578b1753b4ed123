// The user's answer to the prompt, kept in the user's own settings for the configuration file
// it was given for. What is read back is only ever a candidate: it is examined like any other.
#include <string>

#include "base/digest.h"
#include "base/path_names.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/platform.h"
#include "vm/java_search.h"

namespace {

const std::size_t kMaxFileBytes = 64 * 1024;

/// The file in the application's settings folder that keeps the answer for this configuration
/// path, and that folder; empty when the environment names no settings directory.
std::string rememberedFile(const std::string& configPath, std::string* folder = nullptr) {
    std::string directory = userSettingsFolder(configPath);
    if (directory.empty()) return std::string();
    if (folder) *folder = directory;
    return joinPath(directory, "java-home-" + Digest().addBytes(configPath).hex(16) + ".txt");
}

std::string fileText(const std::string& configPath, const std::string& home) {
    return "config=" + configPath + "\nhome=" + home + "\n";
}

}  // namespace

std::optional<std::string> rememberedJavaHome(const std::string& configPath, bool verbose) {
    std::string folder;
    std::string file = rememberedFile(configPath, &folder);
    if (file.empty() || (!platform::exists(file) && !platform::isSymbolicLink(file))) return std::nullopt;
    // The answer decides which VM library is loaded: one that another user could have written
    // or pointed elsewhere is no answer of this user's.
    if (!platform::privateFileStamp(file) || !platform::isPrivateDirectory(folder)) {
        if (verbose)
            printOut("Remembered Java answer not used: " + file +
                     " is not a file of the user's own, in a folder of the user's own, that nobody else may write\n");
        return std::nullopt;
    }
    std::optional<std::string> text = platform::readFileStart(file, kMaxFileBytes);
    // Only a file that names exactly this configuration counts; anything else is some other
    // file, or a damaged one.
    std::string head = "config=" + configPath + "\nhome=";
    if (!text || text->compare(0, head.size(), head) != 0 || text->back() != '\n') return std::nullopt;
    std::string home = text->substr(head.size(), text->size() - head.size() - 1);
    if (home.empty() || home.find('\n') != std::string::npos) return std::nullopt;
    return home;
}

bool rememberJavaHome(const std::string& configPath, const std::string& home) {
    std::string folder;
    std::string file = rememberedFile(configPath, &folder);
    if (file.empty() || !platform::makeDirectories(folder)) return false;
    // Written aside and moved into place, so that no start reads half a file.
    std::string part = file + ".part";
    if (platform::writeSmallFile(part, fileText(configPath, home)) && platform::replaceFile(part, file)) return true;
    platform::removeFile(part);
    return false;
}

bool forgetJavaHome(const std::string& configPath, std::string& report) {
    std::string file = rememberedFile(configPath);
    std::optional<std::string> home = rememberedJavaHome(configPath);
    // A damaged file is removed too: it is this configuration's, and holds no answer.
    if (file.empty() || (!platform::exists(file) && !platform::isSymbolicLink(file))) {
        report = "No Java is remembered for " + configPath + ".\n";
        return true;
    }
    if (!platform::removeFile(file)) {
        report = "Could not remove " + file + ".\n";
        return false;
    }
    report = "Forgot the Java remembered for " + configPath + ": " + home.value_or("(unreadable)") + " (" + file + ")\n";
    return true;
}
