/* The demo application packed by the demo installer: a window that shows its own file name and the
   folder it runs from, so an installation can be checked by eye. */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <string.h>

static char g_text[2 * MAX_PATH + 64];

static void DescribeSelf(void) {
    char path[MAX_PATH] = "";
    char folder[MAX_PATH] = "";
    const char* name = path;
    char* slash;
    GetModuleFileNameA(NULL, path, MAX_PATH);
    GetCurrentDirectoryA(MAX_PATH, folder);
    slash = strrchr(path, '\\');
    if (slash != NULL) name = slash + 1;
    wsprintfA(g_text, "Korvalin Demo\r\n\r\nProgram: %s\r\nRunning from: %s", name, folder);
}

static LRESULT CALLBACK DemoWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        RECT area;
        HDC dc = BeginPaint(window, &paint);
        GetClientRect(window, &area);
        InflateRect(&area, -16, -16);
        SetBkMode(dc, TRANSPARENT);
        DrawTextA(dc, g_text, -1, &area, DT_LEFT | DT_TOP | DT_WORDBREAK);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
    WNDCLASSA windowClass;
    HWND window;
    MSG message;
    (void)previous;
    (void)commandLine;
    DescribeSelf();
    ZeroMemory(&windowClass, sizeof windowClass);
    windowClass.lpfnWndProc = DemoWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(NULL, IDC_ARROW);
    windowClass.hIcon = LoadIcon(NULL, IDI_APPLICATION);
    windowClass.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    windowClass.lpszClassName = "KorvalinDemoWindow";
    if (!RegisterClassA(&windowClass)) return 1;
    window = CreateWindowA("KorvalinDemoWindow", "Korvalin Demo", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                           520, 220, NULL, NULL, instance, NULL);
    if (window == NULL) return 1;
    ShowWindow(window, show);
    UpdateWindow(window);
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return (int)message.wParam;
}
