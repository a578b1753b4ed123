#include "instance/live_threads.h"

namespace {

/// Room in the list for threads started between the count and the listing.
constexpr jint kThreadsToSpare = 8;

}  // namespace

LiveThreads::LiveThreads(JNIEnv* env) : env_(env) {
    threadClass_ = env->FindClass("java/lang/Thread");
    jclass groupClass = threadClass_ ? env->FindClass("java/lang/ThreadGroup") : nullptr;
    jmethodID current = groupClass ? env->GetStaticMethodID(threadClass_, "currentThread", "()Ljava/lang/Thread;") : nullptr;
    jmethodID groupOf = current ? env->GetMethodID(threadClass_, "getThreadGroup", "()Ljava/lang/ThreadGroup;") : nullptr;
    isDaemon_ = groupOf ? env->GetMethodID(threadClass_, "isDaemon", "()Z") : nullptr;
    jmethodID parentOf = isDaemon_ ? env->GetMethodID(groupClass, "getParent", "()Ljava/lang/ThreadGroup;") : nullptr;
    activeCount_ = parentOf ? env->GetMethodID(groupClass, "activeCount", "()I") : nullptr;
    enumerate_ = activeCount_ ? env->GetMethodID(groupClass, "enumerate", "([Ljava/lang/Thread;Z)I") : nullptr;
    self_ = enumerate_ ? env->CallStaticObjectMethod(threadClass_, current) : nullptr;
    jobject group = self_ && !env->ExceptionCheck() ? env->CallObjectMethod(self_, groupOf) : nullptr;
    // The root group holds every platform thread, the VM's own and those of other groups.
    while (group && !env->ExceptionCheck()) {
        jobject parent = env->CallObjectMethod(group, parentOf);
        if (!parent || env->ExceptionCheck()) break;
        env->DeleteLocalRef(group);
        group = parent;
    }
    if (env->ExceptionCheck()) {
        env->ExceptionClear();
        if (group) env->DeleteLocalRef(group);
        group = nullptr;
    }
    root_ = group;
    if (groupClass) env->DeleteLocalRef(groupClass);
}

LiveThreads::~LiveThreads() {
    for (jobject local : {static_cast<jobject>(threadClass_), self_, root_})
        if (local) env_->DeleteLocalRef(local);
}

std::optional<bool> LiveThreads::othersRunning() {
    if (!root_) return std::nullopt;
    jint counted = env_->CallIntMethod(root_, activeCount_);
    jobjectArray threads = !env_->ExceptionCheck() && counted >= 0
                               ? env_->NewObjectArray(counted + kThreadsToSpare, threadClass_, nullptr)
                               : nullptr;
    jint listed = threads ? env_->CallIntMethod(root_, enumerate_, threads, JNI_TRUE) : 0;
    std::optional<bool> others;
    if (threads && !env_->ExceptionCheck()) {
        // A full list may have left threads out: they may be others, asked again next time.
        others = listed >= counted + kThreadsToSpare;
        for (jint i = 0; i < listed && !*others && !env_->ExceptionCheck(); ++i) {
            jobject thread = env_->GetObjectArrayElement(threads, i);
            others = thread && !env_->IsSameObject(thread, self_) && !env_->CallBooleanMethod(thread, isDaemon_);
            if (thread) env_->DeleteLocalRef(thread);
        }
    }
    if (env_->ExceptionCheck()) {
        env_->ExceptionClear();
        others = std::nullopt;
    }
    if (threads) env_->DeleteLocalRef(threads);
    return others;
}
