// The launcher runs wherever the Java runtimes it starts run: glibc 2.17 and
// later. Linked on a newer glibc, a program takes the newest version of each
// C library function it names; the C++ library, linked in statically, names
// some that are newer than 2.17. Each of those is defined here and calls the
// oldest version glibc still provides, bound by name and version, so that
// every reference, the C++ library's included, binds to a version 2.17 has.
// The unwinder comes from the system's libgcc_s.so.1 (the static one needs
// _dl_find_object, 2.35), and libdl.so.2 and libpthread.so.0 are linked,
// where glibc before 2.34 keeps dlopen and pthread_create.
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <dlfcn.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

// The versions of x86-64's first glibc; __xstat and its kin are what the
// stat functions called before 2.33 made them functions of their own.
__asm__(".symver loftwick_libc_start_main, __libc_start_main@GLIBC_2.2.5");
__asm__(".symver loftwick_pthread_create, pthread_create@GLIBC_2.2.5");
__asm__(".symver loftwick_pthread_join, pthread_join@GLIBC_2.2.5");
__asm__(".symver loftwick_pthread_detach, pthread_detach@GLIBC_2.2.5");
__asm__(".symver loftwick_pthread_once, pthread_once@GLIBC_2.2.5");
__asm__(".symver loftwick_pthread_key_create, __pthread_key_create@GLIBC_2.2.5");
__asm__(".symver loftwick_dlopen, dlopen@GLIBC_2.2.5");
__asm__(".symver loftwick_dlsym, dlsym@GLIBC_2.2.5");
__asm__(".symver loftwick_dladdr, dladdr@GLIBC_2.2.5");
__asm__(".symver loftwick_dlerror, dlerror@GLIBC_2.2.5");
__asm__(".symver loftwick_dlclose, dlclose@GLIBC_2.2.5");
__asm__(".symver loftwick_xstat, __xstat@GLIBC_2.2.5");
__asm__(".symver loftwick_lxstat, __lxstat@GLIBC_2.2.5");
__asm__(".symver loftwick_fxstat, __fxstat@GLIBC_2.2.5");
__asm__(".symver loftwick_fxstat64, __fxstat64@GLIBC_2.2.5");

namespace {

// The stat structure's layout these take on x86-64.
const int statVersion = 1;

typedef int (*MainFunction)(int, char**, char**);
typedef void (*InitFunction)(int, char**, char**);

} // namespace

extern "C" {

int loftwick_libc_start_main(MainFunction main, int argc, char** argv, InitFunction init, void (*fini)(),
                             void (*rtldFini)(), void* stackEnd);
int loftwick_pthread_create(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
int loftwick_pthread_join(pthread_t, void**);
int loftwick_pthread_detach(pthread_t);
int loftwick_pthread_once(pthread_once_t*, void (*)());
int loftwick_pthread_key_create(pthread_key_t*, void (*)(void*));
void* loftwick_dlopen(const char*, int);
void* loftwick_dlsym(void*, const char*);
int loftwick_dladdr(const void*, Dl_info*);
char* loftwick_dlerror();
int loftwick_dlclose(void*);
int loftwick_xstat(int, const char*, struct stat*);
int loftwick_lxstat(int, const char*, struct stat*);
int loftwick_fxstat(int, int, struct stat*);
int loftwick_fxstat64(int, int, struct stat64*);

} // extern "C"

// Every definition below is the program's own (hidden): exported, it would
// stand in for the C library's in every library the runtime loads, and
// dlopen, for one, reads which library calls it.
#pragma GCC visibility push(hidden)

extern "C" {

// The program's constructors, as the start files left them for the C
// library to run: a glibc before 2.34 runs only what it is handed as `init`.
extern void (*__preinit_array_start[])(int, char**, char**) __attribute__((visibility("hidden")));
extern void (*__preinit_array_end[])(int, char**, char**) __attribute__((visibility("hidden")));
extern void (*__init_array_start[])(int, char**, char**) __attribute__((visibility("hidden")));
extern void (*__init_array_end[])(int, char**, char**) __attribute__((visibility("hidden")));

static void runConstructors(int argc, char** argv, char** envp) {
    for (auto f = __preinit_array_start; f != __preinit_array_end; ++f) {
        (*f)(argc, argv, envp);
    }
    for (auto f = __init_array_start; f != __init_array_end; ++f) {
        (*f)(argc, argv, envp);
    }
}

// The start files of glibc 2.34 and later hand no `init`: the newer C
// library finds the constructors itself, an older one would not run them.
// Given one, every glibc runs it and nothing else.
int __libc_start_main(MainFunction main, int argc, char** argv, InitFunction, void (*fini)(),
                      void (*rtldFini)(), void* stackEnd) {
    return loftwick_libc_start_main(main, argc, argv, runConstructors, fini, rtldFini, stackEnd);
}

int pthread_create(pthread_t* thread, const pthread_attr_t* attr, void* (*start)(void*), void* arg) {
    return loftwick_pthread_create(thread, attr, start, arg);
}

int pthread_join(pthread_t thread, void** result) {
    return loftwick_pthread_join(thread, result);
}

int pthread_detach(pthread_t thread) {
    return loftwick_pthread_detach(thread);
}

int pthread_once(pthread_once_t* once, void (*routine)()) {
    return loftwick_pthread_once(once, routine);
}

int __pthread_key_create(pthread_key_t* key, void (*destructor)(void*)) {
    return loftwick_pthread_key_create(key, destructor);
}

void* dlopen(const char* file, int mode) {
    return loftwick_dlopen(file, mode);
}

void* dlsym(void* handle, const char* name) {
    return loftwick_dlsym(handle, name);
}

int dladdr(const void* address, Dl_info* info) {
    return loftwick_dladdr(address, info);
}

char* dlerror() {
    return loftwick_dlerror();
}

int dlclose(void* handle) {
    return loftwick_dlclose(handle);
}

int stat(const char* path, struct stat* buffer) {
    return loftwick_xstat(statVersion, path, buffer);
}

int lstat(const char* path, struct stat* buffer) {
    return loftwick_lxstat(statVersion, path, buffer);
}

int fstat(int fd, struct stat* buffer) {
    return loftwick_fxstat(statVersion, fd, buffer);
}

int fstat64(int fd, struct stat64* buffer) {
    return loftwick_fxstat64(statVersion, fd, buffer);
}

// Read once by the C++ library to skip atomic operations: never claiming
// a single thread is always right.
char __libc_single_threaded = 0;

// getentropy (2.25) through the system call it wraps (Linux 3.17).
int getentropy(void* buffer, size_t length) {
    if (length > 256) {
        errno = EIO;
        return -1;
    }
    for (size_t done = 0; done < length;) {
        const long n = syscall(SYS_getrandom, static_cast<char*>(buffer) + done, length - done, 0);
        if (n < 0 && errno != EINTR) {
            return -1;
        }
        done += n > 0 ? static_cast<size_t>(n) : 0;
    }
    return 0;
}

// The C++ library refers to arc4random (glibc 2.36) for std::random_device,
// which the launcher never uses.
uint32_t arc4random() {
    uint32_t value = 0;
    if (getentropy(&value, sizeof(value)) != 0) {
        value = 0;
    }
    return value;
}

} // extern "C"

#pragma GCC visibility pop
