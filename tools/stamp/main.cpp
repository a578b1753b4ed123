// launcher-stamp: writes a copy of a launcher executable with another icon and version
// information. Exit codes: 0 written, 1 refused (nothing written), 2 wrong command line.
#include <cstdio>
#include <exception>
#include <new>

#include "file_io.h"
#include "stamp.h"

namespace stamp {

int runStamp(const std::vector<std::string>& args) {
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::fputs(usageText().c_str(), stdout);
        return 0;
    }
    try {
        StampOptions options = parseArguments(args);
        if (sameFile(options.input, options.output))
            throw StampError("OUTPUT " + options.output + " is the same file as INPUT " + options.input +
                             ": write the stamped copy to another file");
        std::string image = readWholeFile(options.input);
        std::optional<std::string> icon;
        if (options.icon) icon = readWholeFile(*options.icon);
        writeWholeFile(options.output, stampImage(image, options.input, icon, options), options.input);
        return 0;
    } catch (const UsageError& e) {
        printErrorLine(std::string("launcher-stamp: ") + e.what());
        std::fputs(usageText().c_str(), stderr);
        return 2;
    } catch (const StampError& e) {
        printErrorLine(std::string("launcher-stamp: ") + e.what());
    } catch (const std::bad_alloc&) {
        printErrorLine("launcher-stamp: out of memory");
    } catch (const std::exception& e) {
        printErrorLine(std::string("launcher-stamp: ") + e.what());
    }
    return 1;
}

}  // namespace stamp
