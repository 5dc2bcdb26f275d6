/* A DLL that only tells that it was loaded: planted beside a program under the name of a system
   DLL, it writes "MODULE-in-PROCESS.txt" (its own file name, the loading program's file name) into
   the folder named by the KV_MARKER_DIR environment variable, then lets the load go on. */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

static const char* FileName(const char* path) {
    const char* name = path;
    for (; *path != '\0'; ++path)
        if (*path == '\\' || *path == '/') name = path + 1;
    return name;
}

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
    char folder[MAX_PATH] = "", module[MAX_PATH] = "", process[MAX_PATH] = "", path[3 * MAX_PATH + 16];
    HANDLE file;
    DWORD written = 0;
    (void)reserved;
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    if (GetEnvironmentVariableA("KV_MARKER_DIR", folder, MAX_PATH) == 0) return TRUE;
    GetModuleFileNameA(self, module, MAX_PATH);
    GetModuleFileNameA(NULL, process, MAX_PATH);
    wsprintfA(path, "%s\\%s-in-%s.txt", folder, FileName(module), FileName(process));
    file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return TRUE;
    WriteFile(file, module, (DWORD)lstrlenA(module), &written, NULL);
    CloseHandle(file);
    return TRUE;
}
