// A deliberate leak, linked into a program only when the tree is configured with
// LAUNCHER_PLANT_LEAK=ON: the leak checks of the test command must report it. Never in a
// build that ships.
#include <cstring>

namespace {

// Written through a volatile pointer, so that the compiler keeps the allocation; then
// forgotten, so that nothing points to it at the end: a definite leak.
char* volatile planted = nullptr;

struct PlantedLeak {
    PlantedLeak() {
        planted = new char[64];
        std::memset(planted, 'x', 64);
        planted = nullptr;
    }
} plantedLeak;

}  // namespace
