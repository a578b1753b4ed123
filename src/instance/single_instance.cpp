#include "instance/single_instance.h"

#include <utility>
#include <vector>

#include "base/digest.h"
#include "base/path_names.h"
#include "base/text_ops.h"
#include "platform/console.h"
#include "platform/platform.h"
#include "platform/text.h"

namespace {

const char* const kMethodSignature = "(Ljava/lang/String;[Ljava/lang/String;)V";

std::string displayName(const std::string& className, const std::string& methodName) {
    std::string name = className;
    replaceAll(name, "/", ".");
    return name + "." + methodName;
}

/// A Java string of a launcher's text, converted as main's arguments are; null when the VM
/// has no memory left.
jstring javaString(JNIEnv* env, const std::string& text) {
    std::u16string wide = platform::toUtf16(text);
    return env->NewString(reinterpret_cast<const jchar*>(wide.data()), static_cast<jsize>(wide.size()));
}

jobjectArray javaStrings(JNIEnv* env, const std::vector<std::string>& texts) {
    jclass stringClass = env->FindClass("java/lang/String");
    jobjectArray array = stringClass ? env->NewObjectArray(static_cast<jsize>(texts.size()), stringClass, nullptr) : nullptr;
    for (std::size_t i = 0; array && i < texts.size(); ++i) {
        jstring element = javaString(env, texts[i]);
        if (!element) return nullptr;
        env->SetObjectArrayElement(array, static_cast<jsize>(i), element);
        env->DeleteLocalRef(element);
    }
    return array;
}

/// The request a start sends, read within kInstanceRequestMs whatever the start does; nullopt
/// for one that is too long, malformed or cut short.
std::optional<InstanceRequest> receiveRequest(platform::ChannelConnection& connection) {
    std::optional<std::string> lengthField = connection.receive(kInstanceLengthBytes, kInstanceRequestMs);
    std::optional<std::size_t> length = lengthField ? instanceRequestLength(*lengthField) : std::nullopt;
    std::optional<std::string> body = length ? connection.receive(*length, kInstanceRequestMs) : std::nullopt;
    return body ? decodeInstanceRequest(*body) : std::nullopt;
}

void startsAnew(bool verbose, const std::string& why) {
    if (verbose) printOut("Single instance: " + why + "; this start is a new instance\n");
}

/// Hands the request over and reads the answer; nullopt when none comes in time.
std::optional<char> handOver(platform::ChannelConnection& connection, const std::string& request) {
    // The running instance's window may come forward when its method asks for it.
    platform::allowToComeForward(connection.peerProcessId());
    if (!connection.send(request, kInstanceAnswerMs)) return std::nullopt;
    std::optional<std::string> answer = connection.receive(1, kInstanceAnswerMs);
    if (!answer) return std::nullopt;
    return (*answer)[0];
}

}  // namespace

std::string instanceKey(const std::string& configPath) {
    std::string path = platform::kNamesIgnoreCase ? lowerCaseCopy(configPath) : configPath;
    // The same name from every build of the launcher.
    return Digest().addBytes(path).hex(16);
}

InstanceCheck checkForRunningInstance(const LaunchSettings& settings, const std::string& workingDirectory) {
    InstanceCheck check;
    if (settings.singleInstanceClass.empty() || settings.multiInstance || settings.updateMode) return check;
    platform::ChannelClaim claim = platform::claimInstanceChannel(instanceKey(settings.configPath), kInstanceAnswerMs);
    if (claim.outcome == platform::ChannelClaim::Outcome::Owner) {
        check.listener = std::make_unique<InstanceListener>(std::move(claim.listener), settings.singleInstanceClass,
                                                            settings.singleInstanceMethod);
        return check;
    }
    if (claim.outcome == platform::ChannelClaim::Outcome::Unusable) {
        startsAnew(settings.verbose, claim.reason);
        return check;
    }
    std::optional<std::string> request = encodeInstanceRequest({workingDirectory, settings.appArgs});
    if (!request) {
        startsAnew(settings.verbose, "the arguments are too many or too long to hand over");
        return check;
    }
    std::optional<char> answer = handOver(*claim.connection, *request);
    if (!answer) {
        startsAnew(settings.verbose, "the running instance did not answer within " +
                                         std::to_string(kInstanceAnswerMs / 1000) + " seconds");
    } else if (*answer == kInstanceDelivered) {
        if (settings.verbose) printOut("Single instance: the arguments went to the running instance\n");
        check.exitCode = 0;
    } else {
        printErr("ERROR: The running instance failed to take the arguments: " +
                 displayName(settings.singleInstanceClass, settings.singleInstanceMethod) + " threw an exception\n");
        check.exitCode = 1;
    }
    return check;
}

InstanceListener::InstanceListener(std::unique_ptr<platform::ChannelListener> channel, std::string className,
                                   std::string methodName)
    : channel_(std::move(channel)), className_(std::move(className)), methodName_(std::move(methodName)) {}

InstanceListener::~InstanceListener() {
    turnOff();
    thread_.reset();
}

void InstanceListener::start() { thread_ = std::make_unique<platform::LauncherThread>([this] { serve(); }); }

void InstanceListener::vmEnding() noexcept {
    turnOff();
    thread_.reset();
}

void InstanceListener::turnOff() noexcept {
    state_ = State::Off;
    decided_.raise();
    if (channel_) channel_->stop();
}

void InstanceListener::vmCreated(JavaVM* vm, JNIEnv* env) {
    jclass found = env->FindClass(className_.c_str());
    jmethodID method = found ? env->GetStaticMethodID(found, methodName_.c_str(), kMethodSignature) : nullptr;
    env->ExceptionClear();
    if (found) env->DeleteLocalRef(found);
    if (!method) {
        printErr("WARNING: SetSingleInstance names no method public static void " + displayName(className_, methodName_) +
                 "(String, String[]); every start is a new instance\n");
        // The name goes at once: a later start must not wait for an answer that cannot come.
        turnOff();
        thread_.reset();
        channel_.reset();
        return;
    }
    vm_ = vm;
    method_ = method;
    state_ = State::Ready;
    decided_.raise();
}

void InstanceListener::serve() noexcept {
    try {
        while (std::unique_ptr<platform::ChannelConnection> connection = channel_->accept()) {
            std::optional<InstanceRequest> request = receiveRequest(*connection);
            if (!request) continue;
            decided_.wait();
            if (state_ != State::Ready) return;
            // No answer when the VM is gone: the start then runs as an instance of its own.
            if (std::optional<bool> delivered = deliver(*request))
                connection->send(std::string(1, *delivered ? kInstanceDelivered : kInstanceMethodFailed),
                                 kInstanceRequestMs);
        }
    } catch (...) {
        // Out of memory on this thread: the instance takes no more requests, and every later
        // start runs as an instance of its own.
        turnOff();
    }
}

std::optional<bool> InstanceListener::deliver(const InstanceRequest& request) {
    JNIEnv* env = nullptr;
    char threadName[] = "Single instance";
    JavaVMAttachArgs attachment{JNI_VERSION_1_2, threadName, nullptr};
    if (vm_->AttachCurrentThread(reinterpret_cast<void**>(&env), &attachment) != JNI_OK) return std::nullopt;
    bool delivered = false;
    if (jclass target = env->FindClass(className_.c_str())) {
        jstring directory = javaString(env, request.workingDirectory);
        jobjectArray arguments = directory ? javaStrings(env, request.arguments) : nullptr;
        if (arguments) env->CallStaticVoidMethod(target, method_, directory, arguments);
        delivered = arguments && !env->ExceptionCheck();
    }
    // The application's own exception, with its stack trace, as an uncaught one would show.
    if (env->ExceptionCheck()) env->ExceptionDescribe();
    vm_->DetachCurrentThread();
    return delivered;
}
