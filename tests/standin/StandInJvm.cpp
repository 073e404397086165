// A stand-in for a real runtime's jvm.dll: the real jli.dll does its whole
// job around it, and it records what it was asked.
//
// Records go to the file STANDIN_RECORD names, "jvm." keys (strings as the
// raw bytes received). STANDIN_JVM asks for a failure:
//   no-vm      JNI_CreateJavaVM fails
//   no-main    loading the main class fails with an exception pending
//   throw      main returns with an exception pending
//   exit:N     main ends the process with code N, as System.exit(N) does
// and for the failures a real virtual machine reports itself, with its words
// on its stream, ending the process with 1 from a thread of its own:
//   no-class     the main class is not found
//   newer-class  the main class was compiled for a newer Java
//   no-manifest  the main jar names no main class
//   bad-heap     an -Xmx option it cannot read (JNI_CreateJavaVM returns)
//   bad-option   an -XX: option it does not know (JNI_CreateJavaVM returns)
//   no-module    the main module is not found (on standard output)
// and, to exercise whoever reads its output:
//   flood        main prints 1 MiB to each stream, then fails
//   warn         main prints a warning to standard error and ends normally
//   nul          main prints a line with a NUL inside, then ends with 3
// Any JNI or JVM function the launch is not expected to call ends the
// process with code 99 after recording which one it was.
#include "WinSysHeaders.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

// The JNI types as the Windows x64 ABI has them.
typedef long jint;
typedef unsigned char jboolean;

struct Object {
    char kind;  // 'c' class, 's' string, 'b' byte array, 'a' object array, 'x' throwable
    std::string bytes;
    std::vector<Object*> items;
};

struct JavaVMOption {
    char* optionString;
    void* extraInfo;
};

struct JavaVMInitArgs {
    jint version;
    jint nOptions;
    JavaVMOption* options;
    jboolean ignoreUnrecognized;
};

std::wstring env(const wchar_t* name) {
    wchar_t buffer[32768];
    const DWORD n = GetEnvironmentVariableW(name, buffer, 32768);
    return n > 0 && n < 32768 ? std::wstring(buffer, n) : std::wstring();
}

void record(const char* format, ...) {
    const std::wstring path = env(L"STANDIN_RECORD");
    FILE* f = path.empty() ? nullptr : _wfopen(path.c_str(), L"ab");
    if (!f) {
        return;
    }
    va_list args;
    va_start(args, format);
    std::vfprintf(f, format, args);
    va_end(args);
    std::fputc('\n', f);
    std::fclose(f);
}

std::string moduleOf(const wchar_t* name) {
    wchar_t path[32768] = {};
    if (const HMODULE h = GetModuleHandleW(name)) {
        GetModuleFileNameW(h, path, 32768);
    }
    char utf8[4 * 32768] = {};
    WideCharToMultiByte(CP_UTF8, 0, path, -1, utf8, sizeof(utf8), nullptr, nullptr);
    return utf8;
}

bool asked(const wchar_t* behaviour) {
    return env(L"STANDIN_JVM") == behaviour;
}

// What System.exit does when the runtime gives up: the process ends from a
// runtime thread while the caller is still inside JLI_Launch.
[[noreturn]] void exitFromRuntimeThread(UINT code) {
    std::fflush(nullptr);
    CreateThread(nullptr, 0, [](void* c) -> DWORD {
        ExitProcess(static_cast<UINT>(reinterpret_cast<uintptr_t>(c)));
    }, reinterpret_cast<void*>(static_cast<uintptr_t>(code)), 0, nullptr);
    for (;;) {
        Sleep(INFINITE);
    }
}

Object* pending = nullptr;
Object* mainClass = nullptr;

Object* make(char kind, std::string bytes = std::string()) {
    return new Object{kind, std::move(bytes), {}};
}

// `what` may go on with the lines of its stack trace.
void raise(const char* what) {
    pending = make('x', what);
    record("jvm.raised=%s", std::string(what).substr(0, std::strcspn(what, "\n")).c_str());
}

[[noreturn]] void unexpected(const char* what, int index) {
    record("jvm.unexpected=%s %d", what, index);
    std::fflush(nullptr);
    ExitProcess(99);
}

// One trap per slot of a table, so the record names the slot called.
template <bool Jni, int N> void unexpectedSlot() {
    unexpected(Jni ? "JNI function" : "invocation function", N);
}

template <bool Jni, size_t... I>
void fillWithTraps(void** table, std::index_sequence<I...>) {
    ((table[I] = reinterpret_cast<void*>(&unexpectedSlot<Jni, static_cast<int>(I)>)), ...);
}

// The slots of the JNI function table that the runtime's launcher calls.
enum JniSlot {
    ExceptionOccurred = 15,
    ExceptionDescribe = 16,
    ExceptionClear = 17,
    DeleteLocalRef = 23,
    GetStaticMethodID = 113,
    CallStaticObjectMethod = 114,
    CallStaticVoidMethod = 141,
    GetArrayLength = 171,
    NewObjectArray = 172,
    SetObjectArrayElement = 174,
    NewByteArray = 176,
    SetByteArrayRegion = 208,
    ExceptionCheck = 228,
    JniSlots = 240
};

enum InvokeSlot { DestroyJavaVM = 3, DetachCurrentThread = 5, InvokeSlots = 8 };

typedef void** JNIEnv;  // a pointer to the table pointer
typedef void** JavaVM;

Object* jniExceptionOccurred(JNIEnv*) { return pending; }
void jniExceptionDescribe(JNIEnv*) {
    if (pending) {
        std::fprintf(stderr, "Exception in thread \"main\" %s\n", pending->bytes.c_str());
        std::fflush(stderr);
    }
    pending = nullptr;
}
void jniExceptionClear(JNIEnv*) { pending = nullptr; }
jboolean jniExceptionCheck(JNIEnv*) { return pending ? 1 : 0; }
void jniDeleteLocalRef(JNIEnv*, Object*) {}

void* jniGetStaticMethodID(JNIEnv*, Object*, const char* name, const char* signature) {
    return new std::string(std::string(name) + signature);
}

// The main class's failures that the runtime's Java code reports itself.
void failToLoad(const char* name) {
    if (asked(L"no-class")) {
        std::fprintf(stderr, "Error: Could not find or load main class %s\n"
                     "Caused by: java.lang.ClassNotFoundException: %s\n", name, name);
    } else if (asked(L"newer-class")) {
        std::fprintf(stderr, "Error: LinkageError occurred while loading main class %s\n"
                     "\tjava.lang.UnsupportedClassVersionError: %s has been compiled by a more "
                     "recent version of the Java Runtime (class file version 65.0), this version "
                     "of the Java Runtime only recognizes class file versions up to 61.0\n",
                     name, name);
    } else if (asked(L"no-manifest")) {
        std::fprintf(stderr, "no main manifest attribute, in %s\n", name);
    } else {
        return;
    }
    exitFromRuntimeThread(1);
}

Object* callStaticObject(const std::string& method, va_list args) {
    if (method == "makePlatformString(Z[B)Ljava/lang/String;") {
        va_arg(args, int);
        const Object* bytes = va_arg(args, Object*);
        return make('s', bytes->bytes);
    }
    if (method == "checkAndLoadMain(ZILjava/lang/String;)Ljava/lang/Class;") {
        va_arg(args, int);
        const jint mode = va_arg(args, jint);
        const Object* name = va_arg(args, Object*);
        record("jvm.mainmode=%ld", mode);
        record("jvm.mainname=%s", name->bytes.c_str());
        failToLoad(name->bytes.c_str());
        if (asked(L"no-main")) {
            raise("java.lang.NoClassDefFoundError");
            return nullptr;
        }
        mainClass = make('c', name->bytes);
        return mainClass;
    }
    if (method == "getApplicationClass()Ljava/lang/Class;") {
        return mainClass;
    }
    record("jvm.unexpected=static method %s", method.c_str());
    std::fflush(nullptr);
    ExitProcess(99);
}

Object* jniCallStaticObjectMethod(JNIEnv*, Object*, const std::string* method, ...) {
    va_list args;
    va_start(args, method);
    Object* const result = callStaticObject(*method, args);
    va_end(args);
    return result;
}

void runMain(const Object* argv) {
    record("jvm.main.argc=%zu", argv->items.size());
    for (size_t i = 0; i < argv->items.size(); ++i) {
        record("jvm.main.arg[%zu]=%s", i, argv->items[i]->bytes.c_str());
    }
    const std::wstring behaviour = env(L"STANDIN_JVM");
    if (behaviour.rfind(L"exit:", 0) == 0) {
        std::fflush(nullptr);
        ExitProcess(static_cast<UINT>(std::wcstoul(behaviour.c_str() + 5, nullptr, 0)));
    }
    if (behaviour == L"throw") {
        raise("java.lang.IllegalStateException: boom from main\n"
              "\tat Thrower.main(Thrower.java:1)");
    }
    if (behaviour == L"warn") {
        std::fprintf(stderr, "Warning: printed, and the application goes on\n");
    }
    if (behaviour == L"nul") {
        std::fwrite("before\0after\n", 1, 13, stderr);
        exitFromRuntimeThread(3);
    }
    if (behaviour == L"flood") {
        for (int i = 0; i < 16384; ++i) {  // 64 bytes a line
            std::printf("standard output line %06d .................................\n", i);
            std::fprintf(stderr, "standard error line %06d ..................................\n", i);
        }
        std::fprintf(stderr, "Error: the last line before failing\n");
        exitFromRuntimeThread(1);
    }
}

void jniCallStaticVoidMethod(JNIEnv*, Object*, const std::string* method, ...) {
    if (*method != "main([Ljava/lang/String;)V") {
        record("jvm.unexpected=static method %s", method->c_str());
        ExitProcess(99);
    }
    va_list args;
    va_start(args, method);
    runMain(va_arg(args, Object*));
    va_end(args);
}

jint jniGetArrayLength(JNIEnv*, const Object* array) {
    return static_cast<jint>(array->kind == 'b' ? array->bytes.size() : array->items.size());
}

Object* jniNewObjectArray(JNIEnv*, jint length, Object*, Object* initial) {
    Object* const array = make('a');
    array->items.assign(static_cast<size_t>(length), initial);
    return array;
}

void jniSetObjectArrayElement(JNIEnv*, Object* array, jint index, Object* value) {
    array->items.at(static_cast<size_t>(index)) = value;
}

Object* jniNewByteArray(JNIEnv*, jint length) {
    return make('b', std::string(static_cast<size_t>(length), '\0'));
}

void jniSetByteArrayRegion(JNIEnv*, Object* array, jint start, jint length, const char* bytes) {
    array->bytes.replace(static_cast<size_t>(start), static_cast<size_t>(length), bytes,
                         static_cast<size_t>(length));
}

jint invokeDestroyJavaVM(JavaVM*) {
    record("jvm.destroyed=1");
    return 0;
}

// As a real virtual machine does, the thread's uncaught exception is
// printed when the thread leaves it.
jint invokeDetachCurrentThread(JavaVM*) {
    jniExceptionDescribe(nullptr);
    return 0;
}

void* jniTable[JniSlots];
void* invokeTable[InvokeSlots];
void* envPointer = jniTable;
void* vmPointer = invokeTable;

void fillTables() {
    fillWithTraps<true>(jniTable, std::make_index_sequence<JniSlots>());
    fillWithTraps<false>(invokeTable, std::make_index_sequence<InvokeSlots>());
    const std::pair<int, void*> jni[] = {
        {ExceptionOccurred, reinterpret_cast<void*>(jniExceptionOccurred)},
        {ExceptionDescribe, reinterpret_cast<void*>(jniExceptionDescribe)},
        {ExceptionClear, reinterpret_cast<void*>(jniExceptionClear)},
        {ExceptionCheck, reinterpret_cast<void*>(jniExceptionCheck)},
        {DeleteLocalRef, reinterpret_cast<void*>(jniDeleteLocalRef)},
        {GetStaticMethodID, reinterpret_cast<void*>(jniGetStaticMethodID)},
        {CallStaticObjectMethod, reinterpret_cast<void*>(jniCallStaticObjectMethod)},
        {CallStaticVoidMethod, reinterpret_cast<void*>(jniCallStaticVoidMethod)},
        {GetArrayLength, reinterpret_cast<void*>(jniGetArrayLength)},
        {NewObjectArray, reinterpret_cast<void*>(jniNewObjectArray)},
        {SetObjectArrayElement, reinterpret_cast<void*>(jniSetObjectArrayElement)},
        {NewByteArray, reinterpret_cast<void*>(jniNewByteArray)},
        {SetByteArrayRegion, reinterpret_cast<void*>(jniSetByteArrayRegion)},
    };
    for (const auto& slot : jni) {
        jniTable[slot.first] = slot.second;
    }
    invokeTable[DestroyJavaVM] = reinterpret_cast<void*>(invokeDestroyJavaVM);
    invokeTable[DetachCurrentThread] = reinterpret_cast<void*>(invokeDetachCurrentThread);
}

} // namespace

extern "C" {

jint JNI_GetDefaultJavaVMInitArgs(void*) {
    return 0;
}

jint JNI_GetCreatedJavaVMs(void**, jint, jint* count) {
    if (count) {
        *count = 0;
    }
    return 0;
}

}  // extern "C"

namespace {

// The option failures the virtual machine reports before it exists; the
// runtime's launcher then adds its own lines and ends the process.
bool refuseOptions(const JavaVMInitArgs& args) {
    for (jint i = 0; i < args.nOptions; ++i) {
        const std::string option = args.options[i].optionString;
        if (asked(L"bad-heap") && option.rfind("-Xmx", 0) == 0) {
            std::fprintf(stderr, "Invalid maximum heap size: %s\n", option.c_str());
            return true;
        }
        if (asked(L"bad-option") && option.rfind("-XX:", 0) == 0) {
            const size_t name = option.find_first_not_of("+-", 4);
            std::fprintf(stderr, "Unrecognized VM option '%s'\n", option.substr(name).c_str());
            return true;
        }
        if (asked(L"no-module") && option.rfind("-Djdk.module.main=", 0) == 0) {
            std::printf("Error occurred during initialization of boot layer\n"
                        "java.lang.module.FindException: Module %s not found\n",
                        option.c_str() + 18);
            exitFromRuntimeThread(1);
        }
    }
    std::fflush(nullptr);
    return false;
}

} // namespace

extern "C" {

jint JNI_CreateJavaVM(void** vm, void** penv, void* initArgs) {
    const JavaVMInitArgs* args = static_cast<const JavaVMInitArgs*>(initArgs);
    record("jvm.version=0x%08lx ignoreUnrecognized=%d", args->version, args->ignoreUnrecognized);
    record("jvm.options=%ld", args->nOptions);
    for (jint i = 0; i < args->nOptions; ++i) {
        record("jvm.option[%ld]=%s", i, args->options[i].optionString);
    }
    record("jvm.java.dll=%s", moduleOf(L"java.dll").c_str());
    record("jvm.splashscreen.dll=%s", moduleOf(L"splashscreen.dll").c_str());
    if (asked(L"no-vm")) {
        return -1;
    }
    if (refuseOptions(*args)) {
        return -1;
    }
    fillTables();
    *vm = &vmPointer;
    *penv = &envPointer;
    return 0;
}

Object* JVM_FindClassFromBootLoader(void*, const char* name) {
    record("jvm.findclass=%s", name);
    return make('c', name);
}

void standinUnexpectedCall() {
    unexpected("jvm.dll export", 0);
}

} // extern "C"
