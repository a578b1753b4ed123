// What keeps a VM's DestroyJavaVM waiting: its live non-daemon threads, asked through plain JNI
// on java.lang.Thread and java.lang.ThreadGroup from a thread attached to the VM.
#pragma once

#include <jni.h>

#include <optional>

class LiveThreads {
public:
    /// Looks up, on the calling thread, what the question needs: the classes, their methods,
    /// the calling thread's Thread and the root of the thread groups. Leaves no exception
    /// pending.
    explicit LiveThreads(JNIEnv* env);
    ~LiveThreads();
    LiveThreads(const LiveThreads&) = delete;
    LiveThreads& operator=(const LiveThreads&) = delete;

    /// Whether a live non-daemon thread other than the calling one exists now (an attached
    /// thread counts as one); nullopt when the VM cannot say (a lookup failed, something threw,
    /// no memory). Leaves no exception pending and no local reference behind.
    std::optional<bool> othersRunning();

private:
    JNIEnv* env_;
    jclass threadClass_ = nullptr;
    jmethodID isDaemon_ = nullptr;
    jmethodID activeCount_ = nullptr;
    jmethodID enumerate_ = nullptr;
    jobject self_ = nullptr;
    jobject root_ = nullptr;
};
