// launcher-test-absent-runtime.dll itself, which fakejvm_absentdep imports: the tests plant it
// where the loader may look for the VM library's dependencies, and where it must not.
extern "C" __declspec(dllexport) void absentRuntimeFunction() {}
