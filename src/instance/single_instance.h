// One instance per user: a start of an application that runs already hands its arguments to
// the running instance and ends; the running instance takes them on a thread of its own and
// calls the application's method with them.
#pragma once

#include <jni.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>

#include "config/launch_settings.h"
#include "instance/instance_request.h"
#include "platform/instance_channel.h"

/// How long a start waits for the running instance's answer before it starts anew.
constexpr unsigned kInstanceAnswerMs = 10000;
/// How long the running instance waits for a start to send its whole request.
constexpr unsigned kInstanceRequestMs = 3000;

/// The running instance's side: takes requests on the channel one at a time and calls
/// `public static void <method>(String workingDirectory, String[] args)` of the application's
/// class with each, on a thread attached to the VM. Requests that come before the VM is made
/// wait for it. Its destruction ends the thread and removes the channel's name.
class InstanceListener {
public:
    InstanceListener(std::unique_ptr<platform::ChannelListener> channel, std::string className, std::string methodName);
    ~InstanceListener();
    InstanceListener(const InstanceListener&) = delete;
    InstanceListener& operator=(const InstanceListener&) = delete;

    /// Starts the thread; call it before the VM is made, which starts threads of its own.
    void start();
    /// With the VM made, on the thread that made it: finds the method through the application's
    /// class loader. When there is none of that signature, a WARNING line on stderr, and the
    /// channel closes (the application runs on, every later start is a new instance).
    void vmCreated(JavaVM* vm, JNIEnv* env);
    /// Before the VM is destroyed: no longer ready, takes no more requests, and returns once a
    /// delivery under way has ended, so that nothing of the VM is called after it.
    void vmEnding() noexcept;

private:
    enum class State { WaitingForVm, Ready, Off };
    /// The thread's work; nothing escapes it.
    void serve() noexcept;
    /// Calls the method with the request; false when the thread cannot attach to the VM
    /// (nullopt) or the method threw (after its stack trace on stderr).
    std::optional<bool> deliver(const InstanceRequest& request);
    void turnOff() noexcept;

    std::unique_ptr<platform::ChannelListener> channel_;
    std::string className_;
    std::string methodName_;
    /// Raised once the state is Ready or Off; vm_ and method_ are written before it is.
    platform::OneTimeSignal decided_;
    std::atomic<State> state_{State::WaitingForVm};
    JavaVM* vm_ = nullptr;
    jmethodID method_ = nullptr;
    std::unique_ptr<platform::LauncherThread> thread_;
};

/// What a start with SetSingleInstance found.
struct InstanceCheck {
    /// Set when this start is done: 0 when the running instance took the arguments, 1 when
    /// its method failed (after one line on stderr).
    std::optional<int> exitCode;
    /// Set when this start is the instance: the channel is this process's, not yet served.
    std::unique_ptr<InstanceListener> listener;
};

/// Looks for the running instance of the application of `settings` (the same configuration
/// file, the same user) and hands it `workingDirectory` and the application arguments. Nothing
/// at all without SetSingleInstance, in update mode or with multiInstance (-multi, a debug
/// option). Every way to the running instance that fails (another user's or a damaged
/// channel, no answer within kInstanceAnswerMs, a connection cut) makes this start a new
/// instance, with a -verbose line saying why.
InstanceCheck checkForRunningInstance(const LaunchSettings& settings, const std::string& workingDirectory);

/// The channel's key of an application: a digest of its configuration file's full path (in
/// one letter case where file names ignore it).
std::string instanceKey(const std::string& configPath);
