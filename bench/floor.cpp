// The least a program can do to run a Java class in its own process: load the VM library,
// create the VM with nothing but the class path, call main and destroy the VM. Every launch
// through the launcher is reported as a multiple of this one.
//
//   bench_floor LIBJVM CLASSPATH CLASS [OPTION...]
//
// Options after the class go to the VM ahead of the class path, so that the benchmark can
// tell the VM's response to an option list from the work of the program that made it.
#include <dlfcn.h>
#include <jni.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

int fail(const char* what, const char* detail) {
    std::fprintf(stderr, "bench_floor: %s %s\n", what, detail ? detail : "");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) return fail("usage: bench_floor LIBJVM CLASSPATH CLASS [OPTION...]", nullptr);
    void* library = dlopen(argv[1], RTLD_NOW | RTLD_GLOBAL);
    if (!library) return fail("cannot load", dlerror());
    using CreateJavaVm = jint(JNICALL*)(JavaVM**, void**, void*);
    auto create = reinterpret_cast<CreateJavaVm>(dlsym(library, "JNI_CreateJavaVM"));
    if (!create) return fail("no JNI_CreateJavaVM in", argv[1]);

    std::string classPath = std::string("-Djava.class.path=") + argv[2];
    std::vector<JavaVMOption> options;
    for (int i = 4; i < argc; ++i) options.push_back({argv[i], nullptr});
    options.push_back({&classPath[0], nullptr});
    JavaVMInitArgs initArgs;
    initArgs.version = JNI_VERSION_1_2;
    initArgs.nOptions = static_cast<jint>(options.size());
    initArgs.options = options.data();
    initArgs.ignoreUnrecognized = JNI_TRUE;

    JavaVM* vm = nullptr;
    JNIEnv* env = nullptr;
    if (create(&vm, reinterpret_cast<void**>(&env), &initArgs) < 0) return fail("cannot create the VM", nullptr);
    jclass mainClass = env->FindClass(argv[3]);
    if (!mainClass) return fail("no class", argv[3]);
    jmethodID mainMethod = env->GetStaticMethodID(mainClass, "main", "([Ljava/lang/String;)V");
    if (!mainMethod) return fail("no main in", argv[3]);
    jobjectArray arguments = env->NewObjectArray(0, env->FindClass("java/lang/String"), nullptr);
    if (!arguments) return fail("no argument array", nullptr);
    env->CallStaticVoidMethod(mainClass, mainMethod, arguments);
    int exitCode = 0;
    if (env->ExceptionOccurred()) {
        env->ExceptionDescribe();
        exitCode = 1;
    }
    vm->DestroyJavaVM();
    return exitCode;
}
