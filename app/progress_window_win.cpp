#include "app/progress_window.h"

#include "base/log.h"
#include "cache/tally.h"

#include <commctrl.h>
#include <shobjidl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

enum { ICON_RESOURCE = 101, BASE_DPI = 96 };
enum { SHOW_TIMER = 1, TICK_TIMER = 2, TICK_MS = 250 };
enum { WHOLE_RANGE = 1000, DETAIL_SIZE = 256, TITLE_SIZE = 256 };

const char cancel_tip[] =
    "Stops the launch. Closing is safe: nothing that has not arrived whole is kept, and the "
    "next launch takes up where this one stopped.";

// A control's place in the 100 % layout, in the client area. The status
// label and the progress bar keep the places they always had.
struct Place {
    int x, y, width, height;
};
const Place HEADING = {20, 8, 340, 24};
const Place LABEL = {20, 40, 340, 20};
const Place BAR = {20, 60, 340, 20};
const Place WHOLE = {20, 84, 340, 10};
const Place DETAIL = {20, 96, 340, 16};
const Place CANCEL = {285, 114, 75, 22};

struct Ui {
    HWND window;
    HWND heading, label, bar, whole, detail, cancel, tip;
    HFONT font, heading_font;  // owned, or null
    HICON big_icon, small_icon;  // owned, or null
    UINT dpi;
    int show_command;
    bool shown;
    bool quiet;  // Java runs and the launch goes on unseen: never shown
    bool failed;
    int whole_shown;  // the whole bar's position, which never goes back
    ITaskbarList3* taskbar;
    UINT taskbar_created;
    NumberStyle style;
    TallySpeed speed;
    std::string detail_text, title;
};

Ui ui;

// The calls of newer Windows, looked up so that the program still starts
// on Windows versions without them.
template <typename Call>
Call user32_call(const char* name)
{
    FARPROC found = GetProcAddress(GetModuleHandleA("user32.dll"), name);
    return reinterpret_cast<Call>(reinterpret_cast<void*>(found));
}

UINT system_dpi(void)
{
    if (auto for_system = user32_call<UINT(WINAPI*)(void)>("GetDpiForSystem"))
        return for_system();
    HDC screen = GetDC(nullptr);
    int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : BASE_DPI;
    if (screen)
        ReleaseDC(nullptr, screen);
    return static_cast<UINT>(dpi > 0 ? dpi : BASE_DPI);
}

UINT window_dpi(HWND window)
{
    auto for_window = user32_call<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
    UINT dpi = for_window ? for_window(window) : 0;
    return dpi ? dpi : system_dpi();
}

int scaled(int length, UINT dpi)
{
    return MulDiv(length, static_cast<int>(dpi), BASE_DPI);
}

int metric(int index, UINT dpi)
{
    if (auto for_dpi = user32_call<int(WINAPI*)(int, UINT)>("GetSystemMetricsForDpi"))
        return for_dpi(index, dpi);
    return MulDiv(GetSystemMetrics(index), static_cast<int>(dpi), static_cast<int>(system_dpi()));
}

std::wstring wide(const std::string& text)
{
    int length = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::wstring converted(length > 0 ? static_cast<size_t>(length) : 1, L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &converted[0], length);
    converted.resize(wcslen(converted.c_str()));
    return converted;
}

std::string narrow(const wchar_t* text)
{
    char buffer[32] = "";  // 7 characters of up to 3 bytes each, and the end
    WideCharToMultiByte(CP_UTF8, 0, text, -1, buffer, sizeof buffer, nullptr, nullptr);
    return buffer;
}

// The user's decimal and grouping marks; a mark that does not fit is left out.
NumberStyle user_number_style(void)
{
    NumberStyle style = {".", ","};
    wchar_t mark[8];
    if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, mark, 8) > 0 &&
        narrow(mark).size() < sizeof style.decimal)
        snprintf(style.decimal, sizeof style.decimal, "%s", narrow(mark).c_str());
    if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STHOUSAND, mark, 8) > 0 &&
        narrow(mark).size() < sizeof style.grouping)
        snprintf(style.grouping, sizeof style.grouping, "%s", narrow(mark).c_str());
    return style;
}

HWND make_control(const wchar_t* class_name, const wchar_t* text, DWORD style, int id = 0)
{
    return CreateWindowExW(0, class_name, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0,
                           ui.window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           GetModuleHandleW(nullptr), nullptr);
}

void place(HWND control, const Place& at)
{
    MoveWindow(control, scaled(at.x, ui.dpi), scaled(at.y, ui.dpi), scaled(at.width, ui.dpi),
               scaled(at.height, ui.dpi), TRUE);
}

// The system's message font at the window's scale; the heading's is bold
// and a quarter larger.
void make_fonts(void)
{
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof metrics;
    auto for_dpi = user32_call<BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT)>(
        "SystemParametersInfoForDpi");
    bool got = for_dpi ? for_dpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, ui.dpi)
                       : SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    if (!got)
        return;
    LOGFONTW font = metrics.lfMessageFont;
    if (!for_dpi)
        font.lfHeight = MulDiv(font.lfHeight, static_cast<int>(ui.dpi), static_cast<int>(system_dpi()));
    HFONT message_font = CreateFontIndirectW(&font);
    font.lfWeight = FW_BOLD;
    font.lfHeight = MulDiv(font.lfHeight, 5, 4);
    HFONT heading_font = CreateFontIndirectW(&font);
    for (HWND control : {ui.label, ui.detail, ui.cancel})
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(message_font), TRUE);
    SendMessageW(ui.heading, WM_SETFONT, reinterpret_cast<WPARAM>(heading_font), TRUE);
    if (ui.font)
        DeleteObject(ui.font);
    if (ui.heading_font)
        DeleteObject(ui.heading_font);
    ui.font = message_font;
    ui.heading_font = heading_font;
}

// The icon images drawn for the window's scale, from the set of sizes.
void make_icons(void)
{
    HINSTANCE instance = GetModuleHandleW(nullptr);
    HICON big = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(ICON_RESOURCE), IMAGE_ICON,
                                              metric(SM_CXICON, ui.dpi), metric(SM_CYICON, ui.dpi), 0));
    HICON small = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(ICON_RESOURCE),
                                                IMAGE_ICON, metric(SM_CXSMICON, ui.dpi),
                                                metric(SM_CYSMICON, ui.dpi), 0));
    SendMessageW(ui.window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    SendMessageW(ui.window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    if (ui.big_icon)
        DestroyIcon(ui.big_icon);
    if (ui.small_icon)
        DestroyIcon(ui.small_icon);
    ui.big_icon = big;
    ui.small_icon = small;
}

void lay_out(void)
{
    place(ui.heading, HEADING);
    place(ui.label, LABEL);
    place(ui.bar, BAR);
    place(ui.whole, WHOLE);
    place(ui.detail, DETAIL);
    place(ui.cancel, CANCEL);
    make_fonts();
    make_icons();
}

void add_tip(void)
{
    ui.tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, ui.window,
                             nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!ui.tip)
        return;
    TOOLINFOA tool = {};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = ui.window;
    tool.uId = reinterpret_cast<UINT_PTR>(ui.cancel);
    tool.lpszText = const_cast<char*>(cancel_tip);
    SendMessageA(ui.tip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    SendMessageA(ui.tip, TTM_SETMAXTIPWIDTH, 0, scaled(300, ui.dpi));
}

// A message box of this process that is open (a question asked before the
// window showed), or null.
HWND open_box(void)
{
    struct Search {
        DWORD process;
        HWND box;
    } search = {GetCurrentProcessId(), nullptr};
    EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
            Search* search = reinterpret_cast<Search*>(context);
            DWORD process = 0;
            char name[16] = "";
            GetWindowThreadProcessId(window, &process);
            if (process == search->process && IsWindowVisible(window) &&
                GetClassNameA(window, name, sizeof name) && strcmp(name, "#32770") == 0)
                search->box = window;
            return search->box == nullptr;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.box;
}

void show(const char* why)
{
    KillTimer(ui.window, SHOW_TIMER);
    if (ui.shown || ui.quiet)
        return;
    ui.shown = true;
    log_line("the window shows %s", why);
    // An open box keeps the user's attention: the window goes behind it.
    HWND box = open_box();
    ShowWindow(ui.window, box ? SW_SHOWNOACTIVATE : ui.show_command);
    if (box)
        SetWindowPos(ui.window, box, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    UpdateWindow(ui.window);
    if (!box)
        SetFocus(ui.cancel);
}

void show_taskbar(void)
{
    if (!ui.taskbar)
        return;
    ui.taskbar->SetProgressState(ui.window, ui.failed ? TBPF_ERROR : TBPF_NORMAL);
    ui.taskbar->SetProgressValue(ui.window, static_cast<ULONGLONG>(ui.whole_shown), WHOLE_RANGE);
}

void set_text(HWND control, std::string* shown, const std::string& text)
{
    if (*shown == text)
        return;
    *shown = text;
    SetWindowTextW(control, wide(text).c_str());
}

// Every tick: the heading, the whole bar (never back) and the detail line.
void tick(void)
{
    char title[TITLE_SIZE];
    tally_title(title, sizeof title);
    set_text(ui.heading, &ui.title, title);
    TallyFigures figures = tally_read();
    int permille = std::max(ui.whole_shown, tally_permille(&figures));
    if (permille != ui.whole_shown) {
        ui.whole_shown = permille;
        SendMessageW(ui.whole, PBM_SETPOS, static_cast<WPARAM>(permille), 0);
    }
    TallyMoment moment = tally_moment(&ui.speed, static_cast<long long>(GetTickCount64()), &figures);
    char detail[DETAIL_SIZE] = "";
    if (figures.files_listed > 0)
        tally_detail_text(&figures, &moment, &ui.style, detail, sizeof detail);
    set_text(ui.detail, &ui.detail_text, detail);
    show_taskbar();
}

// A failure is about to be reported in a message box: the window shows now
// and says so in red, and Cancel becomes the way to close it.
void fail(void)
{
    ui.failed = true;
    show("at once: a message reports a failure");
    tick();
    SendMessageW(ui.whole, PBM_SETSTATE, PBST_ERROR, 0);
    SetWindowTextW(ui.cancel, L"Close");
}

void change_scale(UINT dpi, const RECT* suggested)
{
    ui.dpi = dpi;
    SetWindowPos(ui.window, nullptr, suggested->left, suggested->top,
                 suggested->right - suggested->left, suggested->bottom - suggested->top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    lay_out();
    SendMessageA(ui.tip, TTM_SETMAXTIPWIDTH, 0, scaled(300, ui.dpi));
}

void make_taskbar(void)
{
    if (ui.taskbar)
        return;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ITaskbarList3* taskbar = nullptr;
    if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                reinterpret_cast<void**>(&taskbar))))
        return;
    if (FAILED(taskbar->HrInit())) {
        taskbar->Release();
        return;
    }
    ui.taskbar = taskbar;
    show_taskbar();
}

} // namespace

RECT progress_window_place(void)
{
    UINT dpi = system_dpi();
    int width = scaled(PROGRESS_WINDOW_WIDTH, dpi);
    int height = scaled(PROGRESS_WINDOW_HEIGHT, dpi);
    RECT rect;
    rect.left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    rect.top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    rect.right = rect.left + width;
    rect.bottom = rect.top + height;
    return rect;
}

int progress_window_scale(HWND window, int length)
{
    return scaled(length, window_dpi(window));
}

ProgressControls progress_window_controls(HWND window, int show_command)
{
    ui.window = window;
    ui.dpi = window_dpi(window);
    ui.show_command = show_command;
    ui.style = user_number_style();
    ui.speed = tally_speed_start();
    ui.taskbar_created = RegisterWindowMessageW(L"TaskbarButtonCreated");
    // The label and the bar first: whoever looks for the window's first
    // label and bar finds them, as before the other controls came.
    ui.label = make_control(L"Static", L"", SS_NOPREFIX);
    ui.bar = make_control(PROGRESS_CLASSW, nullptr, 0);
    ui.heading = make_control(L"Static", L"", SS_NOPREFIX | SS_ENDELLIPSIS);
    ui.whole = make_control(PROGRESS_CLASSW, nullptr, 0);
    ui.detail = make_control(L"Static", L"", SS_NOPREFIX | SS_ENDELLIPSIS);
    ui.cancel = make_control(L"Button", L"Cancel", WS_TABSTOP | BS_DEFPUSHBUTTON, IDCANCEL);
    SendMessageW(ui.whole, PBM_SETRANGE32, 0, WHOLE_RANGE);
    lay_out();
    add_tip();
    tally_attach(window);
    SetTimer(window, SHOW_TIMER, PROGRESS_WINDOW_SHOW_MS, nullptr);
    SetTimer(window, TICK_TIMER, TICK_MS, nullptr);
    return {ui.label, ui.bar};
}

bool progress_window_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                             LRESULT* result)
{
    if (!ui.window || window != ui.window)
        return false;
    *result = 0;
    switch (message) {
    case WM_TIMER:
        if (wparam == SHOW_TIMER) {
            char why[48];
            snprintf(why, sizeof why, "after %d ms of work", PROGRESS_WINDOW_SHOW_MS);
            show(why);
        }
        else if (wparam == TICK_TIMER)
            tick();
        return wparam == SHOW_TIMER || wparam == TICK_TIMER;
    case TALLY_FAILED_MESSAGE:
        fail();
        return true;
    case WM_COMMAND:
        if (LOWORD(wparam) != IDCANCEL || HIWORD(wparam) != BN_CLICKED)
            return false;
        log_line(ui.failed ? "the window was closed by its button" : "the launch was cancelled");
        DestroyWindow(window);
        return true;
    case WM_ACTIVATE:
        if (LOWORD(wparam) == WA_INACTIVE)
            return false;
        SetFocus(ui.cancel);
        return true;
    case WM_DPICHANGED:
        change_scale(HIWORD(wparam), reinterpret_cast<const RECT*>(lparam));
        return true;
    default:
        if (message != ui.taskbar_created || !ui.taskbar_created)
            return false;
        make_taskbar();
        return true;
    }
}

bool progress_window_key(const MSG* message)
{
    if (!ui.window || message->message != WM_KEYDOWN)
        return false;
    // Esc anywhere in the window, Enter on the focused button, as in a dialog.
    bool escape = message->wParam == VK_ESCAPE &&
                  (message->hwnd == ui.window || IsChild(ui.window, message->hwnd));
    bool enter = message->wParam == VK_RETURN && message->hwnd == ui.cancel;
    if (!escape && !enter)
        return false;
    SendMessageW(ui.cancel, BM_CLICK, 0, 0);
    return true;
}

void progress_window_quiet(void)
{
    log_line("the window stays hidden: Java runs");
    ui.quiet = true;
    KillTimer(ui.window, SHOW_TIMER);
    ShowWindow(ui.window, SW_HIDE);
}

void progress_window_end(void)
{
    if (ui.taskbar)
        ui.taskbar->Release();
    ui.taskbar = nullptr;
    if (ui.font)
        DeleteObject(ui.font);
    if (ui.heading_font)
        DeleteObject(ui.heading_font);
    ui.font = ui.heading_font = nullptr;
    if (ui.big_icon)
        DestroyIcon(ui.big_icon);
    if (ui.small_icon)
        DestroyIcon(ui.small_icon);
    ui.big_icon = ui.small_icon = nullptr;
}
