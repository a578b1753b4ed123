// Loading the VM library and finding the JNI invocation entry points in it.
#pragma once

#include <string>

#include <jni.h>

/// The two exports of a VM library that the launcher needs.
struct JniEntryPoints {
    using CreateJavaVM = jint(JNICALL*)(JavaVM**, void**, void*);
    using GetDefaultJavaVMInitArgs = jint(JNICALL*)(void*);
    CreateJavaVM createJavaVM = nullptr;
    GetDefaultJavaVMInitArgs getDefaultJavaVMInitArgs = nullptr;
};

/// Loads the library at `libraryPath` (it stays loaded for the life of the process) and fills
/// `entryPoints`. False, after a line on stderr, when the library does not load or lacks an
/// export; then `explanation` holds what the launcher found out about why (the library's
/// bitness, the DLLs it needs that are missing), naming the library by its absolute path, or
/// nothing. With `verbose`, "JVM path is ..." goes to stdout first.
bool loadVmLibrary(const std::string& libraryPath, JniEntryPoints& entryPoints, bool verbose,
                   std::string& explanation);
