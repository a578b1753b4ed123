#include "stamp.h"

#include "icon_file.h"
#include "pe_image.h"
#include "resource_tree.h"

namespace stamp {
namespace {

std::string versionText(const VersionNumber& v) {
    return std::to_string(v[0]) + "." + std::to_string(v[1]) + "." + std::to_string(v[2]) + "." + std::to_string(v[3]);
}

VersionNumber versionArgument(const std::string& option, const std::string& text) {
    std::optional<VersionNumber> version = parseVersionNumber(text);
    if (!version) throw UsageError(option + " takes a version A.B.C.D of numbers from 0 to 65535, not \"" + text + "\"");
    return *version;
}

// The strings to set, in order: the version texts of the fixed numbers first, so that a
// --set-version-string of the same name wins.
std::vector<std::pair<std::u16string, std::u16string>> stringsToSet(const StampOptions& options) {
    std::vector<std::pair<std::string, std::string>> all;
    if (options.fileVersion) all.emplace_back("FileVersion", versionText(*options.fileVersion));
    if (options.productVersion) all.emplace_back("ProductVersion", versionText(*options.productVersion));
    all.insert(all.end(), options.strings.begin(), options.strings.end());
    std::vector<std::pair<std::u16string, std::u16string>> converted;
    for (const auto& [name, value] : all) converted.emplace_back(*utf16FromUtf8(name), *utf16FromUtf8(value));
    return converted;
}

// Applies the versions and strings to every RT_VERSION resource, making one when there is none.
void stampVersion(ResourceEntry& root, const StampOptions& options, const std::string& inputName) {
    if (!options.fileVersion && !options.productVersion && options.strings.empty()) return;
    ResourceEntry& versions = root.childOrNew(kRtVersion);
    if (versions.children.empty()) {
        ResourceEntry& leaf = versions.childOrNew(1).childOrNew(0);
        leaf.isDirectory = false;
        leaf.data = writeVersionInfo(newVersionInfo());
    }
    auto strings = stringsToSet(options);
    for (ResourceEntry& name : versions.children) {
        std::vector<ResourceEntry*> leaves{&name};
        if (name.isDirectory) {
            leaves.clear();
            for (ResourceEntry& language : name.children) leaves.push_back(&language);
        }
        for (ResourceEntry* leaf : leaves) {
            if (leaf->isDirectory) throw StampError(inputName + " is a damaged PE executable: its version resource is malformed");
            VersionBlock info;
            try {
                info = parseVersionInfo(leaf->data);
            } catch (const StampError& e) {
                throw StampError(inputName + " is a damaged PE executable: " + e.what());
            }
            if (options.fileVersion) setFixedVersion(info, false, *options.fileVersion);
            if (options.productVersion) setFixedVersion(info, true, *options.productVersion);
            for (const auto& [key, value] : strings) setVersionString(info, key, value);
            leaf->data = writeVersionInfo(info);
        }
    }
}

}  // namespace

std::string usageText() {
    return "usage: launcher-stamp INPUT OUTPUT [--set-icon FILE.ico] [--set-file-version A.B.C.D]\n"
           "                      [--set-product-version A.B.C.D] [--set-version-string NAME VALUE]...\n";
}

std::optional<VersionNumber> parseVersionNumber(const std::string& text) {
    VersionNumber version{0, 0, 0, 0};
    std::size_t part = 0, digits = 0;
    std::uint32_t value = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '.') {
            if (digits == 0 || part == 4) return std::nullopt;
            version[part++] = static_cast<std::uint16_t>(value);
            value = 0;
            digits = 0;
        } else if (text[i] >= '0' && text[i] <= '9') {
            value = value * 10 + static_cast<std::uint32_t>(text[i] - '0');
            if (++digits > 5 || value > 0xFFFF) return std::nullopt;
        } else {
            return std::nullopt;
        }
    }
    return version;
}

std::optional<std::u16string> utf16FromUtf8(const std::string& text) {
    std::u16string out;
    for (std::size_t i = 0; i < text.size();) {
        unsigned char lead = static_cast<unsigned char>(text[i]);
        std::size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead < 0xE0 ? 2 : lead >= 0xE0 && lead < 0xF0 ? 3
                                              : lead >= 0xF0 && lead < 0xF5 ? 4 : 0;
        if (length == 0 || text.size() - i < length) return std::nullopt;
        std::uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            unsigned char next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return std::nullopt;
            code = code << 6 | (next & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        static const std::uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < kLeast[length] || (code >= 0xD800 && code < 0xE000) || code > 0x10FFFF) return std::nullopt;
        if (code >= 0x10000) {
            out.push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(code));
        }
        i += length;
    }
    return out;
}

StampOptions parseArguments(const std::vector<std::string>& args) {
    StampOptions options;
    std::vector<std::string> files;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::size_t index) -> const std::string& {
            if (index >= args.size()) throw UsageError(arg + " needs " + (arg == "--set-version-string" ? "a name and a value" : "a value"));
            return args[index];
        };
        if (arg == "--set-icon") {
            options.icon = value(++i);
        } else if (arg == "--set-file-version") {
            options.fileVersion = versionArgument(arg, value(++i));
        } else if (arg == "--set-product-version") {
            options.productVersion = versionArgument(arg, value(++i));
        } else if (arg == "--set-version-string") {
            const std::string& name = value(i + 1);
            const std::string& text = value(i + 2);
            if (name.empty()) throw UsageError("--set-version-string needs a name that is not empty");
            if (!utf16FromUtf8(name) || !utf16FromUtf8(text))
                throw UsageError("--set-version-string takes UTF-8 text");
            options.strings.emplace_back(name, text);
            i += 2;
        } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
            throw UsageError("unknown option " + arg);
        } else {
            files.push_back(arg);
        }
    }
    if (files.size() != 2) throw UsageError(files.size() < 2 ? "INPUT and OUTPUT are needed" : "unexpected argument " + files[2]);
    options.input = files[0];
    options.output = files[1];
    return options;
}

std::string stampImage(const std::string& image, const std::string& inputName, const std::optional<std::string>& icon,
                       const StampOptions& options) {
    std::optional<std::vector<IconImage>> images;
    if (icon) {
        try {
            images = parseIcoFile(*icon);
        } catch (const StampError& e) {
            throw StampError(*options.icon + " is not an icon file: " + e.what());
        }
    }
    try {
        PeImage pe(image);
        if (pe.isSigned()) throw StampError(inputName + " is signed: stamp it before signing it");
        std::vector<std::pair<std::size_t, std::size_t>> used;
        ResourceEntry root = readResources(pe, &used);
        if (images) replaceIcon(root, *images);
        stampVersion(root, options, inputName);
        try {
            std::uint32_t rva = pe.resourceSectionRva();
            return pe.withResourceSection(writeResources(root, rva), used);
        } catch (const PeError&) {
            throw;
        } catch (const StampError& e) {
            throw StampError("cannot stamp " + inputName + ": " + e.what());
        }
    } catch (const PeError& e) {
        throw StampError(inputName + (e.notPe ? " is not a PE executable: " : " is a damaged PE executable: ") + e.what());
    }
}

}  // namespace stamp
