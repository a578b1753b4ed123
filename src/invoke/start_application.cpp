#include "invoke/start_application.h"

#include <cstdio>
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "config/launch_settings.h"
#include "base/text_ops.h"
#include "base/path_names.h"
#include "invoke/vm_library.h"
#include "invoke/working_directory.h"
#include "messages/messages.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/libraries.h"
#include "platform/platform.h"
#include "platform/processes.h"
#include "platform/text.h"
#include "splash/splash_screen.h"
#include "vm/max_heap.h"
#include "vm/startup_cache.h"
#include "vm/vm_selection.h"

namespace {

/// The application arguments as a Java String[]; throws message 6 when the VM runs out of
/// memory building it.
jobjectArray buildArgumentArray(JNIEnv* env, const std::vector<std::string>& args) {
    jstring initial = env->NewStringUTF("");
    jclass stringClass = env->FindClass("java/lang/String");
    jobjectArray array = env->NewObjectArray(static_cast<jsize>(args.size()), stringClass, initial);
    if (!array) {
        printErr("ERROR: Out of memory\n");
        throw JavaLauncherException(kMsgOutOfMemory, "");
    }
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::u16string text = platform::toUtf16(args[i]);
        jstring element = env->NewString(reinterpret_cast<const jchar*>(text.data()), static_cast<jsize>(text.size()));
        if (!element) {
            printErr("ERROR: Out of memory\n");
            throw JavaLauncherException(kMsgOutOfMemory, "");
        }
        env->SetObjectArrayElement(array, static_cast<jsize>(i), element);
        env->DeleteLocalRef(element);
    }
    return array;
}

/// What an option's value is for the VM's code page: only the paths that the launcher composes
/// (the class and library paths, the configuration's path, RegisterEnvVar's variables) and the
/// path options a user writes may go by their short names; any other text goes as it is.
platform::VmOptionValue valueOf(const std::string& option) {
    for (const char* start : {"-Djava.class.path=", "-Djava.library.path=", "-Dide.config_pathname=", "-Denv.",
                              "-Xbootclasspath", "-Dlauncher.executable=", "-Dlauncher.start.directory="})
        if (startsWith(option, start)) return platform::VmOptionValue::PathList;
    if (startsWith(option, "-javaagent:") || startsWith(option, "-agentpath:")) return platform::VmOptionValue::AgentPath;
    return platform::VmOptionValue::Text;
}

/// For a relative path the VM cannot be given, its full path, which tells where it was looked
/// for, on stderr and as the message box's explanation; nothing for any other text.
std::string pathInFull(const std::string& unrepresentable) {
    bool relativePath = !unrepresentable.empty() && unrepresentable[0] != '-' &&
                        rootLength(unrepresentable) == 0 && unrepresentable.find(':') == std::string::npos;
    if (!relativePath) return std::string();
    std::string explanation = "The path in full: " + platform::absolutePath(unrepresentable);
    printErr("ERROR: " + explanation + "\n");
    return explanation;
}

/// The bytes the VM reads for each option, in an encoding of the platform's (the ANSI code page
/// on Windows): a text it could not be given stops the launch with message 13 rather than going
/// over damaged. With -verbose, the PATH entries left out and each option are printed.
std::vector<std::string> optionsAsTheVmReadsThem(const std::vector<VmOption>& options, const LaunchSettings& settings) {
    if (settings.verbose)
        for (const std::string& entry : settings.leftOutPathEntries)
            printOut("Left out of java.library.path, the system's code page cannot represent it: " + entry + "\n");
    std::vector<std::string> bytes;
    for (const VmOption& option : options) {
        // A hook's name is the VM's own word, not a text of the user's.
        if (option.hook) {
            bytes.emplace_back();
            continue;
        }
        std::string unrepresentable;
        std::optional<std::string> text = platform::vmOptionText(option.text, valueOf(option.text), unrepresentable);
        if (!text) throw JavaLauncherException(kMsgTextNotForVm, unrepresentable, "", pathInFull(unrepresentable));
        if (settings.verbose) printOut("JNI Option: " + *text + "\n");
        bytes.push_back(platform::vmOptionBytes(*text));
    }
    return bytes;
}

/// How many of the cause's frames a message box shows under the message.
const int kCauseFrames = 3;

/// The object that `object`'s method `name` (no arguments, signature `signature`) returns;
/// null when there is none or it throws (the exception is cleared).
jobject callGetter(JNIEnv* env, jobject object, const char* name, const char* signature) {
    jclass type = object ? env->GetObjectClass(object) : nullptr;
    jmethodID method = type ? env->GetMethodID(type, name, signature) : nullptr;
    jobject result = method ? env->CallObjectMethod(object, method) : nullptr;
    if (env->ExceptionCheck()) {
        env->ExceptionClear();
        if (result) env->DeleteLocalRef(result);
        result = nullptr;
    }
    if (type) env->DeleteLocalRef(type);
    return result;
}

/// What `object`'s toString() says; empty when it cannot be had.
std::string javaText(JNIEnv* env, jobject object) {
    std::string text;
    auto string = static_cast<jstring>(callGetter(env, object, "toString", "()Ljava/lang/String;"));
    if (const char* chars = string ? env->GetStringUTFChars(string, nullptr) : nullptr) {
        text = chars;
        env->ReleaseStringUTFChars(string, chars);
    }
    env->ExceptionClear();
    if (string) env->DeleteLocalRef(string);
    return text;
}

/// The cause an exception met while the main class was looked up names: what a static
/// initialiser threw, which an ExceptionInInitializerError carries, else the exception itself,
/// as "Caused by: " and its text, then its first frames, one "\tat " line each. Empty when the
/// exception says nothing.
std::string causeOf(JNIEnv* env, jthrowable thrown) {
    jobject cause = nullptr;
    if (startsWith(javaText(env, thrown), "java.lang.ExceptionInInitializerError"))
        cause = callGetter(env, thrown, "getCause", "()Ljava/lang/Throwable;");
    jobject shown = cause ? cause : thrown;
    std::string text = javaText(env, shown);
    if (text.empty()) return text;
    text = "Caused by: " + text;
    auto frames = static_cast<jobjectArray>(callGetter(env, shown, "getStackTrace", "()[Ljava/lang/StackTraceElement;"));
    jsize count = frames ? std::min<jsize>(env->GetArrayLength(frames), kCauseFrames) : 0;
    for (jsize i = 0; i < count; ++i) {
        jobject frame = env->GetObjectArrayElement(frames, i);
        std::string place = javaText(env, frame);
        if (frame) env->DeleteLocalRef(frame);
        if (!place.empty()) text += "\n\tat " + place;
    }
    env->ExceptionClear();
    for (jobject local : {cause, static_cast<jobject>(frames)})
        if (local) env->DeleteLocalRef(local);
    return text;
}

/// Says why the main class or its main could not be had, from the exception pending, and
/// returns that as the message box's explanation. An error of the class `expected`
/// (java/lang/...Error) that names only what message 5 says (no such method; no class of that
/// name: `className`) says nothing. Another class that is missing (its superclass, an
/// interface, a class its initialiser needs) is named on stderr as "Caused by: " and the
/// error; any other exception (a static initialiser threw) is described as an uncaught one
/// from main is, its stack trace included.
std::string describeLookupFailure(JNIEnv* env, const char* expected, const std::string& className) {
    jthrowable thrown = env->ExceptionOccurred();
    if (!thrown) return std::string();
    env->ExceptionClear();
    jclass expectedClass = env->FindClass(expected);
    if (!expectedClass) env->ExceptionClear();
    if (expectedClass && env->IsInstanceOf(thrown, expectedClass)) {
        std::string text = javaText(env, thrown);
        std::string missing = "java.lang.NoClassDefFoundError: ";
        std::string dotted = className;
        bool itself = text == missing + className || text == missing + replaceAll(dotted, "/", ".");
        if (text.empty() || !startsWith(text, missing) || itself) return std::string();
        printErr("Caused by: " + text + "\n");
        return "Caused by: " + text;
    }
    std::string explanation = causeOf(env, thrown);
    env->Throw(thrown);
    env->ExceptionDescribe();
    return explanation;
}

/// Whether the VM maps an archive of classes: its java.vm.info says "sharing" ("mixed mode,
/// sharing"); nullopt when the property cannot be read.
std::optional<bool> sharesClassData(JNIEnv* env) {
    std::optional<bool> sharing;
    jclass system = env->FindClass("java/lang/System");
    jmethodID getProperty =
        system ? env->GetStaticMethodID(system, "getProperty", "(Ljava/lang/String;)Ljava/lang/String;") : nullptr;
    jstring name = getProperty ? env->NewStringUTF("java.vm.info") : nullptr;
    auto info = name ? static_cast<jstring>(env->CallStaticObjectMethod(system, getProperty, name)) : nullptr;
    if (const char* text = info && !env->ExceptionCheck() ? env->GetStringUTFChars(info, nullptr) : nullptr) {
        sharing = std::strstr(text, "sharing") != nullptr;
        env->ReleaseStringUTFChars(info, text);
    }
    env->ExceptionClear();
    for (jobject local : {static_cast<jobject>(system), static_cast<jobject>(name), static_cast<jobject>(info)})
        if (local) env->DeleteLocalRef(local);
    return sharing;
}

/// The VM's hooks: it calls "abort" as it dies of a fatal error (given to a start that maps a
/// start-up cache), and "exit" at System.exit (given to that start, and to one whose observer
/// asks for it).
/// The VM calls them from its own frames, which no exception may cross.
void JNICALL cacheAbortHook() noexcept {
    try {
        startupCacheCrashed();
    } catch (...) {
    }
}
/// What the "exit" hook tells besides the cache: the observer of the one VM of this process.
const VmObserver* exitObserver = nullptr;
bool exitEndsCache = false;
void JNICALL exitHook(jint code) noexcept {
    try {
        // The cache first: the observer may start the application again in this process.
        if (exitEndsCache) startupCacheEnded();
        if (exitObserver && exitObserver->exiting) exitObserver->exiting(code);
    } catch (...) {
    }
}

/// A hook of the VM's: the option `name` whose extraInfo is the function `hook`.
template <typename Function>
VmOption hookOption(const char* name, Function hook) {
    VmOption option{name, nullptr};
    static_assert(sizeof hook == sizeof option.hook, "a function's address fits the option's pointer");
    std::memcpy(&option.hook, &hook, sizeof hook);
    return option;
}

/// The VM this start made, destroyed once on every way out of the start: what works beside it
/// (the instance's listener) lets go of it first, and a start-up cache it maps learns that it
/// ended without a crash.
class CreatedVm {
public:
    CreatedVm(JavaVM* vm, const VmObserver& observer, bool cacheGuarded)
        : vm_(vm), observer_(observer), cacheGuarded_(cacheGuarded) {}
    ~CreatedVm() { destroy(); }
    CreatedVm(const CreatedVm&) = delete;
    CreatedVm& operator=(const CreatedVm&) = delete;

    /// DestroyJavaVM, which waits for the VM's other non-daemon threads; the first call only.
    void destroy() noexcept {
        JavaVM* vm = vm_;
        if (!vm) return;
        vm_ = nullptr;
        try {
            if (observer_.beforeDestruction) observer_.beforeDestruction();
        } catch (...) {
        }
        vm->DestroyJavaVM();
        exitObserver = nullptr;
        if (cacheGuarded_) startupCacheEnded();
    }

private:
    JavaVM* vm_;
    const VmObserver& observer_;
    bool cacheGuarded_;
};

}  // namespace

VmOptions vmOptionsFor(const LaunchSettings& settings, const RuntimeFacts& runtime, const std::string& vmLibrary,
                       bool updateMode) {
    VmOptions result;
    std::vector<std::string> texts = settings.vmOptions;
    if (settings.fixedLibraryPath) texts.push_back("-Djava.library.path=" + *settings.fixedLibraryPath);
    texts.insert(texts.end(), settings.commandLineVmOptions.begin(), settings.commandLineVmOptions.end());
    texts.push_back("-Dide.config_pathname=" + settings.configPath);
    if (settings.launcherProperties) {
        texts.push_back("-Dlauncher.executable=" + settings.launcherExecutable);
        texts.push_back("-Dlauncher.start.directory=" + settings.startDirectory);
    }
    appendMaxHeapOption(settings, texts);
    // The cache is planned for the library the launch loads, from the options before its own.
    if (!updateMode && !settings.startupCache.empty() && !vmLibrary.empty())
        result.cacheWork = appendStartupCacheOptions(settings, runtime, vmLibrary, settings.configPath, texts);
    texts.push_back("-Djava.class.path=" + (updateMode ? settings.updateClassPath : settings.classPath));
    for (std::string& text : texts) result.options.push_back({std::move(text), nullptr});
    if (result.cacheWork.guarded) {
        result.options.push_back(hookOption("abort", &cacheAbortHook));
        result.options.push_back(hookOption("exit", &exitHook));
    }
    return result;
}

namespace {

/// The start of startJavaApplication, the VM created in `appDirectory` when it is given.
int startIn(const LaunchSettings& settings, const RuntimeFacts& runtime, bool updateMode, const VmObserver& observer,
            const std::optional<std::string>& appDirectory) {
    const std::string& vmName = settings.vmName;
    VmChoice choice = selectVm(runtime.home, vmName, runtime.vmTable);
    VmOptions options = vmOptionsFor(settings, runtime, choice.libraryPath, updateMode);
    if (observer.optionsChosen) observer.optionsChosen(choice.libraryPath, options);
    StartupCacheWork& cacheWork = options.cacheWork;
    exitEndsCache = cacheWork.guarded;
    if (observer.exiting && !cacheWork.guarded) options.options.push_back(hookOption("exit", &exitHook));
    std::vector<std::string> vmBytes = optionsAsTheVmReadsThem(options.options, settings);
    std::vector<JavaVMOption> jniOptions(options.options.size());
    for (std::size_t i = 0; i < options.options.size(); ++i) {
        const VmOption& option = options.options[i];
        jniOptions[i].optionString = option.hook ? const_cast<char*>(option.text.c_str()) : &vmBytes[i][0];
        jniOptions[i].extraInfo = option.hook;
    }
    JavaVMInitArgs initArgs;
    initArgs.version = JNI_VERSION_1_2;
    initArgs.nOptions = static_cast<jint>(jniOptions.size());
    initArgs.options = jniOptions.data();
    initArgs.ignoreUnrecognized = JNI_TRUE;

    // The options are shown under -verbose, and a text the VM cannot be given stops the launch,
    // before the choice is reported.
    if (!choice.warnings.empty()) printErr(choice.warnings);
    std::string libraryPath = choice.libraryPath;
    if (libraryPath.empty()) throw JavaLauncherException(kMsgNoJvm, "", "", choice.reason);
    if (vmName == "tavm" && !findVmLibrary(runtime.home, "tavm")) showWarning(kWarnNoTavmClient);

    // The VM's C runtime takes its standard handles when it loads.
    platform::connectApplicationStreams();
    // The VM's own DLLs (its C runtime) lie in the runtime's bin directory.
    platform::addLibraryDirectory(joinPath(runtime.home, "bin"));
    // Before the VM library, so that the runtime's AWT finds the splash its library shows.
    if (!updateMode && !settings.splashImage.empty())
        showSplashScreen({settings.splashImage, runtime.home, libraryPath, settings.verbose});
    JniEntryPoints entryPoints;
    std::string explanation;
    if (!loadVmLibrary(libraryPath, entryPoints, settings.verbose, explanation))
        throw JavaLauncherException(kMsgCannotLaunchJvm, libraryPath, "", explanation);

    // The cache is made once the launch is sure to start the application: beside it, in a
    // worker made before the VM's threads exist.
    if (cacheWork.work)
        platform::runInBackground({cacheWork.work, cacheWork.job, "cache worker"},
                                  cacheWork.untilTheLaunchEnds ? platform::kUntilTheLaunchEnds : 10);
    // The VM writes to the same streams through its own buffers.
    std::fflush(stdout);
    std::fflush(stderr);
    JavaVM* vm = nullptr;
    JNIEnv* env = nullptr;
    if (appDirectory) enterApplicationDirectory(*appDirectory);
    if (observer.beforeCreation) observer.beforeCreation();
    exitObserver = &observer;
    if (entryPoints.createJavaVM(&vm, reinterpret_cast<void**>(&env), &initArgs) < 0) {
        exitObserver = nullptr;
        throw JavaLauncherException(kMsgCannotCreateJvm, libraryPath);
    }
    CreatedVm created(vm, observer, cacheWork.guarded);
    if (observer.created) observer.created(vm, env);

    if (cacheWork.whenStarted)
        if (std::optional<bool> sharing = sharesClassData(env)) cacheWork.whenStarted(*sharing);

    const std::string& className = updateMode ? settings.updateMainClass : settings.mainClass;
    jclass mainClass = env->FindClass(className.c_str());
    // Finding the class initialises it: what its static initialiser throws is the cause.
    if (!mainClass) {
        std::string cause = describeLookupFailure(env, "java/lang/NoClassDefFoundError", className);
        printErr("ERROR: Can't find " + className + "\n");
        throw JavaLauncherException(kMsgNoMainClass, className, "", cause);
    }
    jmethodID mainMethod = env->GetStaticMethodID(mainClass, "main", "([Ljava/lang/String;)V");
    if (!mainMethod) {
        std::string cause = describeLookupFailure(env, "java/lang/NoSuchMethodError", className);
        printErr("ERROR: Can't find Prog.main\n");
        throw JavaLauncherException(kMsgNoMainClass, className, "", cause);
    }
    jobjectArray arguments = buildArgumentArray(env, settings.appArgs);
    if (observer.mainStarting) observer.mainStarting();
    // The splash stays when main returns: the usual start hands its first window to the event
    // thread, and the runtime's AWT closes the splash as that window shows.
    env->CallStaticVoidMethod(mainClass, mainMethod, arguments);

    // An exception that main lets escape is reported with its stack trace, and the process
    // ends with 1, as the JDK's own launcher does.
    int exitCode = 0;
    if (env->ExceptionOccurred()) {
        env->ExceptionDescribe();
        exitCode = 1;
    }
    if (observer.mainReturned) observer.mainReturned(env);
    created.destroy();
    // The VM has ended with the application's last thread: a start that never showed a window
    // leaves no splash behind.
    closeSplashScreen();
    // Where the making runs in this process (a worker could not be started), it is finished
    // before the process ends.
    platform::waitForBackground();
    return exitCode;
}

}  // namespace

int startJavaApplication(const LaunchSettings& settings, const RuntimeFacts& runtime, bool updateMode,
                         const VmObserver& observer) {
    // The installer of deferred updates always runs in the launcher's directory.
    std::string launcherDirectory = platform::currentDirectory().value_or(std::string());
    std::optional<std::string> appDirectory =
        updateMode ? std::nullopt : applicationDirectory(settings, launcherDirectory);
    if (!appDirectory) return startIn(settings, runtime, updateMode, observer, std::nullopt);
    LaunchSettings anchoredSettings = settings;
    RuntimeFacts anchoredRuntime = runtime;
    anchorAtLauncherDirectory(anchoredSettings, anchoredRuntime, launcherDirectory);
    return startIn(anchoredSettings, anchoredRuntime, updateMode, observer, appDirectory);
}
