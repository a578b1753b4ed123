// The launcher's command line: what the pre-scan consumed, and how application arguments
// are made absolute.
#pragma once

#include <string>

/// The empty text that replaces, in the argument vector, an element the pre-scan consumed
/// ("-nomsgbox"). Consumers recognise it by its address, so that an empty argument the user
/// typed still reaches the application in its place.
extern char consumedArgument[1];

inline bool isConsumedArgument(const char* argument) { return argument == consumedArgument; }

/// An argument that names a path relative to the user's start directory, made absolute
/// against it; options and absolute paths unchanged.
std::string sanitizeArgument(const std::string& argument, const std::string& startDirectory);
