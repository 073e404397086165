/* The least a program can do to start Java: load the runtime's libjli.so
 * and call JLI_Launch; the baseline of the Linux launcher's startup.
 *   jli-caller LIBJLI [JAVA ARGS...] */
#include <dlfcn.h>
#include <stdio.h>

typedef int (*JliLaunch)(int, char**, int, const char**, int, const char**, const char*,
                         const char*, const char*, const char*, unsigned char, unsigned char,
                         unsigned char, int);

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: %s LIBJLI [JAVA ARGS...]\n", argv[0]);
        return 2;
    }
    void* jli = dlopen(argv[1], RTLD_NOW | RTLD_GLOBAL);
    JliLaunch launch = jli ? (JliLaunch)dlsym(jli, "JLI_Launch") : NULL;
    if (!launch) {
        fprintf(stderr, "%s\n", dlerror());
        return 1;
    }
    argv[1] = argv[0];
    return launch(argc - 1, argv + 1, 0, NULL, 0, NULL, "", "", "java", "java", 0, 0, 0, 0);
}
