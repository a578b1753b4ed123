// A child run quietly whose standard output is kept (processes_posix.cpp): the desktop's folder
// chooser prints the folder chosen (user_interface_posix.cpp).
#pragma once

#include <string>
#include <vector>

namespace platform {

/// The most of a child's standard output that runQuietlyReading keeps; the rest is read and
/// dropped, so that a child that prints without end neither blocks nor fills the memory.
constexpr std::size_t kMostChildOutput = 64 * 1024;

/// As runQuietly (processes.h), and when `output` is not null, the child's standard output (at
/// most kMostChildOutput bytes of it) is put there instead of going to the null device.
int runQuietlyReading(const std::string& program, const std::vector<std::string>& args, unsigned timeLimit,
                      std::string* output);

}  // namespace platform
