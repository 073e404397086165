// A stand-in for a real runtime's jvm.dll: the real jli.dll does its whole
// job around it, and it records what it was asked.
//
// Records go to the file STANDIN_RECORD names, "jvm." keys (strings as the
// raw bytes received). STANDIN_JVM asks for a failure:
//   no-vm      JNI_CreateJavaVM fails
//   no-main    loading the main class fails with an exception pending
//   throw      main returns with an exception pending
//   exit:N     main ends the process with code N, as System.exit(N) does
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

Object* pending = nullptr;
Object* mainClass = nullptr;

Object* make(char kind, std::string bytes = std::string()) {
    return new Object{kind, std::move(bytes), {}};
}

void raise(const char* what) {
    pending = make('x', what);
    record("jvm.raised=%s", what);
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
        raise("java.lang.IllegalStateException");
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
