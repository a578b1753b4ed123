// A stand-in for a Java VM library (jvm.dll, libjvm.so) for the process tests. It exports the
// two JNI invocation entry points, offers just the JNI functions the launcher uses, records
// what it receives and fails on demand. Built three times for the tests: in full, without
// JNI_GetDefaultJavaVMInitArgs (FAKEJVM_ONE_EXPORT) and without JNI_CreateJavaVM
// (FAKEJVM_NO_CREATE), importing a DLL that exists nowhere (FAKEJVM_ABSENT_DEPENDENCY, so that
// it cannot load), and importing a copy of that one (FAKEJVM_RUNTIME_PART); the benchmarks build
// it as the null VM (FAKEJVM_NULL, null_vm.cpp), which records nothing and answers every call in
// constant time. Controlled by the environment:
//
//   FAKEJVM_RECORD=<file>  append one line per event (see the record() calls of recording_vm.cpp)
//   FAKEJVM_FAIL=create|findclass|method|array|string|initializer|noclass|superclass
//                          initializer: the main class's static initialiser throws when
//                          FindClass runs it; noclass: FindClass leaves a NoClassDefFoundError
//                          naming the class pending, superclass: one naming test/Base
//   FAKEJVM_MAIN=throw|exit:N|crash   exit:N: the launcher's "exit" hook, if it gave one, is
//                                      called first, as System.exit does; crash: in the update
//                                      child only (its command line holds the argument
//                                      -update), main dies of an access violation (SIGSEGV),
//                                      as a VM that crashes
//   FAKEJVM_EXIT_RUNTIME=NAME  Windows: the VM loads NAME.dll (a C runtime: ucrtbase) at its
//                          creation, and exit:N ends the process through that one's exit(), as a
//                          real VM linked to it does
//   FAKEJVM_MAIN=print:TEXT  main writes "TEXT\n" to the standard output handle and "TEXT!\n"
//                            to the standard error handle, as a Java runtime's System.out
//                            and System.err do (the system's handles, not a C runtime's)
//   FAKEJVM_MAIN=calls:N[:S]  main returns once the single instance's method has been called
//                          N times, or after S seconds (60 when not given)
//   FAKEJVM_MAIN=thread:N[:S]  main returns at once and leaves a non-daemon thread of the
//                          application that ends once the single instance's method has been
//                          called N times, or after S seconds (60 when not given); the VM's
//                          threads show it, and DestroyJavaVM waits for it
//   FAKEJVM_MAIN_FIRST=BEHAVIOUR  main's behaviour, as FAKEJVM_MAIN's, in the first start of
//                          the application (not its installer's) that the record file holds,
//                          which it records as "first main"; FAKEJVM_MAIN's in the later ones
//   FAKEJVM_INSTALL_MS=N   in the update child, main takes N milliseconds and returns (no
//                          FAKEJVM_MAIN behaviour)
//   FAKEJVM_THREADS=1      record at creation how many threads the process has (Linux)
//   FAKEJVM_DIRECTORY=1    record at creation the current directory, the VM's user.dir
//   FAKEJVM_INSTANCE=throw|block   the single instance's method throws, or blocks 30 seconds
//   FAKEJVM_FAIL=instancemethod    the single instance's method is not found
//   FAKEJVM_CONSOLE=1      record at creation whether the process has a console and whether
//                          its executable is a windowless (GUI-subsystem) one (Windows)
//   FAKEJVM_NULL_REPORT    the null VM only: one line on stdout when main is called
//   FAKEJVM_TEXT=1         options are recorded as the text the VM reads (on Windows the code
//                          page's bytes in UTF-8), and each entry of the class path, the
//                          configuration path and a quoted -Denv. value is looked up as the VM
//                          would open it:
//                          "path found" or "path missing: <entry>"; on Windows the code page
//                          the options are read in comes first ("codepage=1252")
//
// Any JNI function the launcher has no business calling writes a line and aborts, so that a
// launcher that strays from the functions it is meant to use fails loudly.
//
// This file holds the exported entry points and the way every mode fails. The VM the tests use
// is recording_vm.cpp, over host.cpp (environment, record file, standard handles, crashing)
// and text.cpp (text conversions); the null VM is null_vm.cpp, built alone with this file, so
// that nothing of the recording mode adds to its cost. Both hand out the JNI tables set up in
// fake_jvm.h.
#define _JNI_IMPLEMENTATION_
#include "fake_jvm.h"

#include <cstdio>
#include <cstdlib>

namespace fakejvm {

void fatal(const char* text) {
    std::fputs(text, stderr);
    std::fflush(stderr);
    std::abort();
}

void JNICALL unexpectedCall() { fatal("fakejvm: unexpected JNI call\n"); }

}  // namespace fakejvm

extern "C" {

#ifdef FAKEJVM_NO_CREATE
// Exported under another name, so that the library lacks the entry point itself.
#define JNI_CreateJavaVM fakejvm_CreateJavaVM_misnamed
#endif
JNIEXPORT jint JNICALL JNI_CreateJavaVM(JavaVM** vm, void** env, void* args) {
#ifdef FAKEJVM_NULL
    return fakejvm::createNullVm(vm, env, *static_cast<const JavaVMInitArgs*>(args));
#else
    return fakejvm::createRecordingVm(vm, env, args);
#endif
}

#ifdef FAKEJVM_ABSENT_DEPENDENCY
__declspec(dllimport) void absentRuntimeFunction();
// What fakejvm_absentindirect imports from a copy of this library.
__declspec(dllexport) int fakejvmRuntimePart() { return 0; }
#endif
#ifdef FAKEJVM_RUNTIME_PART
__declspec(dllimport) int fakejvmRuntimePart();
#endif

#ifndef FAKEJVM_ONE_EXPORT
JNIEXPORT jint JNICALL JNI_GetDefaultJavaVMInitArgs(void*) {
#ifdef FAKEJVM_ABSENT_DEPENDENCY
    // A call the linker must keep, so that the import stays; the library never loads anyway.
    if (!fakejvm::envValue("FAKEJVM_CALL_ABSENT").empty()) absentRuntimeFunction();
#endif
#ifdef FAKEJVM_RUNTIME_PART
    if (!fakejvm::envValue("FAKEJVM_CALL_ABSENT").empty()) return fakejvmRuntimePart();
#endif
    return JNI_OK;
}
#endif

}  // extern "C"
