#include "config/line_reader.h"

#include <cstring>
#include <memory>
#include <string>

#include "config/config_file_parser.h"
#include "platform/platform.h"

long readLine(std::vector<char>& buffer, std::FILE* file, bool keepLineFeed) {
    int c = platform::readByte(file);
    if (c == EOF) return -1;
    std::size_t count = 0;
    for (;;) {
        if (count + 1 >= buffer.size()) buffer.resize(buffer.empty() ? 512 : buffer.size() * 2);
        buffer[count++] = static_cast<char>(c);
        if (c == '\n') {
            if (!keepLineFeed) --count;
            break;
        }
        c = platform::readByte(file);
        if (c == EOF) break;
    }
    buffer[count] = '\0';
    return static_cast<long>(count);
}

bool ConfigFileParser::readConfigFile(const std::string& path, LineHandler handler) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(platform::openFile(path, "r"), &std::fclose);
    if (!file) return false;
    std::vector<char> buffer;
    int lineNumber = 1;
    for (long length; (length = readLine(buffer, file.get(), false)) != -1; ++lineNumber) {
        if (length > 0) (this->*handler)(std::string(buffer.data(), std::strlen(buffer.data())), lineNumber);
    }
    // A name that opens but cannot be read (a directory, on POSIX) counts as unreadable.
    return !std::ferror(file.get());
}
