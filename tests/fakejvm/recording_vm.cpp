// The VM the process tests use: it records what it receives (FAKEJVM_RECORD), checks that the
// launcher calls each JNI function as it should, and fails or behaves on demand
// (FAKEJVM_FAIL, FAKEJVM_MAIN). See fake_jvm.cpp for the variables.
#include <chrono>
#include <condition_variable>
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "fake_jvm.h"

namespace fakejvm {

namespace {

struct FakeClass {
    std::string name;
};
struct FakeString {
    std::string utf8;
};
struct FakeArray {
    std::vector<jobject> elements;
};
/// An exception: what its toString() says, the class of a lookup's error it is ("" for none),
/// what it carries as its cause, and its frames.
struct FakeThrowable {
    std::string text;
    std::string errorClass;
    const FakeThrowable* cause = nullptr;
    std::vector<std::string> frames;
};

FakeClass mainClass;
FakeClass stringClass{"java/lang/String"};
FakeClass errorClass;  // the class of a lookup's error: NoClassDefFoundError, NoSuchMethodError
FakeClass systemClass{"java/lang/System"};
int mainMethodTag;
int getPropertyTag;  // System.getProperty, which knows java.vm.info only
/// java.vm.info: "sharing" when the VM was given a class archive to map, as a runtime says.
std::string vmInfo = "mixed mode";
int instanceMethodTag;  // the static (String, String[]) method a single instance calls
FakeClass throwableClass{"java/lang/Throwable"};
// Methods of the objects the launcher reads an exception through.
int toStringTag;
int getCauseTag;
int getStackTraceTag;
/// What a static initialiser threw, which the initialiser's error carries (FAKEJVM_FAIL=initializer).
const FakeThrowable kInitialiserFailure{"fake.Failure: thrown by the static initialiser", "", nullptr,
                                        {"test.Main.<clinit>(Main.java:3)", "test.Helper.run(Helper.java:7)",
                                         "test.Helper.<init>(Helper.java:2)", "test.Main.<clinit>(Main.java:1)"}};
const char* const kInstanceSignature = "(Ljava/lang/String;[Ljava/lang/String;)V";
std::deque<FakeString> strings;  // deque: handed-out pointers stay valid
std::deque<FakeArray> arrays;

/// The VM's threads as java.lang.Thread shows them, all in one group: main, a daemon of the
/// VM's own, each attached thread and, while it lives, the application's (FAKEJVM_MAIN=thread).
struct FakeThread {
    bool daemon;
};
FakeClass threadClass{"java/lang/Thread"};
FakeClass threadGroupClass{"java/lang/ThreadGroup"};
FakeThread mainThread{false};
FakeThread vmThread{true};
FakeThread attachedThread{false};
FakeThread applicationThread{false};
int threadGroupTag;
// The methods of Thread and ThreadGroup the launcher asks which threads run with.
int currentThreadTag;
int getThreadGroupTag;
int isDaemonTag;
int getParentTag;
int activeCountTag;
int enumerateTag;

/// The "exit" hook the launcher gave, which System.exit calls before the process ends.
void (JNICALL* exitHook)(jint) = nullptr;
bool created = false;
bool destroyed = false;
bool arrayCreated = false;  // strings made after the first array are arguments
// Each thread has its own pending exception, as in a VM.
thread_local bool exceptionPending = false;
/// What ExceptionDescribe prints for the pending exception.
thread_local std::string pendingDescription = "Exception in thread \"main\" fake.Failure: thrown by main\n";
/// The pending exception as its methods give it; its handle is the address.
thread_local FakeThrowable pending{"fake.Failure: thrown by main", "", nullptr, {}};

// The threads attached besides the main one, and the calls of the instance method done: the
// VM's objects are shared, so every JNI function holds vmMutex.
std::recursive_mutex vmMutex;
std::condition_variable_any threadsChanged;
int attachedThreads = 0;
int instanceCalls = 0;
using Guard = std::lock_guard<std::recursive_mutex>;
/// The application's thread lives until the instance method has been called this often, or
/// until the time; FAKEJVM_MAIN=thread sets both.
int applicationThreadCalls = 0;
std::chrono::steady_clock::time_point applicationThreadEnd;

bool applicationThreadLives() {
    return instanceCalls < applicationThreadCalls && std::chrono::steady_clock::now() < applicationThreadEnd;
}

std::vector<jobject> liveThreads() {
    std::vector<jobject> threads{reinterpret_cast<jobject>(&mainThread), reinterpret_cast<jobject>(&vmThread)};
    for (int i = 0; i < attachedThreads; ++i) threads.push_back(reinterpret_cast<jobject>(&attachedThread));
    if (applicationThreadLives()) threads.push_back(reinterpret_cast<jobject>(&applicationThread));
    return threads;
}

FakeThread* threadOf(jobject object) {
    for (FakeThread* thread : {&mainThread, &vmThread, &attachedThread, &applicationThread})
        if (reinterpret_cast<jobject>(thread) == object) return thread;
    fatal("fakejvm: not a thread of the VM\n");
}

void checkAlive() {
    if (destroyed) fatal("fakejvm: JNI call after DestroyJavaVM\n");
}

jobject handleOf(void* object) { return reinterpret_cast<jobject>(object); }

jstring makeString(std::string utf8) {
    if (arrayCreated && failureRequested("string")) return nullptr;
    strings.push_back(FakeString{std::move(utf8)});
    return reinterpret_cast<jstring>(&strings.back());
}

FakeArray* arrayOf(jobjectArray array) {
    for (auto& candidate : arrays)
        if (reinterpret_cast<jobjectArray>(&candidate) == array) return &candidate;
    fatal("fakejvm: not an array the VM made\n");
}

std::string textOf(jobject object) {
    for (auto& s : strings)
        if (handleOf(&s) == object) return s.utf8;
    fatal("fakejvm: array element is not a string the VM made\n");
}

/// The exception `object` is, or null for another object.
const FakeThrowable* throwableOf(jobject object) {
    if (object == handleOf(&pending)) return &pending;
    if (object == handleOf(const_cast<FakeThrowable*>(&kInitialiserFailure))) return &kInitialiserFailure;
    return nullptr;
}

/// The single instance's method: records the working directory and arguments, then throws or
/// blocks as FAKEJVM_INSTANCE asks.
void runInstanceMethod(jstring directory, jobjectArray array) {
    std::string behaviour = envValue("FAKEJVM_INSTANCE");
    {
        Guard guard(vmMutex);
        checkAlive();
        record("instance dir=" + textOf(directory));
        for (jobject element : arrayOf(array)->elements) record("instance arg=" + textOf(element));
        if (behaviour == "throw") {
            exceptionPending = true;
            pending = {"fake.Failure: thrown by the instance method", "", nullptr, {}};
            pendingDescription = "Exception in thread \"Single instance\" fake.Failure: thrown by the instance method\n";
        }
    }
    if (behaviour == "block") std::this_thread::sleep_for(std::chrono::seconds(30));
    Guard guard(vmMutex);
    ++instanceCalls;
    threadsChanged.notify_all();
}

/// N and S of FAKEJVM_MAIN=calls:N[:S] and thread:N[:S] (S is 60 when not given).
std::pair<int, int> callsAndSeconds(const std::string& countAndSeconds) {
    std::size_t colon = countAndSeconds.find(':');
    return {std::atoi(countAndSeconds.c_str()),
            colon == std::string::npos ? 60 : std::atoi(countAndSeconds.c_str() + colon + 1)};
}

/// FAKEJVM_MAIN=calls:N[:S]: main returns once the instance method has been called N times, or
/// after S seconds.
void waitForInstanceCalls(const std::string& countAndSeconds) {
    std::pair<int, int> limits = callsAndSeconds(countAndSeconds);
    std::unique_lock<std::recursive_mutex> lock(vmMutex);
    threadsChanged.wait_for(lock, std::chrono::seconds(limits.second), [&] { return instanceCalls >= limits.first; });
}

void runMain(jclass cls, jmethodID method, jobjectArray array) {
    checkAlive();
    if (method == reinterpret_cast<jmethodID>(&instanceMethodTag)) fatal("fakejvm: main called with two arguments\n");
    if (cls != reinterpret_cast<jclass>(&mainClass) || method != reinterpret_cast<jmethodID>(&mainMethodTag))
        fatal("fakejvm: CallStaticVoidMethod on another class or method than main\n");
    std::string behaviour = envValue("FAKEJVM_MAIN");
    {
        Guard guard(vmMutex);
        std::string first = envValue("FAKEJVM_MAIN_FIRST");
        if (!first.empty() && !inUpdateChild() && ("\n" + recordText()).find("\nfirst main\n") == std::string::npos) {
            behaviour = first;
            record("first main");
        }
        for (jobject element : arrayOf(array)->elements) record("arg=" + textOf(element));
        record("main");
    }
    if (inUpdateChild() && !envValue("FAKEJVM_INSTALL_MS").empty()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(envValue("FAKEJVM_INSTALL_MS").c_str())));
        return;
    }
    if (behaviour.rfind("calls:", 0) == 0) waitForInstanceCalls(behaviour.substr(6));
    if (behaviour.rfind("thread:", 0) == 0) {
        std::pair<int, int> limits = callsAndSeconds(behaviour.substr(7));
        Guard guard(vmMutex);
        applicationThreadCalls = limits.first;
        applicationThreadEnd = std::chrono::steady_clock::now() + std::chrono::seconds(limits.second);
    }
    if (behaviour == "throw") {
        exceptionPending = true;
        pending = {"fake.Failure: thrown by main", "", nullptr, {}};
    } else if (behaviour == "crash") {
        if (inUpdateChild()) crash();
    } else if (behaviour.rfind("exit:", 0) == 0) {
        std::fflush(nullptr);
        int code = std::atoi(behaviour.c_str() + 5);
        if (exitHook) exitHook(code);
        exitThroughRuntime(code);
    } else if (behaviour.rfind("print:", 0) == 0) {
        writeStandard(1, behaviour.substr(6) + "\n");
        writeStandard(2, behaviour.substr(6) + "!\n");
    }
}

/// The JNI functions of this VM, for the tables.
struct RecordingVm {
    static jint JNICALL getVersion(JNIEnv*) {
        checkAlive();
        return JNI_VERSION_1_2;
    }

    static jclass JNICALL findClass(JNIEnv*, const char* name) {
        Guard guard(vmMutex);
        checkAlive();
        record(std::string("findclass=") + (name ? name : ""));
        std::string text = name ? name : "";
        if (text == stringClass.name) return reinterpret_cast<jclass>(&stringClass);
        if (text == systemClass.name) return reinterpret_cast<jclass>(&systemClass);
        if (text == threadClass.name) return reinterpret_cast<jclass>(&threadClass);
        if (text == threadGroupClass.name) return reinterpret_cast<jclass>(&threadGroupClass);
        if (text == "java/lang/NoClassDefFoundError" || text == "java/lang/NoSuchMethodError") {
            errorClass.name = text;
            return reinterpret_cast<jclass>(&errorClass);
        }
        // As a real VM: no class has an empty name, and names are '/'-separated.
        if (text.empty() || text.find('.') != std::string::npos) return nullptr;
        if (failureRequested("findclass")) return nullptr;
        if (failureRequested("initializer")) {
            exceptionPending = true;
            pending = {"java.lang.ExceptionInInitializerError", "", &kInitialiserFailure, {}};
            pendingDescription = "Exception in thread \"main\" java.lang.ExceptionInInitializerError\n"
                                 "Caused by: fake.Failure: thrown by the static initialiser\n";
            return nullptr;
        }
        // The class is not there, or its superclass is not (as a VM says it, '/'-separated).
        for (const char* missing : {"noclass", "superclass"})
            if (failureRequested(missing)) {
                exceptionPending = true;
                std::string name = failureRequested("noclass") ? text : "test/Base";
                pending = {"java.lang.NoClassDefFoundError: " + name, "java/lang/NoClassDefFoundError", nullptr, {}};
                pendingDescription = "Exception in thread \"main\" " + pending.text + "\n";
                return nullptr;
            }
        mainClass.name = text;
        return reinterpret_cast<jclass>(&mainClass);
    }

    static jmethodID JNICALL getStaticMethodID(JNIEnv*, jclass cls, const char* name, const char* signature) {
        Guard guard(vmMutex);
        checkAlive();
        record(std::string("method=") + (name ? name : "") + " " + (signature ? signature : ""));
        if (cls == reinterpret_cast<jclass>(&systemClass) && name && std::string(name) == "getProperty")
            return reinterpret_cast<jmethodID>(&getPropertyTag);
        if (cls == reinterpret_cast<jclass>(&threadClass) && name && std::string(name) + (signature ? signature : "") ==
                                                                         "currentThread()Ljava/lang/Thread;")
            return reinterpret_cast<jmethodID>(&currentThreadTag);
        if (cls != reinterpret_cast<jclass>(&mainClass)) fatal("fakejvm: GetStaticMethodID on a class it did not find\n");
        if (signature && std::string(signature) == kInstanceSignature)
            return failureRequested("instancemethod") ? nullptr : reinterpret_cast<jmethodID>(&instanceMethodTag);
        if (failureRequested("method")) return nullptr;
        return reinterpret_cast<jmethodID>(&mainMethodTag);
    }

    static jstring JNICALL newStringUTF(JNIEnv*, const char* utf) {
        Guard guard(vmMutex);
        checkAlive();
        if (!utf) fatal("fakejvm: NewStringUTF of a null pointer\n");
        return makeString(modifiedUtf8ToUtf8(utf));
    }

    static jstring JNICALL newString(JNIEnv*, const jchar* unicode, jsize length) {
        Guard guard(vmMutex);
        checkAlive();
        if (length < 0 || (length > 0 && !unicode)) fatal("fakejvm: NewString with a bad buffer\n");
        return makeString(utf16ToUtf8(unicode, length));
    }

    static jobjectArray JNICALL newObjectArray(JNIEnv*, jsize length, jclass cls, jobject initial) {
        Guard guard(vmMutex);
        checkAlive();
        if (cls != reinterpret_cast<jclass>(&stringClass) && cls != reinterpret_cast<jclass>(&threadClass))
            fatal("fakejvm: NewObjectArray of another class than String or Thread\n");
        if (length < 0) fatal("fakejvm: NewObjectArray of a negative length\n");
        if (cls == reinterpret_cast<jclass>(&threadClass)) {
            arrays.push_back(FakeArray{std::vector<jobject>(static_cast<std::size_t>(length), nullptr)});
            return reinterpret_cast<jobjectArray>(&arrays.back());
        }
        arrayCreated = true;
        if (failureRequested("array")) return nullptr;
        arrays.push_back(FakeArray{std::vector<jobject>(static_cast<std::size_t>(length), initial)});
        return reinterpret_cast<jobjectArray>(&arrays.back());
    }

    static void JNICALL setObjectArrayElement(JNIEnv*, jobjectArray array, jsize index, jobject value) {
        Guard guard(vmMutex);
        checkAlive();
        FakeArray* target = arrayOf(array);
        if (index < 0 || static_cast<std::size_t>(index) >= target->elements.size())
            fatal("fakejvm: SetObjectArrayElement out of bounds\n");
        target->elements[static_cast<std::size_t>(index)] = value;
    }

    static void JNICALL callStaticVoidMethod(JNIEnv*, jclass cls, jmethodID method, ...) {
        va_list args;
        va_start(args, method);
        if (method == reinterpret_cast<jmethodID>(&instanceMethodTag)) {
            jstring directory = va_arg(args, jstring);
            jobjectArray array = va_arg(args, jobjectArray);
            va_end(args);
            return runInstanceMethod(directory, array);
        }
        jobjectArray array = va_arg(args, jobjectArray);
        va_end(args);
        runMain(cls, method, array);
    }

    static void JNICALL callStaticVoidMethodV(JNIEnv*, jclass cls, jmethodID method, va_list args) {
        if (method == reinterpret_cast<jmethodID>(&instanceMethodTag)) {
            jstring directory = va_arg(args, jstring);
            return runInstanceMethod(directory, va_arg(args, jobjectArray));
        }
        runMain(cls, method, va_arg(args, jobjectArray));
    }

    static void JNICALL callStaticVoidMethodA(JNIEnv*, jclass cls, jmethodID method, const jvalue* args) {
        if (!args) fatal("fakejvm: CallStaticVoidMethodA without arguments\n");
        runMain(cls, method, reinterpret_cast<jobjectArray>(args[0].l));
    }

    static jobject JNICALL callStaticObjectMethodV(JNIEnv*, jclass, jmethodID method, va_list args) {
        Guard guard(vmMutex);
        checkAlive();
        if (method == reinterpret_cast<jmethodID>(&currentThreadTag)) return reinterpret_cast<jobject>(&mainThread);
        if (method != reinterpret_cast<jmethodID>(&getPropertyTag)) fatal("fakejvm: CallStaticObjectMethod of another method\n");
        jstring name = va_arg(args, jstring);
        return textOf(name) == "java.vm.info" ? makeString(vmInfo) : nullptr;
    }

    static const char* JNICALL getStringUTFChars(JNIEnv*, jstring text, jboolean* copied) {
        Guard guard(vmMutex);
        checkAlive();
        for (auto& s : strings)
            if (reinterpret_cast<jstring>(&s) == text) {
                if (copied) *copied = JNI_FALSE;
                return s.utf8.c_str();
            }
        fatal("fakejvm: GetStringUTFChars of a string it did not make\n");
    }

    static void JNICALL releaseStringUTFChars(JNIEnv*, jstring, const char*) { checkAlive(); }

    static jthrowable JNICALL exceptionOccurred(JNIEnv*) {
        checkAlive();
        return exceptionPending ? reinterpret_cast<jthrowable>(&pending) : nullptr;
    }

    static jboolean JNICALL exceptionCheck(JNIEnv*) {
        checkAlive();
        return exceptionPending ? JNI_TRUE : JNI_FALSE;
    }

    static void JNICALL exceptionDescribe(JNIEnv*) {
        checkAlive();
        if (!exceptionPending) return;
        std::fputs(pendingDescription.c_str(), stderr);
        std::fflush(stderr);
        exceptionPending = false;
    }

    static void JNICALL exceptionClear(JNIEnv*) {
        checkAlive();
        exceptionPending = false;
    }

    static void JNICALL deleteLocalRef(JNIEnv*, jobject) { checkAlive(); }

    static jboolean JNICALL isInstanceOf(JNIEnv*, jobject object, jclass cls) {
        checkAlive();
        if (exceptionPending) fatal("fakejvm: IsInstanceOf with an exception pending\n");
        if (object != reinterpret_cast<jobject>(&pending)) return JNI_FALSE;
        if (cls == reinterpret_cast<jclass>(&errorClass)) return pending.errorClass == errorClass.name ? JNI_TRUE : JNI_FALSE;
        return JNI_TRUE;
    }

    static jint JNICALL throwObject(JNIEnv*, jthrowable thrown) {
        checkAlive();
        if (thrown != reinterpret_cast<jthrowable>(&pending)) fatal("fakejvm: Throw of an object it did not make\n");
        exceptionPending = true;
        return JNI_OK;
    }

    // An exception read through its methods: toString, getCause, getStackTrace (whose frames
    // are strings here, which toString gives back as they are).
    static jclass JNICALL getObjectClass(JNIEnv*, jobject object) {
        Guard guard(vmMutex);
        checkAlive();
        if (throwableOf(object)) return reinterpret_cast<jclass>(&throwableClass);
        textOf(object);
        return reinterpret_cast<jclass>(&stringClass);
    }

    static jmethodID JNICALL getMethodID(JNIEnv*, jclass cls, const char* name, const char* signature) {
        checkAlive();
        if (exceptionPending) fatal("fakejvm: GetMethodID with an exception pending\n");
        std::string method = std::string(name ? name : "") + (signature ? signature : "");
        if (method == "toString()Ljava/lang/String;") return reinterpret_cast<jmethodID>(&toStringTag);
        const struct {
            const FakeClass* owner;
            const char* method;
            int* tag;
        } threadMethods[] = {
            {&threadClass, "getThreadGroup()Ljava/lang/ThreadGroup;", &getThreadGroupTag},
            {&threadClass, "isDaemon()Z", &isDaemonTag},
            {&threadGroupClass, "getParent()Ljava/lang/ThreadGroup;", &getParentTag},
            {&threadGroupClass, "activeCount()I", &activeCountTag},
            {&threadGroupClass, "enumerate([Ljava/lang/Thread;Z)I", &enumerateTag},
        };
        for (const auto& known : threadMethods)
            if (cls == reinterpret_cast<jclass>(const_cast<FakeClass*>(known.owner)) && method == known.method)
                return reinterpret_cast<jmethodID>(known.tag);
        if (cls != reinterpret_cast<jclass>(&throwableClass)) fatal("fakejvm: GetMethodID of a String other than toString\n");
        if (method == "getCause()Ljava/lang/Throwable;") return reinterpret_cast<jmethodID>(&getCauseTag);
        if (method == "getStackTrace()[Ljava/lang/StackTraceElement;") return reinterpret_cast<jmethodID>(&getStackTraceTag);
        fatal("fakejvm: GetMethodID of a method a throwable does not have here\n");
    }

    static jobject JNICALL callObjectMethodV(JNIEnv*, jobject object, jmethodID method, va_list) {
        Guard guard(vmMutex);
        checkAlive();
        if (exceptionPending) fatal("fakejvm: CallObjectMethod with an exception pending\n");
        if (method == reinterpret_cast<jmethodID>(&getThreadGroupTag)) {
            threadOf(object);
            return reinterpret_cast<jobject>(&threadGroupTag);
        }
        if (method == reinterpret_cast<jmethodID>(&getParentTag)) {
            if (object != reinterpret_cast<jobject>(&threadGroupTag)) fatal("fakejvm: getParent of no thread group\n");
            return nullptr;
        }
        const FakeThrowable* thrown = throwableOf(object);
        if (method == reinterpret_cast<jmethodID>(&toStringTag)) return thrown ? makeString(thrown->text) : object;
        if (!thrown) fatal("fakejvm: CallObjectMethod of a throwable's method on a string\n");
        if (method == reinterpret_cast<jmethodID>(&getCauseTag))
            return thrown->cause ? handleOf(const_cast<FakeThrowable*>(thrown->cause)) : nullptr;
        if (method != reinterpret_cast<jmethodID>(&getStackTraceTag)) fatal("fakejvm: CallObjectMethod of another method\n");
        arrays.push_back(FakeArray{});
        for (const std::string& frame : thrown->frames) arrays.back().elements.push_back(makeString(frame));
        return reinterpret_cast<jobject>(&arrays.back());
    }

    static jsize JNICALL getArrayLength(JNIEnv*, jarray array) {
        Guard guard(vmMutex);
        checkAlive();
        return static_cast<jsize>(arrayOf(reinterpret_cast<jobjectArray>(array))->elements.size());
    }

    static jobject JNICALL getObjectArrayElement(JNIEnv*, jobjectArray array, jsize index) {
        Guard guard(vmMutex);
        checkAlive();
        FakeArray* source = arrayOf(array);
        if (index < 0 || static_cast<std::size_t>(index) >= source->elements.size())
            fatal("fakejvm: GetObjectArrayElement out of bounds\n");
        return source->elements[static_cast<std::size_t>(index)];
    }

    static jboolean JNICALL isSameObject(JNIEnv*, jobject one, jobject other) {
        checkAlive();
        return one == other ? JNI_TRUE : JNI_FALSE;
    }

    // A thread group's activeCount and enumerate(Thread[], boolean).
    static jint JNICALL callIntMethodV(JNIEnv*, jobject object, jmethodID method, va_list args) {
        Guard guard(vmMutex);
        checkAlive();
        if (exceptionPending) fatal("fakejvm: CallIntMethod with an exception pending\n");
        if (object != reinterpret_cast<jobject>(&threadGroupTag)) fatal("fakejvm: CallIntMethod on no thread group\n");
        std::vector<jobject> threads = liveThreads();
        if (method == reinterpret_cast<jmethodID>(&activeCountTag)) return static_cast<jint>(threads.size());
        if (method != reinterpret_cast<jmethodID>(&enumerateTag)) fatal("fakejvm: CallIntMethod of another method\n");
        FakeArray* target = arrayOf(va_arg(args, jobjectArray));
        std::size_t listed = std::min(threads.size(), target->elements.size());
        std::copy(threads.begin(), threads.begin() + static_cast<std::ptrdiff_t>(listed), target->elements.begin());
        return static_cast<jint>(listed);
    }

    static jboolean JNICALL callBooleanMethodV(JNIEnv*, jobject object, jmethodID method, va_list) {
        Guard guard(vmMutex);
        checkAlive();
        if (method != reinterpret_cast<jmethodID>(&isDaemonTag)) fatal("fakejvm: CallBooleanMethod of another method\n");
        return threadOf(object)->daemon ? JNI_TRUE : JNI_FALSE;
    }

    // The JavaVM's own functions.
    static jint JNICALL destroyJavaVM(JavaVM*) {
        // As a VM waits for its other non-daemon threads.
        std::unique_lock<std::recursive_mutex> lock(vmMutex);
        while (attachedThreads > 0 || applicationThreadLives()) {
            if (attachedThreads > 0) threadsChanged.wait(lock);
            else threadsChanged.wait_until(lock, applicationThreadEnd);
        }
        checkAlive();
        record("destroy");
        destroyed = true;
        return JNI_OK;
    }

    static jint JNICALL attachCurrentThread(JavaVM*, void** env, void* args) {
        Guard guard(vmMutex);
        if (destroyed) return JNI_ERR;
        const auto* attachment = static_cast<const JavaVMAttachArgs*>(args);
        record(std::string("attach=") + (attachment && attachment->name ? attachment->name : ""));
        ++attachedThreads;
        *env = theEnv;
        return JNI_OK;
    }

    static jint JNICALL detachCurrentThread(JavaVM*) {
        Guard guard(vmMutex);
        checkAlive();
        if (attachedThreads > 0) {
            record("detach");
            --attachedThreads;
            threadsChanged.notify_all();
        }
        return JNI_OK;
    }

    static void* theEnv;
};

void* RecordingVm::theEnv = nullptr;

std::string hex8(jint value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", static_cast<unsigned>(value));
    return text;
}

}  // namespace

jint createRecordingVm(JavaVM** vm, void** env, void* args) {
    if (created) fatal("fakejvm: JNI_CreateJavaVM called twice\n");
    if (!vm || !env || !args) fatal("fakejvm: JNI_CreateJavaVM with a null pointer\n");
    const auto* initArgs = static_cast<const JavaVMInitArgs*>(args);
    recordConsole();
    recordThreads();
    recordDirectory();
    record("version=" + hex8(initArgs->version));
    record("ignoreUnrecognized=" + std::to_string(static_cast<int>(initArgs->ignoreUnrecognized)));
    recordCodePage();
    if (initArgs->nOptions < 0 || (initArgs->nOptions > 0 && !initArgs->options))
        fatal("fakejvm: JNI_CreateJavaVM with a bad option array\n");
    for (jint i = 0; i < initArgs->nOptions; ++i) {
        const char* text = initArgs->options[i].optionString;
        if (!text) fatal("fakejvm: JNI_CreateJavaVM with a null option\n");
        recordOption(text);
        if (std::string(text) == "exit") std::memcpy(&exitHook, &initArgs->options[i].extraInfo, sizeof exitHook);
        for (const char* archive : {"-XX:AOTCache=", "-XX:SharedArchiveFile="})
            if (std::string(text).rfind(archive, 0) == 0) vmInfo = "mixed mode, sharing";
    }
    if (failureRequested("create")) return JNI_ERR;
    loadExitRuntime();
    created = true;
    handOutTables<RecordingVm>(vm, env);
    RecordingVm::theEnv = *env;
    return JNI_OK;
}

}  // namespace fakejvm
