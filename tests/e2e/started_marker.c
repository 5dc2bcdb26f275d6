/* A stand-in for an installed program: when started, it writes "started.txt" into its working
   directory with its command line, so a test can tell whether, from where and how it was started. */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
    char folder[MAX_PATH] = "";
    char text[2 * MAX_PATH + 1024];
    HANDLE file;
    DWORD written = 0;
    (void)instance;
    (void)previous;
    (void)show;
    GetCurrentDirectoryA(MAX_PATH, folder);
    wsprintfA(text, "args=%.1000s\r\ncwd=%s\r\n", commandLine, folder);
    /* Written under a temporary name and renamed, so a reader never sees half a file. */
    file = CreateFileA("started.tmp", GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return 1;
    WriteFile(file, text, (DWORD)lstrlenA(text), &written, NULL);
    CloseHandle(file);
    return MoveFileExA("started.tmp", "started.txt", MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
