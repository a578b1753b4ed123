// One instance per user: a start of an application that runs already hands its arguments to
// the running instance and ends; the running instance takes them on a thread of its own and
// calls the application's method with them.
#pragma once

#include <jni.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "config/launch_settings.h"
#include "instance/instance_request.h"
#include "platform/instance_channel.h"

/// How long a start waits for the running instance's receipt, and then for the method's
/// result, unless LAUNCHER_INSTANCE_WAIT (whole seconds, for tests) says otherwise.
constexpr unsigned kInstanceAnswerMs = 10000;
/// How long the running instance gives one connection for its whole request and the start's
/// confirmation: no start holds the channel longer, however slowly it sends.
constexpr unsigned kInstanceRequestMs = 3000;
/// How often the instance asks, once the application's main has returned, whether the
/// application still runs.
constexpr unsigned kThreadPollMs = 150;
/// The most connections the running instance serves at once; a later one waits for a place.
constexpr std::size_t kInstanceConnectionsAtOnce = 64;

/// The running instance's side: takes requests on the channel from its claim on, each on a
/// thread of its own, gives each its receipt at once, and calls
/// `public static void <method>(String workingDirectory, String[] args)` of the application's
/// class with them one at a time, in the order they came, on a thread attached to the VM, once
/// the application's main has begun, for as long as the application runs. Its destruction ends
/// the threads and removes the channel's name.
class InstanceListener {
public:
    InstanceListener(std::unique_ptr<platform::ChannelListener> channel, std::string className, std::string methodName);
    ~InstanceListener();
    InstanceListener(const InstanceListener&) = delete;
    InstanceListener& operator=(const InstanceListener&) = delete;

    /// Starts taking requests; call it as soon as the channel is claimed.
    void start();
    /// With the VM made, on the thread that made it: finds the method through the application's
    /// class loader. When there is none of that signature, a WARNING line on stderr, and the
    /// channel closes (the application runs on, every later start is a new instance, and the
    /// starts whose requests waited take their arguments back).
    void vmCreated(JavaVM* vm, JNIEnv* env);
    /// Right before the application's main is called: the requests are delivered from now on.
    void mainStarting();
    /// Once the application's main has returned (its exception described), on its thread, which
    /// is still attached: serves on while the application runs, that is while another live
    /// non-daemon thread of the VM exists or a request is taken and not yet delivered, asking
    /// every kThreadPollMs; then turns off. At once when the instance is off already or the VM
    /// cannot say which threads it runs.
    void mainReturned(JNIEnv* env) noexcept;
    /// Before the VM is destroyed: takes no more requests, hands back those not yet begun (their
    /// starts try again) and returns once a delivery under way has ended, so that nothing of
    /// the VM is called after it.
    void vmEnding() noexcept;
    /// The process ends now (System.exit), from whatever thread the VM ends it on: the channel's
    /// name goes at once; nothing is waited for.
    void processEnding() noexcept;

private:
    enum class State { WaitingForMain, Ready, Off };
    struct Connection;
    /// The acceptor's work; nothing escapes it.
    void serve() noexcept;
    /// One connection's work: the request, the receipt, its turn and its delivery.
    void handle(Connection& connection) noexcept;
    /// Calls the method with the request; false when the method threw (after its stack trace
    /// on stderr), nullopt when the thread cannot attach to the VM.
    std::optional<bool> deliver(const InstanceRequest& request);
    void turnOff() noexcept;

    std::unique_ptr<platform::ChannelListener> channel_;
    std::string className_;
    std::string methodName_;
    /// Guards what follows it, and wakes the connections waiting for their turn.
    platform::Monitor monitor_;
    State state_ = State::WaitingForMain;
    std::size_t nextTicket_ = 0;
    std::size_t nowServing_ = 0;
    std::vector<std::unique_ptr<Connection>> connections_;
    JavaVM* vm_ = nullptr;
    jmethodID method_ = nullptr;
    std::unique_ptr<platform::LauncherThread> acceptor_;
};

/// What a start with SetSingleInstance found.
struct InstanceCheck {
    /// Set when this start is done: 0 when the running instance took the arguments, 1 when
    /// its method failed (after one line on stderr).
    std::optional<int> exitCode;
    /// Set when this start is the instance: the channel is this process's, not yet served.
    std::unique_ptr<InstanceListener> listener;
    /// What the start found, as -verbose says it; empty without SetSingleInstance.
    std::string note;
};

/// Looks for the running instance of the application of `settings` (the same configuration
/// file, by its real path, the same user) and hands it `workingDirectory` and the application
/// arguments. Nothing at all without SetSingleInstance, in update mode or with multiInstance
/// (-multi, a debug option). A start whose request the instance took never runs as an instance
/// of its own: it ends with the method's outcome, or with 0 and a warning when the method takes
/// longer than the limit. One whose instance ended before it began the request tries again. A
/// running instance that does not take the request within the limit, or something at the
/// channel that answers as no instance does, makes this start a new instance, with a WARNING
/// line; a channel that cannot be used (another user's, a damaged one), with a -verbose line.
InstanceCheck checkForRunningInstance(const LaunchSettings& settings, const std::string& workingDirectory);

/// The channel's key of an application: a digest of its configuration file's full path, its
/// links and "." and ".." resolved where the file exists (in one letter case where file names
/// ignore it).
std::string instanceKey(const std::string& configPath);
