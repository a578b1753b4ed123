#include <string>
#include <string_view>

#include "config/launch_settings.h"
#include "base/text_ops.h"
#include "platform/console.h"

namespace {

struct DirectiveKey {
    std::string_view key;  // compared by length first
    int id;
};

// Keys are lower case: a name is lowered before it is looked up.
const DirectiveKey kDirectiveTable[] = {
    {"addjavalibfile", kAddJavaLibFile},         {"addjavalibpath", kAddJavaLibPath},
    {"addvmoption", kAddVMOption},               {"addnativecodepath", kAddNativeCodePath},
    {"setjavahome", kSetJavaHome},               {"setjavavm", kSetJavaVM},
    {"setmainclass", kSetMainClass},             {"setuserhomevariable", kSetUserHomeVariable},
    {"registerenvvar", kRegisterEnvVar},         {"setupdatemainclass", kSetUpdateMainClass},
    {"setupdateclasspath", kSetUpdateClassPath}, {"setstartupcache", kSetStartupCache},
    {"setjavaversion", kSetJavaVersion},         {"setjavasearch", kSetJavaSearch},
    {"addjavasearchpath", kAddJavaSearchPath},
    {"setproducttitle", kSetProductTitle},       {"setusersettings", kSetUserSettings},
    {"setmaxheap", kSetMaxHeap},                 {"setjavadownloadurl", kSetJavaDownloadUrl},
    {"setsingleinstance", kSetSingleInstance},
    {"setsplashscreen", kSetSplashScreen},
};

/// Position of the first blank or tab, or npos. A plain loop: find_first_of calls memchr once
/// for each character of the line.
std::size_t firstBlankOrTab(const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] == ' ' || text[i] == '\t') return i;
    return std::string::npos;
}

}  // namespace

int findDirective(const std::string& key) {
    for (const DirectiveKey& entry : kDirectiveTable)
        if (std::string_view(key) == entry.key) return entry.id;
    return -1;
}

std::vector<std::string> directiveKeys() {
    std::vector<std::string> keys;
    for (const DirectiveKey& entry : kDirectiveTable) keys.emplace_back(entry.key);
    return keys;
}

void LaunchSettings::parseConfigLine(const std::string& rawLine, LineNumber lineNumber) {
    std::string line = rawLine;
    trim(line);
    if (line.empty() || line[0] == '#') return;
    std::size_t gap = firstBlankOrTab(line);
    if (gap == std::string::npos) {
        printOut("[line #" + std::to_string(lineNumber) + "][" + line + "] is invalid!\n");
        return;
    }
    std::string name = line.substr(0, gap);
    std::string value = line.substr(gap);
    trim(name);
    trim(value);
    applyDirective(name, value);
}

bool LaunchSettings::applyDirective(std::string& name, std::string& value) {
    toLower(name);
    int id = findDirective(name);
    if (id == -1) {
        printErr("WARNING: Unknown directive: " + name + "\n");
        return false;
    }
    return processdirective(id, value);
}
