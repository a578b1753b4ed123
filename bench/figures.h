// The benchmark's figures, one file each by what they measure: the launch of a Java
// application against the floor and the JDK's java (java_figures.cpp), the launcher's own
// work and its scaling on a VM that costs nothing (own_figures.cpp), and the start-up cache
// on real applications (cache_figures.cpp). Each prints its lines and records its bounds.
#pragma once

#include <string>

#include "rounds.h"

namespace bench {

/// What the build hands over: the programs measured and the directory the benchmark lays
/// its installations out in.
struct Paths {
    std::string launcher;
    std::string floor;       ///< the least a program does to run a Java class in its own process
    std::string bare;        ///< an empty program linked like the launcher
    std::string nullJvm;     ///< the tests' VM library built as the null VM
    std::string helloClass;  ///< Hello.class, compiled at build time
    std::string jdk;         ///< the build's JDK
    std::string work;
};

struct Settings {
    bool quick = false;
    bool layoutOnly = false;
    int rounds = 0;        ///< 0: the mode's default
    std::string section;   ///< "java", "own", "cache" or empty for all
    std::string launcher;  ///< another build of the launcher to measure
};

/// Figure 1: Java hello-world, time to main and back, against the floor and java -cp.
void javaFigures(const Paths& paths, int rounds, Verdicts& verdicts);

/// Figures 2 and 3: the launcher's own work on the null VM against a bare process start, and
/// its scaling with configuration lines, jars and arguments. With settings.layoutOnly, lays
/// out the installations (bench/profile.sh runs the largest) and measures nothing.
void ownFigures(const Paths& paths, const Settings& settings, int rounds, Verdicts& verdicts);

/// Figure 4: the start-up cache on each application installed, on every runtime present.
void cacheFigures(const Paths& paths, const Settings& settings, Verdicts& verdicts);

}  // namespace bench
