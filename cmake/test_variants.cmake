# Which process test cases each variant of a build runs, chosen by the names of their suites,
# so that a new case falls into the variants its suite's name says. Every case runs in full
# against the console launcher of each build (process_linux, process_win64, process_win32);
# the variants run what their difference can change:
# - the launches on the real JDK: suites named *RealJdk*;
# - the heavy cases (100 MiB of configuration, a 10 MiB line, 10,000 arguments): suites named
#   *Heavy*, run once per system, by the console launcher's entry (process_linux,
#   process_win64, process_win32), where the file reader, the code page's conversion and the
#   Windows command line meet them; never in a variant or under a memory checker;
# - the windowless executable: console attach, message boxes and redirected streams (suites
#   named Desktop*, *Console*, *MessageBox*), and the texts and codes that go out through
#   them: the usage (*Help*), a failing VM's message and the main's ending;
# - a stamped copy: the title (*Title*, *Help*), its resources (the prompt's dialog,
#   JavaPrompt; the manifest's code page, Text);
# - the memory checkers: every launch with the test-double VM that is not heavy, once, in
#   googletest's shards of one list: shard LAUNCHER_VALGRIND_SHARD under valgrind on the linux
#   tree's release build, the others under the sanitizers of the linux-asan tree with the leak
#   check. The package checks files, not memory.
set(LAUNCHER_REAL_JDK_TESTS "*RealJdk*")
set(LAUNCHER_HEAVY_TESTS "*Heavy*")
set(LAUNCHER_WINDOWLESS_TESTS "*Desktop*:*Console*:*MessageBox*:*Help*:*FailingVm*:*MainEnding*")
set(LAUNCHER_STAMPED_TESTS "*Title*:*Help*:*JavaPrompt*:*Text.*")
set(LAUNCHER_CHECKED_TESTS "-${LAUNCHER_REAL_JDK_TESTS}:${LAUNCHER_HEAVY_TESTS}:Package.*")
set(LAUNCHER_CHECKER_SHARDS 4)
set(LAUNCHER_VALGRIND_SHARD 0)
