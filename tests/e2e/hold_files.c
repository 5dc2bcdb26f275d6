/* Holds files open without sharing, as another program that has them in use would: opens (or
   creates) each path named on the command line with share mode 0, prints "held", and keeps the
   handles until its standard input ends. Exit status 1 when a file could not be opened. */
#include <windows.h>
#include <stdio.h>

int main(int argc, char** argv) {
    int i;
    char line[64];
    for (i = 1; i < argc; ++i) {
        HANDLE file =
            CreateFileA(argv[i], GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        if (file == INVALID_HANDLE_VALUE) {
            printf("error: cannot hold %s (error %lu)\n", argv[i], (unsigned long)GetLastError());
            return 1;
        }
    }
    printf("held\n");
    fflush(stdout);
    while (fgets(line, sizeof line, stdin) != NULL) {}
    return 0;
}
