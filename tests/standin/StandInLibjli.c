/* A stand-in lib/libjli.so for the Linux launcher's checks: JLI_Launch
 * writes every argument it was handed, byte for byte and each ended by a
 * NUL, to $STANDIN_RECORD, and returns $STANDIN_EXIT (0 by default). */
#include <stdio.h>
#include <stdlib.h>

int JLI_Launch(int argc, char** argv, int jargc, const char** jargv, int appclassc, const char** appclassv,
               const char* fullversion, const char* dotversion, const char* pname, const char* lname,
               int javaargs, int cpwildcard, int javaw, int ergo) {
    const char* record = getenv("STANDIN_RECORD");
    const char* code = getenv("STANDIN_EXIT");
    FILE* out = record ? fopen(record, "wb") : NULL;
    (void)jargc, (void)jargv, (void)appclassc, (void)appclassv, (void)fullversion, (void)dotversion;
    (void)pname, (void)lname, (void)javaargs, (void)cpwildcard, (void)javaw, (void)ergo;
    for (int i = 0; out && i < argc; ++i) {
        fputs(argv[i], out);
        fputc('\0', out);
    }
    if (out) {
        fclose(out);
    }
    return code ? atoi(code) : 0;
}
