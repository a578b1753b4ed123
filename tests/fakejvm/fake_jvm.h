// What the parts of the test-double VM library share: the process it runs in (environment,
// record file, standard streams, crashing), text conversion, and the one set-up of the JNI
// function tables that both modes of the VM hand out. Nothing here is exported: only the JNI
// entry points of fake_jvm.cpp are.
#pragma once

#include <jni.h>

#include <cstddef>
#include <cstring>
#include <string>

namespace fakejvm {

/// Writes the text on stderr and aborts: a launcher that strays fails loudly (fake_jvm.cpp).
[[noreturn]] void fatal(const char* text);

// ---- The process (host.cpp) ----------------------------------------------------------------

/// The variable's value; empty when it is not set. Through the wide API on Windows.
std::string envValue(const char* name);
/// True when FAKEJVM_FAIL names `what`.
bool failureRequested(const char* what);
/// Appends the line to the file FAKEJVM_RECORD names, if any; opened per event, so that
/// nothing is lost when the process ends abruptly.
void record(const std::string& line);
/// What the file FAKEJVM_RECORD names holds so far; empty when none.
std::string recordText();
/// With FAKEJVM_CONSOLE set, on Windows: whether the process has a console, and whether its
/// executable is a windowless one. Nothing elsewhere.
void recordConsole();
/// With FAKEJVM_THREADS=1, on Linux: the number of threads of the process. Nothing elsewhere.
void recordThreads();
/// With FAKEJVM_DIRECTORY=1: the current directory the VM is created in (its user.dir).
void recordDirectory();
/// With FAKEJVM_TEXT=1, on Windows: the code page the VM reads its options in. Nothing elsewhere.
void recordCodePage();
/// Records a JNI option: its bytes, or with FAKEJVM_TEXT=1 the text the VM reads and whether
/// each entry of its paths names a file.
void recordOption(const char* text);
/// True when the process's command line holds the argument -update.
bool inUpdateChild();
/// Ends the process as an access violation does, without a crash dialog or a debugger.
[[noreturn]] void crash();
/// With FAKEJVM_EXIT_RUNTIME=NAME, on Windows: loads NAME.dll, the C runtime the VM's own exit
/// goes through, as a real VM library linked to it has it loaded. Nothing elsewhere.
void loadExitRuntime();
/// Ends the process with `code` as System.exit does: through the exit() of the C runtime
/// FAKEJVM_EXIT_RUNTIME names, else the library's own.
[[noreturn]] void exitThroughRuntime(int code);
/// Writes to the system's standard output (stream 1) or error (2) handle, not a C runtime's.
void writeStandard(int stream, const std::string& text);

// ---- Text (text.cpp) -----------------------------------------------------------------------

/// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string utf16ToUtf8(const jchar* text, jsize length);
/// Decodes JNI's modified UTF-8 the way a Java string would hold it and gives it back as
/// standard UTF-8; a byte outside a valid sequence becomes U+FFFD.
std::string modifiedUtf8ToUtf8(const char* text);

// ---- The modes of the VM -------------------------------------------------------------------

/// The VM the tests use (recording_vm.cpp): records what it receives and fails on demand.
jint createRecordingVm(JavaVM** vm, void** env, void* args);
/// The benchmark's null VM (null_vm.cpp): answers every call in constant time.
jint createNullVm(JavaVM** vm, void** env, const JavaVMInitArgs& initArgs);

// ---- The JNI function tables ---------------------------------------------------------------

/// What every slot of a table holds until a mode names its function: a line and an abort
/// (fake_jvm.cpp).
void JNICALL unexpectedCall();

/// Points every slot of a function table at unexpectedCall. The tables consist of pointers
/// only, so they are filled as arrays of them.
template <typename Table>
void fillWithUnexpected(Table& table) {
    using Slot = void (JNICALL*)();
    static_assert(sizeof(Table) % sizeof(Slot) == 0, "a JNI table holds pointers only");
    Slot slots[sizeof(Table) / sizeof(Slot)];
    for (auto& slot : slots) slot = &unexpectedCall;
    std::memcpy(&table, slots, sizeof(Table));
}

/// Hands out the VM and its environment for one mode: Vm is a class whose static member
/// functions are the JNI functions the launcher is meant to call; every other slot of the
/// tables aborts, and the reserved slots are null.
template <typename Vm>
void handOutTables(JavaVM** vm, void** env) {
    static JNINativeInterface_ envTable;
    static JNIInvokeInterface_ vmTable;
    static JNIEnv envObject;
    static JavaVM vmObject;
    fillWithUnexpected(envTable);
    envTable.reserved0 = envTable.reserved1 = envTable.reserved2 = envTable.reserved3 = nullptr;
    envTable.GetVersion = &Vm::getVersion;
    envTable.FindClass = &Vm::findClass;
    envTable.GetStaticMethodID = &Vm::getStaticMethodID;
    envTable.NewStringUTF = &Vm::newStringUTF;
    envTable.NewString = &Vm::newString;
    envTable.NewObjectArray = &Vm::newObjectArray;
    envTable.SetObjectArrayElement = &Vm::setObjectArrayElement;
    envTable.CallStaticVoidMethod = &Vm::callStaticVoidMethod;
    envTable.CallStaticVoidMethodV = &Vm::callStaticVoidMethodV;
    envTable.CallStaticVoidMethodA = &Vm::callStaticVoidMethodA;
    envTable.CallStaticObjectMethodV = &Vm::callStaticObjectMethodV;
    envTable.GetStringUTFChars = &Vm::getStringUTFChars;
    envTable.ReleaseStringUTFChars = &Vm::releaseStringUTFChars;
    envTable.ExceptionOccurred = &Vm::exceptionOccurred;
    envTable.ExceptionCheck = &Vm::exceptionCheck;
    envTable.ExceptionDescribe = &Vm::exceptionDescribe;
    envTable.ExceptionClear = &Vm::exceptionClear;
    envTable.DeleteLocalRef = &Vm::deleteLocalRef;
    envTable.IsInstanceOf = &Vm::isInstanceOf;
    envTable.Throw = &Vm::throwObject;
    envTable.GetObjectClass = &Vm::getObjectClass;
    envTable.GetMethodID = &Vm::getMethodID;
    envTable.CallObjectMethodV = &Vm::callObjectMethodV;
    envTable.GetArrayLength = &Vm::getArrayLength;
    envTable.GetObjectArrayElement = &Vm::getObjectArrayElement;
    envTable.IsSameObject = &Vm::isSameObject;
    envTable.CallIntMethodV = &Vm::callIntMethodV;
    envTable.CallBooleanMethodV = &Vm::callBooleanMethodV;
    envObject.functions = &envTable;
    fillWithUnexpected(vmTable);
    vmTable.reserved0 = vmTable.reserved1 = vmTable.reserved2 = nullptr;
    vmTable.DestroyJavaVM = &Vm::destroyJavaVM;
    vmTable.AttachCurrentThread = &Vm::attachCurrentThread;
    vmTable.DetachCurrentThread = &Vm::detachCurrentThread;
    vmObject.functions = &vmTable;
    *vm = &vmObject;
    *env = &envObject;
}

}  // namespace fakejvm
