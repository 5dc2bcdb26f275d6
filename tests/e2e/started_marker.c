/* A stand-in for an installed program: when started, it writes "started.txt" into its working
   directory with its command line and the program that started it, so a test can tell whether,
   from where, how and by whom it was started. */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <tlhelp32.h>

/* The file name of the parent process, or "" when it has ended or cannot be found. */
static void ParentName(char* name, int size) {
    PROCESSENTRY32 entry;
    DWORD parent = 0, self = GetCurrentProcessId();
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    name[0] = '\0';
    if (snapshot == INVALID_HANDLE_VALUE) return;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        if (entry.th32ProcessID == self) parent = entry.th32ParentProcessID;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more && parent; more = Process32Next(snapshot, &entry))
        if (entry.th32ProcessID == parent) lstrcpynA(name, entry.szExeFile, size);
    CloseHandle(snapshot);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
    char folder[MAX_PATH] = "";
    char parent[MAX_PATH] = "";
    char text[3 * MAX_PATH + 1024];
    HANDLE file;
    DWORD written = 0;
    (void)instance;
    (void)previous;
    (void)show;
    GetCurrentDirectoryA(MAX_PATH, folder);
    ParentName(parent, MAX_PATH);
    wsprintfA(text, "args=%.1000s\r\ncwd=%s\r\nparent=%s\r\n", commandLine, folder, parent);
    /* Written under a temporary name and renamed, so a reader never sees half a file. */
    file = CreateFileA("started.tmp", GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return 1;
    WriteFile(file, text, (DWORD)lstrlenA(text), &written, NULL);
    CloseHandle(file);
    return MoveFileExA("started.tmp", "started.txt", MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
