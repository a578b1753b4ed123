// A stand-in for a Java VM library (jvm.dll, libjvm.so) for the process tests. It exports the
// two JNI invocation entry points, offers just the JNI functions the launcher uses, records
// what it receives and fails on demand. Built three times for the tests: in full, without
// JNI_GetDefaultJavaVMInitArgs (FAKEJVM_ONE_EXPORT) and without JNI_CreateJavaVM
// (FAKEJVM_NO_CREATE), importing a DLL that exists nowhere (FAKEJVM_ABSENT_DEPENDENCY, so that
// it cannot load), and importing a copy of that one (FAKEJVM_RUNTIME_PART); the benchmarks build
// it as the null VM (FAKEJVM_NULL, below), which records nothing and answers every call in
// constant time. Controlled by the environment:
//
//   FAKEJVM_RECORD=<file>  append one line per event (see record() calls below)
//   FAKEJVM_FAIL=create|findclass|method|array|string|initializer   initializer: the main
//                          class's static initialiser throws when FindClass runs it
//   FAKEJVM_MAIN=throw|exit:N|crash   crash: in the update child only (its command line holds
//                                      the argument -update), main dies of an access
//                                      violation (SIGSEGV), as a VM that crashes
//   FAKEJVM_MAIN=print:TEXT  main writes "TEXT\n" to the standard output handle and "TEXT!\n"
//                            to the standard error handle, as a Java runtime's System.out
//                            and System.err do (the system's handles, not a C runtime's)
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
#define _JNI_IMPLEMENTATION_
#include <jni.h>

#include <cstdarg>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <deque>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#else
#include <unistd.h>

#include <fstream>
#include <iterator>
#endif

namespace {

// ---- Environment and recording ---------------------------------------------------------

#ifdef _WIN32
// Into UTF-8, which holds every character: no code page, so WC_NO_BEST_FIT_CHARS has no part here.
std::string utf8Of(const wchar_t* wide, int length) {
    int size = WideCharToMultiByte(CP_UTF8, 0, wide, length, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) WideCharToMultiByte(CP_UTF8, 0, wide, length, &text[0], size, nullptr, nullptr);
    return text;
}

std::wstring wideOf(const std::string& text, UINT codePage) {
    int size = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0) MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &wide[0], size);
    return wide;
}
#endif

// Variables and the record file are reached through the wide API on Windows, so that a record
// file in a folder the code page cannot name is written.
std::string envValue(const char* name) {
#ifdef _WIN32
    std::wstring wideName = wideOf(name, CP_UTF8);
    DWORD size = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
    if (size == 0) return "";
    std::wstring value(size, L'\0');
    DWORD length = GetEnvironmentVariableW(wideName.c_str(), &value[0], size);
    return length < size ? utf8Of(value.data(), static_cast<int>(length)) : "";
#else
    const char* value = std::getenv(name);
    return value ? value : "";
#endif
}

bool failureRequested(const char* what) { return envValue("FAKEJVM_FAIL") == what; }

void record(const std::string& line) {
    std::string path = envValue("FAKEJVM_RECORD");
    if (path.empty()) return;
    // Opened per event, so that nothing is lost when the process ends abruptly.
#ifdef _WIN32
    FILE* out = _wfopen(wideOf(path, CP_UTF8).c_str(), L"ab");
#else
    FILE* out = std::fopen(path.c_str(), "ab");
#endif
    if (out) {
        std::fwrite(line.data(), 1, line.size(), out);
        std::fputc('\n', out);
        std::fclose(out);
    }
}

// ---- Options as the VM reads them ------------------------------------------------------

/// An option's bytes as text: on Windows the VM reads them in the ANSI code page.
std::string optionText(const char* bytes) {
#ifdef _WIN32
    std::wstring wide = wideOf(bytes, CP_ACP);
    return utf8Of(wide.data(), static_cast<int>(wide.size()));
#else
    return bytes;
#endif
}

/// Records whether each ';'- (POSIX: ':'-) separated entry of a path option names a file, as
/// the VM opens it: through the ANSI API on Windows.
void recordPaths(const std::string& bytes) {
#ifdef _WIN32
    const char separator = ';';
#else
    const char separator = ':';
#endif
    for (std::size_t start = 0; start <= bytes.size();) {
        std::size_t end = bytes.find(separator, start);
        if (end == std::string::npos) end = bytes.size();
        std::string entry = bytes.substr(start, end - start);
#ifdef _WIN32
        bool found = GetFileAttributesA(entry.c_str()) != INVALID_FILE_ATTRIBUTES;
#else
        FILE* file = std::fopen(entry.c_str(), "rb");
        bool found = file != nullptr;
        if (file) std::fclose(file);
#endif
        record(found ? "path found" : "path missing: " + optionText(entry.c_str()));
        start = end + 1;
    }
}

void recordOption(const char* text) {
    if (envValue("FAKEJVM_TEXT") != "1") {
        record(std::string("option=") + text);
        return;
    }
    record("option=" + optionText(text));
    for (const char* prefix : {"-Djava.class.path=", "-Dide.config_pathname="}) {
        std::size_t length = std::strlen(prefix);
        if (std::strncmp(text, prefix, length) == 0) recordPaths(text + length);
    }
    // A variable's value, in quotation marks, that names a directory (RegisterEnvVar).
    const char* value = std::strchr(text, '=');
    std::size_t length = value ? std::strlen(value) : 0;
    if (std::strncmp(text, "-Denv.", 6) == 0 && length >= 3 && value[1] == '"' && value[length - 1] == '"')
        recordPaths(std::string(value + 2, length - 3));
}

[[noreturn]] void fatal(const char* text) {
    std::fputs(text, stderr);
    std::fflush(stderr);
    std::abort();
}

// ---- Crashing ----------------------------------------------------------------------------

/// True when the process's command line holds the argument -update.
bool inUpdateChild() {
#ifdef _WIN32
    int count = 0;
    bool found = false;
    if (LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 1; i < count && !found; ++i) found = std::wcscmp(args[i], L"-update") == 0;
        LocalFree(args);
    }
    return found;
#else
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return all.find(std::string("\0-update\0", 9)) != std::string::npos;
#endif
}

#ifdef _WIN32
LONG WINAPI endWithTheException(EXCEPTION_POINTERS*) { return EXCEPTION_EXECUTE_HANDLER; }
#endif

[[noreturn]] void crash() {
    std::fflush(nullptr);
#ifdef _WIN32
    // As Windows ends a process whose exception nobody handles, without a crash dialog or
    // wine's debugger: the exit code is the exception's.
    SetUnhandledExceptionFilter(&endWithTheException);
    // An address the compiler cannot see is null, so that the store is made.
    volatile std::uintptr_t address = 0;
    *reinterpret_cast<volatile int*>(address) = 1;
#else
    // The system's own action, not a sanitizer's; raised rather than provoked, so that a
    // memory checker the child runs under sees no invalid access of its own to report.
    std::signal(SIGSEGV, SIG_DFL);
    std::raise(SIGSEGV);
#endif
    std::abort();
}

// ---- Text conversion -------------------------------------------------------------------

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

/// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string utf16ToUtf8(const jchar* text, jsize length) {
    std::string out;
    for (jsize i = 0; i < length; ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        appendUtf8(out, c);
    }
    return out;
}

/// Decodes JNI's modified UTF-8 (one to three bytes per UTF-16 unit) the way a Java string
/// would hold it, and gives that string back as standard UTF-8. A byte that does not belong
/// to a valid sequence becomes U+FFFD, so text handed over in another encoding shows.
std::string modifiedUtf8ToUtf8(const char* text) {
    std::u16string units;
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    while (*p) {
        if (*p < 0x80) {
            units += static_cast<char16_t>(*p++);
        } else if ((*p & 0xE0) == 0xC0 && (p[1] & 0xC0) == 0x80) {
            units += static_cast<char16_t>(((p[0] & 0x1F) << 6) | (p[1] & 0x3F));
            p += 2;
        } else if ((*p & 0xF0) == 0xE0 && (p[1] & 0xC0) == 0x80 && (p[2] & 0xC0) == 0x80) {
            units += static_cast<char16_t>(((p[0] & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F));
            p += 3;
        } else {
            units += u'\xFFFD';
            ++p;
        }
    }
    return utf16ToUtf8(reinterpret_cast<const jchar*>(units.data()), static_cast<jsize>(units.size()));
}

// ---- The VM's objects ------------------------------------------------------------------

struct FakeClass {
    std::string name;
};
struct FakeString {
    std::string utf8;
};
struct FakeArray {
    std::vector<jobject> elements;
};

FakeClass mainClass;
FakeClass stringClass{"java/lang/String"};
FakeClass errorClass;  // the class of a lookup's error: NoClassDefFoundError, NoSuchMethodError
int mainMethodTag;
int throwableTag;
std::deque<FakeString> strings;  // deque: handed-out pointers stay valid
std::deque<FakeArray> arrays;

bool created = false;
bool destroyed = false;
bool arrayCreated = false;  // strings made after the first array are arguments
bool exceptionPending = false;
/// What ExceptionDescribe prints for the pending exception.
std::string pendingDescription = "Exception in thread \"main\" fake.Failure: thrown by main\n";

void checkAlive() {
    if (destroyed) fatal("fakejvm: JNI call after DestroyJavaVM\n");
}

jobject handleOf(void* object) { return reinterpret_cast<jobject>(object); }

// ---- JNIEnv functions ------------------------------------------------------------------

jint JNICALL getVersion(JNIEnv*) {
    checkAlive();
    return JNI_VERSION_1_2;
}

jclass JNICALL findClass(JNIEnv*, const char* name) {
    checkAlive();
    record(std::string("findclass=") + (name ? name : ""));
    std::string text = name ? name : "";
    if (text == stringClass.name) return reinterpret_cast<jclass>(&stringClass);
    if (text == "java/lang/NoClassDefFoundError" || text == "java/lang/NoSuchMethodError") {
        errorClass.name = text;
        return reinterpret_cast<jclass>(&errorClass);
    }
    // As a real VM: no class has an empty name, and names are '/'-separated.
    if (text.empty() || text.find('.') != std::string::npos) return nullptr;
    if (failureRequested("findclass")) return nullptr;
    if (failureRequested("initializer")) {
        exceptionPending = true;
        pendingDescription = "Exception in thread \"main\" java.lang.ExceptionInInitializerError\n"
                             "Caused by: fake.Failure: thrown by the static initialiser\n";
        return nullptr;
    }
    mainClass.name = text;
    return reinterpret_cast<jclass>(&mainClass);
}

jmethodID JNICALL getStaticMethodID(JNIEnv*, jclass cls, const char* name, const char* signature) {
    checkAlive();
    record(std::string("method=") + (name ? name : "") + " " + (signature ? signature : ""));
    if (cls != reinterpret_cast<jclass>(&mainClass)) fatal("fakejvm: GetStaticMethodID on a class it did not find\n");
    if (failureRequested("method")) return nullptr;
    return reinterpret_cast<jmethodID>(&mainMethodTag);
}

jstring makeString(std::string utf8) {
    if (arrayCreated && failureRequested("string")) return nullptr;
    strings.push_back(FakeString{std::move(utf8)});
    return reinterpret_cast<jstring>(&strings.back());
}

jstring JNICALL newStringUTF(JNIEnv*, const char* utf) {
    checkAlive();
    if (!utf) fatal("fakejvm: NewStringUTF of a null pointer\n");
    return makeString(modifiedUtf8ToUtf8(utf));
}

jstring JNICALL newString(JNIEnv*, const jchar* unicode, jsize length) {
    checkAlive();
    if (length < 0 || (length > 0 && !unicode)) fatal("fakejvm: NewString with a bad buffer\n");
    return makeString(utf16ToUtf8(unicode, length));
}

jobjectArray JNICALL newObjectArray(JNIEnv*, jsize length, jclass cls, jobject initial) {
    checkAlive();
    if (cls != reinterpret_cast<jclass>(&stringClass)) fatal("fakejvm: NewObjectArray of another class than String\n");
    if (length < 0) fatal("fakejvm: NewObjectArray of a negative length\n");
    arrayCreated = true;
    if (failureRequested("array")) return nullptr;
    arrays.push_back(FakeArray{std::vector<jobject>(static_cast<std::size_t>(length), initial)});
    return reinterpret_cast<jobjectArray>(&arrays.back());
}

FakeArray* arrayOf(jobjectArray array) {
    for (auto& candidate : arrays)
        if (reinterpret_cast<jobjectArray>(&candidate) == array) return &candidate;
    fatal("fakejvm: not an array the VM made\n");
}

void JNICALL setObjectArrayElement(JNIEnv*, jobjectArray array, jsize index, jobject value) {
    checkAlive();
    FakeArray* target = arrayOf(array);
    if (index < 0 || static_cast<std::size_t>(index) >= target->elements.size())
        fatal("fakejvm: SetObjectArrayElement out of bounds\n");
    target->elements[static_cast<std::size_t>(index)] = value;
}

std::string textOf(jobject object) {
    for (auto& s : strings)
        if (handleOf(&s) == object) return s.utf8;
    fatal("fakejvm: array element is not a string the VM made\n");
}

void writeStandard(int stream, const std::string& text) {
#ifdef _WIN32
    DWORD written = 0;
    WriteFile(GetStdHandle(stream == 1 ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE), text.data(),
              static_cast<DWORD>(text.size()), &written, nullptr);
#else
    ssize_t written = ::write(stream, text.data(), text.size());
    (void)written;
#endif
}

void runMain(jclass cls, jmethodID method, jobjectArray array) {
    checkAlive();
    if (cls != reinterpret_cast<jclass>(&mainClass) || method != reinterpret_cast<jmethodID>(&mainMethodTag))
        fatal("fakejvm: CallStaticVoidMethod on another class or method than main\n");
    for (jobject element : arrayOf(array)->elements) record("arg=" + textOf(element));
    record("main");
    std::string behaviour = envValue("FAKEJVM_MAIN");
    if (behaviour == "throw") {
        exceptionPending = true;
    } else if (behaviour == "crash") {
        if (inUpdateChild()) crash();
    } else if (behaviour.rfind("exit:", 0) == 0) {
        std::fflush(nullptr);
        std::exit(std::atoi(behaviour.c_str() + 5));
    } else if (behaviour.rfind("print:", 0) == 0) {
        writeStandard(1, behaviour.substr(6) + "\n");
        writeStandard(2, behaviour.substr(6) + "!\n");
    }
}

void JNICALL callStaticVoidMethod(JNIEnv*, jclass cls, jmethodID method, ...) {
    va_list args;
    va_start(args, method);
    jobjectArray array = va_arg(args, jobjectArray);
    va_end(args);
    runMain(cls, method, array);
}

void JNICALL callStaticVoidMethodV(JNIEnv*, jclass cls, jmethodID method, va_list args) {
    runMain(cls, method, va_arg(args, jobjectArray));
}

void JNICALL callStaticVoidMethodA(JNIEnv*, jclass cls, jmethodID method, const jvalue* args) {
    if (!args) fatal("fakejvm: CallStaticVoidMethodA without arguments\n");
    runMain(cls, method, reinterpret_cast<jobjectArray>(args[0].l));
}

jthrowable JNICALL exceptionOccurred(JNIEnv*) {
    checkAlive();
    return exceptionPending ? reinterpret_cast<jthrowable>(&throwableTag) : nullptr;
}

jboolean JNICALL exceptionCheck(JNIEnv*) {
    checkAlive();
    return exceptionPending ? JNI_TRUE : JNI_FALSE;
}

void JNICALL exceptionDescribe(JNIEnv*) {
    checkAlive();
    if (!exceptionPending) return;
    std::fputs(pendingDescription.c_str(), stderr);
    std::fflush(stderr);
    exceptionPending = false;
}

void JNICALL exceptionClear(JNIEnv*) {
    checkAlive();
    exceptionPending = false;
}

jboolean JNICALL isInstanceOf(JNIEnv*, jobject object, jclass cls) {
    checkAlive();
    if (exceptionPending) fatal("fakejvm: IsInstanceOf with an exception pending\n");
    // The only throwable the VM makes is no lookup's error.
    return object == reinterpret_cast<jobject>(&throwableTag) && cls != reinterpret_cast<jclass>(&errorClass)
               ? JNI_TRUE
               : JNI_FALSE;
}

jint JNICALL throwObject(JNIEnv*, jthrowable thrown) {
    checkAlive();
    if (thrown != reinterpret_cast<jthrowable>(&throwableTag)) fatal("fakejvm: Throw of an object it did not make\n");
    exceptionPending = true;
    return JNI_OK;
}

void JNICALL deleteLocalRef(JNIEnv*, jobject) { checkAlive(); }

// ---- JavaVM functions ------------------------------------------------------------------

jint JNICALL destroyJavaVM(JavaVM*) {
    checkAlive();
    record("destroy");
    destroyed = true;
    return JNI_OK;
}

jint JNICALL detachCurrentThread(JavaVM*) {
    checkAlive();
    return JNI_OK;
}

// ---- Tables ----------------------------------------------------------------------------

void JNICALL unexpectedCall() { fatal("fakejvm: unexpected JNI call\n"); }

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

JNINativeInterface_ envTable;
JNIInvokeInterface_ vmTable;
JNIEnv envObject;
JavaVM vmObject;

void buildTables() {
    fillWithUnexpected(envTable);
    envTable.reserved0 = envTable.reserved1 = envTable.reserved2 = envTable.reserved3 = nullptr;
    envTable.GetVersion = &getVersion;
    envTable.FindClass = &findClass;
    envTable.GetStaticMethodID = &getStaticMethodID;
    envTable.NewStringUTF = &newStringUTF;
    envTable.NewString = &newString;
    envTable.NewObjectArray = &newObjectArray;
    envTable.SetObjectArrayElement = &setObjectArrayElement;
    envTable.CallStaticVoidMethod = &callStaticVoidMethod;
    envTable.CallStaticVoidMethodV = &callStaticVoidMethodV;
    envTable.CallStaticVoidMethodA = &callStaticVoidMethodA;
    envTable.ExceptionOccurred = &exceptionOccurred;
    envTable.ExceptionCheck = &exceptionCheck;
    envTable.ExceptionDescribe = &exceptionDescribe;
    envTable.ExceptionClear = &exceptionClear;
    envTable.DeleteLocalRef = &deleteLocalRef;
    envTable.IsInstanceOf = &isInstanceOf;
    envTable.Throw = &throwObject;
    envObject.functions = &envTable;

    fillWithUnexpected(vmTable);
    vmTable.reserved0 = vmTable.reserved1 = vmTable.reserved2 = nullptr;
    vmTable.DestroyJavaVM = &destroyJavaVM;
    vmTable.DetachCurrentThread = &detachCurrentThread;
    vmObject.functions = &vmTable;
}

// ---- The null VM (FAKEJVM_NULL) --------------------------------------------------------
//
// JNI_CreateJavaVM succeeds at once and every JNI function the launcher calls returns in
// constant time, so that a launch through it costs the launcher's own work alone: no record,
// no search through the strings and arrays made. With FAKEJVM_NULL_REPORT set it prints one
// line on stdout when main is called, saying what it received, so that the benchmark can
// check that each timed launch did the work it was meant to.

#ifdef FAKEJVM_NULL
constexpr bool kNullVm = true;
#else
constexpr bool kNullVm = false;
#endif

namespace null_vm {

struct Counts {
    long options = 0;
    long classPathEntries = 0;
    long arrayLength = -1;
    long elementsSet = 0;
    char mainClass[256] = "";
};

Counts counts;
bool report = false;
int classTag, stringClassTag, methodTag, stringTag, arrayTag;
#ifdef _WIN32
const char kListSeparator = ';';
#else
const char kListSeparator = ':';
#endif

jclass JNICALL findClass(JNIEnv*, const char* name) {
    if (std::strcmp(name, "java/lang/String") == 0) return reinterpret_cast<jclass>(&stringClassTag);
    std::snprintf(counts.mainClass, sizeof counts.mainClass, "%s", name);
    return reinterpret_cast<jclass>(&classTag);
}

jmethodID JNICALL getStaticMethodID(JNIEnv*, jclass, const char*, const char*) {
    return reinterpret_cast<jmethodID>(&methodTag);
}

jstring JNICALL newStringUTF(JNIEnv*, const char*) { return reinterpret_cast<jstring>(&stringTag); }
jstring JNICALL newString(JNIEnv*, const jchar*, jsize) { return reinterpret_cast<jstring>(&stringTag); }

jobjectArray JNICALL newObjectArray(JNIEnv*, jsize length, jclass, jobject) {
    counts.arrayLength = length;
    return reinterpret_cast<jobjectArray>(&arrayTag);
}

void JNICALL setObjectArrayElement(JNIEnv*, jobjectArray, jsize, jobject) { ++counts.elementsSet; }

void mainCalled() {
    if (!report) return;
    std::printf("nulljvm options=%ld classpath=%ld main=%s args=%ld set=%ld\n", counts.options,
                counts.classPathEntries, counts.mainClass, counts.arrayLength, counts.elementsSet);
    std::fflush(stdout);
}

void JNICALL callStaticVoidMethod(JNIEnv*, jclass, jmethodID, ...) { mainCalled(); }
void JNICALL callStaticVoidMethodV(JNIEnv*, jclass, jmethodID, va_list) { mainCalled(); }
void JNICALL callStaticVoidMethodA(JNIEnv*, jclass, jmethodID, const jvalue*) { mainCalled(); }
jthrowable JNICALL exceptionOccurred(JNIEnv*) { return nullptr; }
jboolean JNICALL exceptionCheck(JNIEnv*) { return JNI_FALSE; }
void JNICALL exceptionDescribe(JNIEnv*) {}
void JNICALL exceptionClear(JNIEnv*) {}
void JNICALL deleteLocalRef(JNIEnv*, jobject) {}
jint JNICALL getVersion(JNIEnv*) { return JNI_VERSION_1_2; }
jint JNICALL destroyJavaVM(JavaVM*) { return JNI_OK; }
jint JNICALL detachCurrentThread(JavaVM*) { return JNI_OK; }

void buildTables() {
    fillWithUnexpected(envTable);
    envTable.reserved0 = envTable.reserved1 = envTable.reserved2 = envTable.reserved3 = nullptr;
    envTable.GetVersion = &getVersion;
    envTable.FindClass = &findClass;
    envTable.GetStaticMethodID = &getStaticMethodID;
    envTable.NewStringUTF = &newStringUTF;
    envTable.NewString = &newString;
    envTable.NewObjectArray = &newObjectArray;
    envTable.SetObjectArrayElement = &setObjectArrayElement;
    envTable.CallStaticVoidMethod = &callStaticVoidMethod;
    envTable.CallStaticVoidMethodV = &callStaticVoidMethodV;
    envTable.CallStaticVoidMethodA = &callStaticVoidMethodA;
    envTable.ExceptionOccurred = &exceptionOccurred;
    envTable.ExceptionCheck = &exceptionCheck;
    envTable.ExceptionDescribe = &exceptionDescribe;
    envTable.ExceptionClear = &exceptionClear;
    envTable.DeleteLocalRef = &deleteLocalRef;
    envObject.functions = &envTable;
    fillWithUnexpected(vmTable);
    vmTable.reserved0 = vmTable.reserved1 = vmTable.reserved2 = nullptr;
    vmTable.DestroyJavaVM = &destroyJavaVM;
    vmTable.DetachCurrentThread = &detachCurrentThread;
    vmObject.functions = &vmTable;
}

/// Counts the non-empty entries of the class-path option; the listing of a directory may
/// leave a separator at the end.
void countClassPath(const JavaVMInitArgs& initArgs) {
    const char* prefix = "-Djava.class.path=";
    for (jint i = 0; i < initArgs.nOptions; ++i) {
        const char* text = initArgs.options[i].optionString;
        if (std::strncmp(text, prefix, std::strlen(prefix)) != 0) continue;
        bool inEntry = false;
        for (const char* c = text + std::strlen(prefix); *c; ++c) {
            if (*c == kListSeparator) {
                inEntry = false;
            } else if (!inEntry) {
                inEntry = true;
                ++counts.classPathEntries;
            }
        }
    }
}

jint create(JavaVM** vm, void** env, const JavaVMInitArgs& initArgs) {
    report = std::getenv("FAKEJVM_NULL_REPORT") != nullptr;
    counts.options = initArgs.nOptions;
    if (report) countClassPath(initArgs);
    buildTables();
    *vm = &vmObject;
    *env = &envObject;
    return JNI_OK;
}

}  // namespace null_vm

std::string hex8(jint value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", static_cast<unsigned>(value));
    return text;
}

}  // namespace

extern "C" {

#ifdef FAKEJVM_NO_CREATE
// Exported under another name, so that the library lacks the entry point itself.
#define JNI_CreateJavaVM fakejvm_CreateJavaVM_misnamed
#endif
JNIEXPORT jint JNICALL JNI_CreateJavaVM(JavaVM** vm, void** env, void* args) {
    if (kNullVm) return null_vm::create(vm, env, *static_cast<const JavaVMInitArgs*>(args));
    if (created) fatal("fakejvm: JNI_CreateJavaVM called twice\n");
    if (!vm || !env || !args) fatal("fakejvm: JNI_CreateJavaVM with a null pointer\n");
    const auto* initArgs = static_cast<const JavaVMInitArgs*>(args);
#ifdef _WIN32
    // A process without a console has no console code page.
    if (!envValue("FAKEJVM_CONSOLE").empty()) {
        const auto* image = reinterpret_cast<const unsigned char*>(GetModuleHandleW(nullptr));
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
            image + reinterpret_cast<const IMAGE_DOS_HEADER*>(image)->e_lfanew);
        bool windowless = nt->OptionalHeader.Subsystem == IMAGE_SUBSYSTEM_WINDOWS_GUI;
        record(std::string(GetConsoleCP() != 0 ? "console=yes" : "console=no") +
               (windowless ? " windowless" : " console-program"));
    }
#endif
    record("version=" + hex8(initArgs->version));
    record("ignoreUnrecognized=" + std::to_string(static_cast<int>(initArgs->ignoreUnrecognized)));
#ifdef _WIN32
    if (envValue("FAKEJVM_TEXT") == "1") record("codepage=" + std::to_string(GetACP()));
#endif
    if (initArgs->nOptions < 0 || (initArgs->nOptions > 0 && !initArgs->options))
        fatal("fakejvm: JNI_CreateJavaVM with a bad option array\n");
    for (jint i = 0; i < initArgs->nOptions; ++i) {
        const char* text = initArgs->options[i].optionString;
        if (!text) fatal("fakejvm: JNI_CreateJavaVM with a null option\n");
        recordOption(text);
    }
    if (failureRequested("create")) return JNI_ERR;
    created = true;
    buildTables();
    *vm = &vmObject;
    *env = &envObject;
    return JNI_OK;
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
    if (!envValue("FAKEJVM_CALL_ABSENT").empty()) absentRuntimeFunction();
#endif
#ifdef FAKEJVM_RUNTIME_PART
    if (!envValue("FAKEJVM_CALL_ABSENT").empty()) return fakejvmRuntimePart();
#endif
    return JNI_OK;
}
#endif

}  // extern "C"
