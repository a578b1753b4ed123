// The C++ runtime's last resort, kept small. The static runtime's own terminate handler names
// the exception's type through its demangler, which alone is more than a tenth of a release
// executable. main lets nothing escape, so this is reached only where an exception leaves a
// function that may not throw: the process ends as it would by default (abort), with a plain
// line on stderr instead of the type's name. Linked into the executables themselves, where it
// takes the place of the runtime's handler.
#include <cstdio>
#include <cstdlib>
#include <exception>

namespace __gnu_cxx {
void __verbose_terminate_handler() {
    std::fputs("terminate called after an unhandled exception\n", stderr);
    std::abort();
}
}  // namespace __gnu_cxx
