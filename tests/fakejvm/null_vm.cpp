// The null VM (the library built with FAKEJVM_NULL), for the benchmark: JNI_CreateJavaVM
// succeeds at once and every JNI function the launcher calls returns in constant time, so that
// a launch through it costs the launcher's own work alone: no record, no search through the
// strings and arrays made. With FAKEJVM_NULL_REPORT set it prints one line on stdout when main
// is called, saying what it received, so that the benchmark can check that each timed launch
// did the work it was meant to.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fake_jvm.h"

namespace fakejvm {

namespace {

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

void mainCalled() {
    if (!report) return;
    std::printf("nulljvm options=%ld classpath=%ld main=%s args=%ld set=%ld\n", counts.options,
                counts.classPathEntries, counts.mainClass, counts.arrayLength, counts.elementsSet);
    std::fflush(stdout);
}

/// The JNI functions of this VM, for the tables.
struct NullVm {
    static jclass JNICALL findClass(JNIEnv*, const char* name) {
        if (std::strcmp(name, "java/lang/String") == 0) return reinterpret_cast<jclass>(&stringClassTag);
        std::snprintf(counts.mainClass, sizeof counts.mainClass, "%s", name);
        return reinterpret_cast<jclass>(&classTag);
    }

    static jmethodID JNICALL getStaticMethodID(JNIEnv*, jclass, const char*, const char*) {
        return reinterpret_cast<jmethodID>(&methodTag);
    }

    static jstring JNICALL newStringUTF(JNIEnv*, const char*) { return reinterpret_cast<jstring>(&stringTag); }
    static jstring JNICALL newString(JNIEnv*, const jchar*, jsize) { return reinterpret_cast<jstring>(&stringTag); }

    static jobjectArray JNICALL newObjectArray(JNIEnv*, jsize length, jclass, jobject) {
        counts.arrayLength = length;
        return reinterpret_cast<jobjectArray>(&arrayTag);
    }

    static void JNICALL setObjectArrayElement(JNIEnv*, jobjectArray, jsize, jobject) { ++counts.elementsSet; }
    static void JNICALL callStaticVoidMethod(JNIEnv*, jclass, jmethodID, ...) { mainCalled(); }
    static void JNICALL callStaticVoidMethodV(JNIEnv*, jclass, jmethodID, va_list) { mainCalled(); }
    static void JNICALL callStaticVoidMethodA(JNIEnv*, jclass, jmethodID, const jvalue*) { mainCalled(); }
    static jobject JNICALL callStaticObjectMethodV(JNIEnv*, jclass, jmethodID, va_list) { return nullptr; }
    static const char* JNICALL getStringUTFChars(JNIEnv*, jstring, jboolean*) { return ""; }
    static void JNICALL releaseStringUTFChars(JNIEnv*, jstring, const char*) {}
    static jthrowable JNICALL exceptionOccurred(JNIEnv*) { return nullptr; }
    static jboolean JNICALL exceptionCheck(JNIEnv*) { return JNI_FALSE; }
    static void JNICALL exceptionDescribe(JNIEnv*) {}
    static void JNICALL exceptionClear(JNIEnv*) {}
    static void JNICALL deleteLocalRef(JNIEnv*, jobject) {}
    static jboolean JNICALL isInstanceOf(JNIEnv*, jobject, jclass) { return JNI_FALSE; }
    static jint JNICALL throwObject(JNIEnv*, jthrowable) { return JNI_OK; }
    // No exception is ever pending here, so none is read.
    static jclass JNICALL getObjectClass(JNIEnv*, jobject) { return nullptr; }
    static jmethodID JNICALL getMethodID(JNIEnv*, jclass, const char*, const char*) { return nullptr; }
    static jobject JNICALL callObjectMethodV(JNIEnv*, jobject, jmethodID, va_list) { return nullptr; }
    static jsize JNICALL getArrayLength(JNIEnv*, jarray) { return 0; }
    static jobject JNICALL getObjectArrayElement(JNIEnv*, jobjectArray, jsize) { return nullptr; }
    static jboolean JNICALL isSameObject(JNIEnv*, jobject, jobject) { return JNI_FALSE; }
    static jint JNICALL callIntMethodV(JNIEnv*, jobject, jmethodID, va_list) { return 0; }
    static jboolean JNICALL callBooleanMethodV(JNIEnv*, jobject, jmethodID, va_list) { return JNI_FALSE; }
    static jint JNICALL getVersion(JNIEnv*) { return JNI_VERSION_1_2; }
    static jint JNICALL destroyJavaVM(JavaVM*) { return JNI_OK; }
    /// The one environment serves every thread: nothing here keeps a thread's state.
    static jint JNICALL attachCurrentThread(JavaVM*, void** env, void*) {
        *env = theEnv;
        return JNI_OK;
    }
    static void* theEnv;
    static jint JNICALL detachCurrentThread(JavaVM*) { return JNI_OK; }
};

void* NullVm::theEnv = nullptr;

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

}  // namespace

jint createNullVm(JavaVM** vm, void** env, const JavaVMInitArgs& initArgs) {
    report = std::getenv("FAKEJVM_NULL_REPORT") != nullptr;
    counts.options = initArgs.nOptions;
    if (report) countClassPath(initArgs);
    handOutTables<NullVm>(vm, env);
    NullVm::theEnv = *env;
    return JNI_OK;
}

}  // namespace fakejvm
