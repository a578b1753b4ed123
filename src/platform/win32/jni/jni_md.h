/* Machine-dependent JNI types for the Windows builds. The JDK's jni.h includes this file:
 * on Windows JNI functions use the __stdcall convention and jint is 32 bits, unlike the
 * Linux jni_md.h, whose empty JNICALL would call a 32-bit Windows VM the wrong way. */
#ifndef LAUNCHER_WIN32_JNI_MD_H
#define LAUNCHER_WIN32_JNI_MD_H

#define JNIEXPORT __declspec(dllexport)
#define JNIIMPORT __declspec(dllimport)
#define JNICALL __stdcall

typedef int jint;
typedef long long jlong;
typedef signed char jbyte;

#endif
