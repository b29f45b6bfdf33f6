/* The baselines of the launch benchmark under Wine. Without an argument a
   Windows program that does nothing: a bare process start (it also stands
   in for java.exe). With "window": a program that shows a window of the
   launcher's size and ends, the least any program with a window costs.
   With "hold": a hidden window that answers its messages until the program
   is stopped, which keeps Wine's desktop up between launches as Windows'
   shell always is (Wine closes it a second after its last user ends, and
   the next program with a window then waits for it to start again). With
   any other command line it stands in for java.exe as a launcher starts it:
   it appends when its process was made (Unix epoch milliseconds, a line) to
   java-started.txt beside itself, so the benchmark can time a launch to
   Java's start and not only to the launcher's end. The process's creation
   time is the moment the launcher's CreateProcess made it: the stand-in's
   own start (a whole Wine process start) is not the launcher's to count. */
#include <windows.h>

static LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

static void show_window(HINSTANCE instance)
{
    WNDCLASSEXA window_class;
    ZeroMemory(&window_class, sizeof window_class);
    window_class.cbSize = sizeof window_class;
    window_class.lpfnWndProc = window_proc;
    window_class.hInstance = instance;
    window_class.lpszClassName = "bare";
    RegisterClassExA(&window_class);
    HWND window = CreateWindowExA(0, "bare", "bare", WS_OVERLAPPEDWINDOW, 0, 0, 400, 180, NULL,
                                  NULL, instance, NULL);
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    PostMessageA(window, WM_CLOSE, 0, 0);
    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0)
        DispatchMessageA(&message);
}

static void hold_desktop(HINSTANCE instance)
{
    WNDCLASSEXA window_class;
    ZeroMemory(&window_class, sizeof window_class);
    window_class.cbSize = sizeof window_class;
    window_class.lpfnWndProc = DefWindowProcA;
    window_class.hInstance = instance;
    window_class.lpszClassName = "hold";
    RegisterClassExA(&window_class);
    CreateWindowExA(0, "hold", "hold", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, NULL, NULL, instance,
                    NULL);
    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0)
        DispatchMessageA(&message);
}

/* Appends the process's creation time to java-started.txt: milliseconds
   since 1970, from Windows' 100 ns ticks since 1601. */
static void record_start(void)
{
    FILETIME made, ended, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &made, &ended, &kernel, &user))
        return;
    ULONGLONG ms = ((((ULONGLONG)made.dwHighDateTime << 32) | made.dwLowDateTime) -
                    116444736000000000ULL) / 10000;
    char text[24];
    int at = sizeof text;
    text[--at] = '\n';
    do
        text[--at] = (char)('0' + ms % 10);
    while ((ms /= 10) != 0);
    WCHAR path[MAX_PATH + 20];
    DWORD length = GetModuleFileNameW(NULL, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return;
    while (length > 0 && path[length - 1] != L'\\')
        length--;
    lstrcpyW(path + length, L"java-started.txt");
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written;
    WriteFile(file, text + at, (DWORD)(sizeof text - at), &written, NULL);
    CloseHandle(file);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR line, int show)
{
    (void)previous;
    (void)show;
    if (lstrcmpA(line, "window") == 0)
        show_window(instance);
    else if (lstrcmpA(line, "hold") == 0)
        hold_desktop(instance);
    else if (line[0] != '\0')
        record_start();
    return 0;
}
