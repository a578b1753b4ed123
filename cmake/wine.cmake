# How the tests start Windows programs: under wine. A machine whose kernel runs 64-bit programs
# only (IA-32 emulation off) cannot start Wine's 32-bit loader, which Debian's `wine` always
# picks when wine32 is installed: there every wine call goes through Wine's 64-bit loader
# (scripts/wine64/wine), and the tests that start 32-bit Windows programs are skipped, saying
# why. scripts/test.sh finds out which kind of machine it is and sets LAUNCHER_RUN_32BIT.
option(LAUNCHER_RUN_32BIT "Run the tests that start 32-bit Windows programs (OFF where the machine runs 64-bit programs only)" ON)
set(LAUNCHER_NO_32BIT_REASON "not run: this machine runs 64-bit programs only (Wine's 32-bit loader cannot start)")

if(NOT LAUNCHER_RUN_32BIT)
  # As normal variables, they stand before the toolchain's emulator and the cached result of
  # find_program(WINE_COMMAND wine), which a reconfiguration with the option ON finds again.
  set(WINE_COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine64/wine)
  if(CMAKE_CROSSCOMPILING)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_COMMAND})
  endif()
endif()

# The wine prefixes' name: wineprefix, and wineprefix-display for window tests. A prefix made
# without 32-bit programs lacks wine's 32-bit half, which wine's 32-bit loader needs: the runs
# without them keep prefixes of their own (wineprefix-wine64), so that neither kind of run
# finds a prefix made by the other in a tree.
if(LAUNCHER_RUN_32BIT)
  set(LAUNCHER_WINEPREFIX wineprefix)
else()
  set(LAUNCHER_WINEPREFIX wineprefix-wine64)
endif()

# The Windows build whose programs this tree's own tests start under wine: win32 or win64.
if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(LAUNCHER_THIS_KIND win32)
elseif(WIN32)
  set(LAUNCHER_THIS_KIND win64)
endif()

# add_wine_test(KIND NAME COMMAND...): add_test(NAME NAME COMMAND...) for a test that starts
# programs of the Windows build KIND (win32 or win64; empty for none). A win32 one on a machine that runs 64-bit
# programs only is registered instead as a test that ctest reports as skipped, with the reason
# in its output.
function(add_wine_test kind name)
  if(kind STREQUAL "win32" AND NOT LAUNCHER_RUN_32BIT)
    add_test(NAME ${name} COMMAND sh -c "echo \"$0\"; exit 77" "${LAUNCHER_NO_32BIT_REASON}")
    set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77)
  else()
    add_test(NAME ${name} ${ARGN})
  endif()
endfunction()

# add_gtest_test(KIND NAME COMMAND PROGRAM [ARGUMENT...]): add_wine_test for a googletest
# program (a target, run under the tree's emulator, or a command whose last arguments reach
# one), through tests/retry/gtest_cases.sh: a failed case runs once more by itself, and one that then
# passes is reported as flaky and fails the test unless tests/retry/allowed.txt allows it.
function(add_gtest_test kind name command program)
  if(TARGET ${program})
    set(program ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:${program}>)
  endif()
  add_wine_test("${kind}" ${name} COMMAND bash ${CMAKE_SOURCE_DIR}/tests/retry/gtest_cases.sh ${name} -- ${program} ${ARGN})
endfunction()
