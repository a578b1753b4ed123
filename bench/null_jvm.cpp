// A VM library that costs nothing: JNI_CreateJavaVM succeeds at once and every JNI function
// the launcher calls returns in constant time, so a launch through it measures the launcher's
// own work alone. With BENCH_NULLJVM_REPORT set in the environment it prints one line on
// stdout when main is called, saying what it received, so the benchmark can check that each
// timed launch did the work it was meant to.
//
// A JNI function the launcher has no business calling ends the process with code 99.
#define _JNI_IMPLEMENTATION_
#include <jni.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

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

[[noreturn]] void JNICALL unexpectedCall() {
    std::fputs("nulljvm: unexpected JNI call\n", stderr);
    std::fflush(nullptr);
    std::_Exit(99);
}

jclass JNICALL findClass(JNIEnv*, const char* name) {
    if (std::strcmp(name, "java/lang/String") == 0) return reinterpret_cast<jclass>(&stringClassTag);
    std::snprintf(counts.mainClass, sizeof counts.mainClass, "%s", name);
    return reinterpret_cast<jclass>(&classTag);
}

jmethodID JNICALL getStaticMethodID(JNIEnv*, jclass, const char*, const char*) {
    return reinterpret_cast<jmethodID>(&methodTag);
}

jstring JNICALL newStringUTF(JNIEnv*, const char*) { return reinterpret_cast<jstring>(&stringTag); }
jstring JNICALL newString(JNIEnv*, const jchar*, jsize) { return reinterpret_cast<jstring>(&stringTag); }

jobjectArray JNICALL newObjectArray(JNIEnv*, jsize length, jclass, jobject) {
    counts.arrayLength = length;
    return reinterpret_cast<jobjectArray>(&arrayTag);
}

void JNICALL setObjectArrayElement(JNIEnv*, jobjectArray, jsize, jobject) { ++counts.elementsSet; }

void mainCalled() {
    if (!report) return;
    std::printf("nulljvm options=%ld classpath=%ld main=%s args=%ld set=%ld\n", counts.options,
                counts.classPathEntries, counts.mainClass, counts.arrayLength, counts.elementsSet);
    std::fflush(stdout);
}

void JNICALL callStaticVoidMethod(JNIEnv*, jclass, jmethodID, ...) { mainCalled(); }
void JNICALL callStaticVoidMethodV(JNIEnv*, jclass, jmethodID, va_list) { mainCalled(); }
void JNICALL callStaticVoidMethodA(JNIEnv*, jclass, jmethodID, const jvalue*) { mainCalled(); }
jthrowable JNICALL exceptionOccurred(JNIEnv*) { return nullptr; }
jboolean JNICALL exceptionCheck(JNIEnv*) { return JNI_FALSE; }
void JNICALL exceptionDescribe(JNIEnv*) {}
void JNICALL exceptionClear(JNIEnv*) {}
void JNICALL deleteLocalRef(JNIEnv*, jobject) {}
jint JNICALL getVersion(JNIEnv*) { return JNI_VERSION_1_2; }
jint JNICALL destroyJavaVM(JavaVM*) { return JNI_OK; }
jint JNICALL detachCurrentThread(JavaVM*) { return JNI_OK; }

template <typename Table>
void fillWithUnexpected(Table& table) {
    using Slot = void(JNICALL*)();
    Slot slots[sizeof(Table) / sizeof(Slot)];
    for (auto& slot : slots) slot = reinterpret_cast<Slot>(&unexpectedCall);
    std::memcpy(&table, slots, sizeof(Table));
}

JNINativeInterface_ envTable;
JNIInvokeInterface_ vmTable;
JNIEnv envObject;
JavaVM vmObject;

void buildTables() {
    fillWithUnexpected(envTable);
    envTable.reserved0 = envTable.reserved1 = envTable.reserved2 = envTable.reserved3 = nullptr;
    envTable.GetVersion = &getVersion;
    envTable.FindClass = &findClass;
    envTable.GetStaticMethodID = &getStaticMethodID;
    envTable.NewStringUTF = &newStringUTF;
    envTable.NewString = &newString;
    envTable.NewObjectArray = &newObjectArray;
    envTable.SetObjectArrayElement = &setObjectArrayElement;
    envTable.CallStaticVoidMethod = &callStaticVoidMethod;
    envTable.CallStaticVoidMethodV = &callStaticVoidMethodV;
    envTable.CallStaticVoidMethodA = &callStaticVoidMethodA;
    envTable.ExceptionOccurred = &exceptionOccurred;
    envTable.ExceptionCheck = &exceptionCheck;
    envTable.ExceptionDescribe = &exceptionDescribe;
    envTable.ExceptionClear = &exceptionClear;
    envTable.DeleteLocalRef = &deleteLocalRef;
    envObject.functions = &envTable;
    fillWithUnexpected(vmTable);
    vmTable.reserved0 = vmTable.reserved1 = vmTable.reserved2 = nullptr;
    vmTable.DestroyJavaVM = &destroyJavaVM;
    vmTable.DetachCurrentThread = &detachCurrentThread;
    vmObject.functions = &vmTable;
}

}  // namespace

extern "C" {

JNIEXPORT jint JNICALL JNI_CreateJavaVM(JavaVM** vm, void** env, void* args) {
    const auto* initArgs = static_cast<const JavaVMInitArgs*>(args);
    report = std::getenv("BENCH_NULLJVM_REPORT") != nullptr;
    counts.options = initArgs->nOptions;
    if (report) {
        const char* prefix = "-Djava.class.path=";
        for (jint i = 0; i < initArgs->nOptions; ++i) {
            const char* text = initArgs->options[i].optionString;
            if (std::strncmp(text, prefix, std::strlen(prefix)) != 0) continue;
            // Non-empty entries: the listing of a directory may leave a separator at the end.
            bool inEntry = false;
            for (const char* c = text + std::strlen(prefix); *c; ++c) {
                if (*c == ':') {
                    inEntry = false;
                } else if (!inEntry) {
                    inEntry = true;
                    ++counts.classPathEntries;
                }
            }
        }
    }
    buildTables();
    *vm = &vmObject;
    *env = &envObject;
    return JNI_OK;
}

JNIEXPORT jint JNICALL JNI_GetDefaultJavaVMInitArgs(void*) { return JNI_OK; }

}  // extern "C"
