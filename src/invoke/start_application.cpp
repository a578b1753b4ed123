#include "invoke/start_application.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "config/config_file_parser.h"
#include "invoke/vm_library.h"
#include "messages/messages.h"
#include "platform/console.h"
#include "platform/platform.h"
#include "vm/runtime_check.h"
#include "vm/startup_cache.h"

const char* const kDefaultMainClass = "ombrix/ideimpl/IdeMain";

const std::string& ConfigFileParser::getMainClass() {
    if (mainClass.empty()) mainClass = kDefaultMainClass;
    return mainClass;
}

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

}  // namespace

int startJavaApplication(const ConfigFileParser& original, bool updateMode, const std::string& configFilePath) {
    ConfigFileParser settings = original;
    // The copy is this call's own: its options move into the list rather than being copied again.
    std::vector<std::string> options = std::move(settings.vmOptions);
    if (!updateMode && !settings.startupCache.empty()) appendStartupCacheOptions(settings, configFilePath, options);
    options.push_back("-Djava.class.path=" + (updateMode ? settings.updateClassPath : settings.classPath));
    std::vector<JavaVMOption> jniOptions(options.size());
    // The VM reads its options in an encoding of the platform's (the ANSI code page on
    // Windows): a path it could not be given is reported rather than handed over damaged.
    std::vector<std::string> vmBytes(options.size());
    for (std::size_t i = 0; i < options.size(); ++i) {
        std::string unrepresentable;
        std::optional<std::string> text = platform::vmOptionText(options[i], unrepresentable);
        if (!text) throw JavaLauncherException(kMsgTextNotForVm, unrepresentable);
        if (settings.verbose) printOut("JNI Option: " + *text + "\n");
        vmBytes[i] = platform::vmOptionBytes(*text);
        jniOptions[i].optionString = &vmBytes[i][0];
        jniOptions[i].extraInfo = nullptr;
    }
    JavaVMInitArgs initArgs;
    initArgs.version = JNI_VERSION_1_2;
    initArgs.nOptions = static_cast<jint>(jniOptions.size());
    initArgs.options = jniOptions.data();
    initArgs.ignoreUnrecognized = JNI_TRUE;

    if (!hasJavaExe(settings.javaHome)) throw JavaLauncherException(kMsgNoJ2se, settings.javaHome);
    std::string vmName = settings.getVmName();
    std::string libraryPath;
    if (!settings.selectVm(libraryPath)) throw JavaLauncherException(kMsgNoJvm, "");
    std::string tavmLibrary;
    if (vmName == "tavm" && !settings.findVmLibrary("tavm", tavmLibrary)) showWarning(kWarnNoTavmClient);

    // The VM's C runtime takes its standard handles when it loads.
    platform::connectApplicationStreams();
    // The VM's own DLLs (its C runtime) lie in the runtime's bin directory.
    platform::addLibraryDirectory(settings.javaHome + platform::kDirSeparator + "bin");
    JniEntryPoints entryPoints;
    if (!loadVmLibrary(libraryPath, entryPoints, settings.verbose))
        throw JavaLauncherException(kMsgCannotLaunchJvm, libraryPath);

    // The VM writes to the same streams through its own buffers.
    std::fflush(stdout);
    std::fflush(stderr);
    JavaVM* vm = nullptr;
    JNIEnv* env = nullptr;
    if (entryPoints.createJavaVM(&vm, reinterpret_cast<void**>(&env), &initArgs) < 0)
        throw JavaLauncherException(kMsgCannotCreateJvm, libraryPath);

    std::string className = updateMode ? settings.updateMainClass : settings.getMainClass();
    jclass mainClass = env->FindClass(className.c_str());
    if (!mainClass) {
        printErr("ERROR: Can't find " + className + "\n");
        throw JavaLauncherException(kMsgNoMainClass, className);
    }
    jmethodID mainMethod = env->GetStaticMethodID(mainClass, "main", "([Ljava/lang/String;)V");
    if (!mainMethod) {
        printErr("ERROR: Can't find Prog.main\n");
        throw JavaLauncherException(kMsgNoMainClass, className);
    }
    jobjectArray arguments = buildArgumentArray(env, settings.appArgs);
    env->CallStaticVoidMethod(mainClass, mainMethod, arguments);

    // An exception that main lets escape is reported with its stack trace, and the process
    // ends with 1, as the JDK's own launcher does.
    int exitCode = 0;
    if (env->ExceptionOccurred()) {
        env->ExceptionDescribe();
        exitCode = 1;
    }
    vm->DestroyJavaVM();
    return exitCode;
}
