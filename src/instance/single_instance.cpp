#include "instance/single_instance.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "base/digest.h"
#include "base/path_names.h"
#include "base/text_ops.h"
#include "instance/live_threads.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/platform.h"
#include "platform/processes.h"
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

/// The request a start sends, read within `timeoutMs` in all whatever the start does; nullopt
/// for one that is too long, malformed or cut short.
std::optional<InstanceRequest> receiveRequest(platform::ChannelConnection& connection, unsigned timeoutMs) {
    unsigned long long deadline = platform::steadyMilliseconds() + timeoutMs;
    std::optional<std::string> lengthField = connection.receive(kInstanceLengthBytes, timeoutMs);
    std::optional<std::size_t> length = lengthField ? instanceRequestLength(*lengthField) : std::nullopt;
    unsigned long long now = platform::steadyMilliseconds();
    if (!length || now >= deadline) return std::nullopt;
    std::optional<std::string> body = connection.receive(*length, static_cast<unsigned>(deadline - now));
    return body ? decodeInstanceRequest(*body) : std::nullopt;
}

std::string startsAnew(bool verbose, const std::string& why) {
    std::string note = why + "; this start is a new instance";
    if (verbose) printOut("Single instance: " + note + "\n");
    return note;
}

/// How a hand-over ended.
enum class HandOver {
    Delivered,     ///< the method returned, or began with the request
    MethodFailed,  ///< the method threw
    StillBusy,     ///< taken, but not done with within the limit
    Returned,      ///< the connection closed before the instance began with the request
    NoReceipt,     ///< nothing took the request within the limit: withdrawn
    Garbage,       ///< an answer that no instance gives (the last)
};

/// What a start does once a hand-over ended so: the line it prints on stderr ({seconds}: the
/// limit, {method}: the method's name; a warning's text is split where they come, as its
/// console table reads it; none: the note on stdout with -verbose), the note it keeps, its
/// exit code (none: it goes on as an instance of its own), and whether it tries again first
/// (while attempts remain; the line and the note count after the last).
struct HandOverOutcome {
    HandOver handOver;
    const char* line;
    const char* note;
    std::optional<int> exitCode;
    bool retries;
};

/// One row per way a hand-over ends, in HandOver's order.
constexpr HandOverOutcome kHandOverOutcomes[] = {
    {HandOver::Delivered, nullptr, "the arguments went to the running instance", 0, false},
    {HandOver::MethodFailed, "ERROR: The running instance failed to take the arguments: {method} threw an exception",
     "the running instance failed to take the arguments", 1, false},
    {HandOver::StillBusy,
     "WARNING: The running instance took the arguments and is still handling them after "
     "{seconds}; this start ends",
     "the running instance took the arguments and is still handling them", 0, false},
    {HandOver::Returned,
     "WARNING: What listens at the single instance's channel closed the connection without taking the arguments; "
     "this start is a new instance",
     "what listens at the channel closed the connection; this start is a new instance", std::nullopt, true},
    {HandOver::NoReceipt,
     "WARNING: The running instance did not take the arguments within "
     "{seconds}; this start is a new instance",
     "the running instance did not take the arguments; this start is a new instance", std::nullopt, false},
    {HandOver::Garbage,
     "WARNING: What listens at the single instance's channel answered as no instance does; this start is a new "
     "instance",
     "what listens at the channel answered as no instance does; this start is a new instance", std::nullopt, false},
};

constexpr bool rowsInOrder() {
    std::size_t row = 0;
    for (const HandOverOutcome& outcome : kHandOverOutcomes)
        if (static_cast<std::size_t>(outcome.handOver) != row++) return false;
    return row == static_cast<std::size_t>(HandOver::Garbage) + 1;
}
static_assert(rowsInOrder(), "one row per way a hand-over ends, in HandOver's order");

/// One byte within `timeoutMs`; nullopt with `timedOut` set when the limit passed, unset when
/// the peer closed first. As the wait says, not a clock: a limit passed must never read as the
/// instance's close, which would count a request still in its method as delivered.
std::optional<char> receiveByte(platform::ChannelConnection& connection, unsigned timeoutMs, bool& timedOut) {
    std::optional<std::string> byte = connection.receive(1, timeoutMs, &timedOut);
    if (!byte) return std::nullopt;
    return (*byte)[0];
}

/// Hands the request over: its receipt within `waitMs`, then the method's outcome within
/// `waitMs` more. The connection's close tells which side of the method's start it came on.
HandOver handOver(platform::ChannelConnection& connection, const std::string& request, unsigned waitMs) {
    // The running instance's window may come forward when its method asks for it.
    platform::allowToComeForward(connection.peerProcessId());
    bool timedOut = false;
    unsigned long long deadline = platform::steadyMilliseconds() + waitMs;
    if (!connection.send(request, waitMs))
        return platform::steadyMilliseconds() >= deadline ? HandOver::NoReceipt : HandOver::Returned;
    unsigned long long now = platform::steadyMilliseconds();
    std::optional<char> receipt = receiveByte(connection, now < deadline ? static_cast<unsigned>(deadline - now) : 1, timedOut);
    if (!receipt) return timedOut ? HandOver::NoReceipt : HandOver::Returned;
    if (*receipt != kInstanceReceipt) return HandOver::Garbage;
    if (!connection.send(std::string(1, kInstanceConfirmed), kInstanceRequestMs)) return HandOver::Returned;
    deadline = platform::steadyMilliseconds() + waitMs;
    std::optional<char> begun = receiveByte(connection, waitMs, timedOut);
    if (!begun) return timedOut ? HandOver::StillBusy : HandOver::Returned;
    if (*begun != kInstanceDelivering) return HandOver::Garbage;
    now = platform::steadyMilliseconds();
    std::optional<char> outcome = receiveByte(connection, now < deadline ? static_cast<unsigned>(deadline - now) : 1, timedOut);
    // A close after the method began: the request was the method's (it may have ended the VM).
    if (!outcome) return timedOut ? HandOver::StillBusy : HandOver::Delivered;
    if (*outcome == kInstanceDelivered) return HandOver::Delivered;
    return *outcome == kInstanceMethodFailed ? HandOver::MethodFailed : HandOver::Garbage;
}

/// The limit of a start's waits: LAUNCHER_INSTANCE_WAIT's whole seconds (1 to 600), for tests
/// that must not wait long, else kInstanceAnswerMs.
unsigned instanceWaitMs() {
    std::optional<std::string> text = platform::getEnv("LAUNCHER_INSTANCE_WAIT");
    if (!text || text->empty() || text->size() > 3 || text->find_first_not_of("0123456789") != std::string::npos)
        return kInstanceAnswerMs;
    unsigned seconds = static_cast<unsigned>(std::stoul(*text));
    return seconds >= 1 && seconds <= 600 ? seconds * 1000 : kInstanceAnswerMs;
}

/// The configuration file as the system finds it: "." and ".." and links resolved, so that
/// every way of naming one file names one application.
std::string realConfigPath(const std::string& configPath) {
    std::string full = platform::absolutePath(configPath);
    return platform::resolvedPath(full).value_or(full);
}

/// How often a start whose instance ended before it began with the request tries again: the
/// instance that follows (or this start) takes the channel meanwhile.
constexpr int kInstanceAttempts = 5;

}  // namespace

std::string instanceKey(const std::string& configPath) {
    std::string path = platform::kNamesIgnoreCase ? lowerCaseCopy(configPath) : configPath;
    // The same name from every build of the launcher.
    return Digest().addBytes(path).hex(16);
}

InstanceCheck checkForRunningInstance(const LaunchSettings& settings, const std::string& workingDirectory) {
    InstanceCheck check;
    if (settings.singleInstanceClass.empty() || settings.multiInstance || settings.updateMode) return check;
    std::optional<std::string> request = encodeInstanceRequest({workingDirectory, settings.appArgs});
    std::string key = instanceKey(realConfigPath(settings.configPath));
    unsigned waitMs = instanceWaitMs();
    std::string seconds = std::to_string(waitMs / 1000) + (waitMs == 1000 ? " second" : " seconds");
    for (int attempt = 1;; ++attempt) {
        platform::ChannelClaim claim = platform::claimInstanceChannel(key, waitMs);
        if (claim.outcome == platform::ChannelClaim::Outcome::Owner) {
            check.listener = std::make_unique<InstanceListener>(std::move(claim.listener), settings.singleInstanceClass,
                                                                settings.singleInstanceMethod);
            check.note = "this start is the running instance";
            return check;
        }
        if (claim.outcome == platform::ChannelClaim::Outcome::Unusable) {
            check.note = startsAnew(settings.verbose, claim.reason);
            return check;
        }
        if (!request) {
            check.note = startsAnew(settings.verbose, "the arguments are too many or too long to hand over");
            return check;
        }
        const HandOverOutcome& outcome =
            kHandOverOutcomes[static_cast<std::size_t>(handOver(*claim.connection, *request, waitMs))];
        if (outcome.retries && attempt < kInstanceAttempts) {
            claim.connection.reset();
            platform::pauseMilliseconds(100u * static_cast<unsigned>(attempt));
            continue;
        }
        check.note = outcome.note;
        check.exitCode = outcome.exitCode;
        if (outcome.line) {
            std::string line = outcome.line;
            replaceAll(line, "{seconds}", seconds);
            replaceAll(line, "{method}", displayName(settings.singleInstanceClass, settings.singleInstanceMethod));
            printErr(line + "\n");
        } else if (settings.verbose) {
            printOut("Single instance: " + check.note + "\n");
        }
        return check;
    }
}

struct InstanceListener::Connection {
    std::unique_ptr<platform::ChannelConnection> channel;
    bool done = false;
    /// Last, so that it is joined before the connection closes.
    std::unique_ptr<platform::LauncherThread> thread;
};

InstanceListener::InstanceListener(std::unique_ptr<platform::ChannelListener> channel, std::string className,
                                   std::string methodName)
    : channel_(std::move(channel)), className_(std::move(className)), methodName_(std::move(methodName)) {}

InstanceListener::~InstanceListener() { turnOff(); }

void InstanceListener::start() { acceptor_ = std::make_unique<platform::LauncherThread>([this] { serve(); }); }

void InstanceListener::vmEnding() noexcept { turnOff(); }

void InstanceListener::mainReturned(JNIEnv* env) noexcept {
    {
        platform::MonitorLock lock(monitor_);
        if (state_ == State::Off) return;
    }
    try {
        // Looked up only once no delivery is under way: nothing of it comes between a
        // delivery's calls.
        std::optional<LiveThreads> threads;
        for (;;) {
            std::size_t taken = 0;
            bool delivering = false;
            {
                platform::MonitorLock lock(monitor_);
                if (state_ == State::Off) break;
                taken = nextTicket_;
                delivering = nowServing_ != nextTicket_;
            }
            if (!delivering) {
                if (!threads) threads.emplace(env);
                std::optional<bool> others = threads->othersRunning();
                if (!others) break;
                // Off, in one step with the check, only when no request was taken since nothing
                // was being delivered: whatever thread a delivery starts, the question above saw
                // it. What remains: a thread that the question could not see yet, one that a
                // daemon thread (or a native thread the application attached itself) starts
                // right after it, keeps the VM running with the channel closed, and later starts
                // are instances of their own.
                platform::MonitorLock lock(monitor_);
                if (!*others && nextTicket_ == taken) {
                    state_ = State::Off;
                    monitor_.notifyAll();
                    break;
                }
            }
            platform::pauseMilliseconds(kThreadPollMs);
        }
    } catch (...) {
        // Out of memory: the instance ends as it would have once main returned.
    }
    turnOff();
}

void InstanceListener::turnOff() noexcept {
    {
        platform::MonitorLock lock(monitor_);
        state_ = State::Off;
        monitor_.notifyAll();
        if (channel_) channel_->stop();
    }
    acceptor_.reset();
    std::vector<std::unique_ptr<Connection>> connections;
    {
        platform::MonitorLock lock(monitor_);
        connections.swap(connections_);
    }
    // Each ends within the time of one connection, or once its delivery under way has ended.
    connections.clear();
}

void InstanceListener::processEnding() noexcept {
    platform::MonitorLock lock(monitor_);
    if (channel_) channel_->release();
}

void InstanceListener::mainStarting() {
    platform::MonitorLock lock(monitor_);
    if (state_ == State::WaitingForMain && method_) state_ = State::Ready;
    monitor_.notifyAll();
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
        platform::MonitorLock lock(monitor_);
        channel_.reset();
        return;
    }
    platform::MonitorLock lock(monitor_);
    vm_ = vm;
    method_ = method;
}

void InstanceListener::serve() noexcept {
    try {
        while (std::unique_ptr<platform::ChannelConnection> accepted = channel_->accept()) {
            platform::MonitorLock lock(monitor_);
            // The threads of connections that are done are joined as the next one comes.
            auto done = [](const std::unique_ptr<Connection>& c) { return c->done; };
            connections_.erase(std::remove_if(connections_.begin(), connections_.end(), done), connections_.end());
            while (state_ != State::Off && connections_.size() >= kInstanceConnectionsAtOnce) {
                monitor_.wait();
                connections_.erase(std::remove_if(connections_.begin(), connections_.end(), done), connections_.end());
            }
            if (state_ == State::Off) return;
            connections_.push_back(std::make_unique<Connection>());
            Connection* connection = connections_.back().get();
            connection->channel = std::move(accepted);
            connection->thread = std::make_unique<platform::LauncherThread>([this, connection] { handle(*connection); });
        }
    } catch (...) {
        // Out of memory on this thread: the instance takes no more requests, and every later
        // start runs as an instance of its own.
        platform::MonitorLock lock(monitor_);
        state_ = State::Off;
        monitor_.notifyAll();
    }
}

void InstanceListener::handle(Connection& connection) noexcept {
    platform::ChannelConnection& channel = *connection.channel;
    try {
        // The request, the receipt and the start's confirmation, within one connection's time.
        std::optional<InstanceRequest> request = receiveRequest(channel, kInstanceRequestMs);
        bool taken = request && channel.send(std::string(1, kInstanceReceipt), kInstanceRequestMs) &&
                     channel.receive(1, kInstanceRequestMs) == std::string(1, kInstanceConfirmed);
        std::size_t ticket = 0;
        if (taken) {
            platform::MonitorLock lock(monitor_);
            ticket = nextTicket_++;
            while (state_ != State::Off && !(state_ == State::Ready && nowServing_ == ticket)) monitor_.wait();
            taken = state_ == State::Ready;
        }
        // The turn passes on however the delivery ends.
        struct TurnPasses {
            InstanceListener& listener;
            bool mine;
            ~TurnPasses() {
                if (!mine) return;
                platform::MonitorLock lock(listener.monitor_);
                ++listener.nowServing_;
                listener.monitor_.notifyAll();
            }
        } turn{*this, taken};
        // A request not begun with when the instance ends goes back to its start, which tries
        // again; one begun with is the method's, even when its start has stopped waiting.
        if (taken) {
            channel.send(std::string(1, kInstanceDelivering), kInstanceRequestMs);
            // No outcome when the VM is gone: the start already knows the method had it.
            if (std::optional<bool> delivered = deliver(*request))
                channel.send(std::string(1, *delivered ? kInstanceDelivered : kInstanceMethodFailed), kInstanceRequestMs);
        }
    } catch (...) {
        // Out of memory on this thread: the connection closes, and its start tries again.
    }
    platform::MonitorLock lock(monitor_);
    connection.channel.reset();
    connection.done = true;
    monitor_.notifyAll();
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
