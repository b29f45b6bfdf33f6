// Under Wine the download drives real windows: a label and a progress bar of
// the test's thread, subclassed so every message they receive is recorded.
// A message box blocks its caller until dismissed, so a hook on the thread
// reads each one when its dialog is initialised and closes it with OK.
#include "tests/support/ui_probe.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <cstring>

namespace {

UiProbe* active = nullptr;
WNDPROC label_procedure = nullptr;
WNDPROC bar_procedure = nullptr;
HHOOK dialog_hook = nullptr;

LRESULT CALLBACK record_label(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_SETTEXT && active)
        active->labels.push_back(reinterpret_cast<const char*>(lparam));
    return CallWindowProcA(label_procedure, window, message, wparam, lparam);
}

LRESULT CALLBACK record_bar(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (active && message == PBM_SETRANGE32)
        active->ranges.emplace_back(static_cast<int>(wparam), static_cast<int>(lparam));
    else if (active && message == PBM_SETPOS)
        active->positions.push_back(static_cast<int>(wparam));
    return CallWindowProcA(bar_procedure, window, message, wparam, lparam);
}

BOOL CALLBACK find_text(HWND child, LPARAM found)
{
    char kind[16];
    char text[512];
    GetClassNameA(child, kind, sizeof kind);
    if (lstrcmpiA(kind, "Static") != 0 || GetWindowTextA(child, text, sizeof text) == 0)
        return TRUE;
    *reinterpret_cast<std::string*>(found) = text;
    return FALSE;
}

LRESULT CALLBACK watch_dialogs(int code, WPARAM wparam, LPARAM lparam)
{
    const CWPRETSTRUCT* call = reinterpret_cast<const CWPRETSTRUCT*>(lparam);
    if (code == HC_ACTION && call->message == WM_INITDIALOG) {
        char caption[64];
        GetWindowTextA(call->hwnd, caption, sizeof caption);
        EXPECT_STREQ(caption, "Error");
        std::string text;
        EnumChildWindows(call->hwnd, find_text, reinterpret_cast<LPARAM>(&text));
        if (active)
            active->messages.push_back(text);
        PostMessageA(call->hwnd, WM_COMMAND, IDOK, 0);
    }
    return CallNextHookEx(dialog_hook, code, wparam, lparam);
}

} // namespace

UiProbe::UiProbe()
{
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    memset(&request, 0, sizeof request);
    request.status_label = CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 200, 20, nullptr,
                                           nullptr, nullptr, nullptr);
    request.progress_bar = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_POPUP, 0, 0, 200, 20,
                                           nullptr, nullptr, nullptr, nullptr);
    EXPECT_NE(request.status_label, nullptr);
    EXPECT_NE(request.progress_bar, nullptr);
    label_procedure = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
        request.status_label, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(record_label)));
    bar_procedure = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
        request.progress_bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(record_bar)));
    dialog_hook = SetWindowsHookExA(WH_CALLWNDPROCRET, watch_dialogs, nullptr,
                                    GetCurrentThreadId());
    EXPECT_NE(dialog_hook, nullptr);
    active = this;
}

UiProbe::~UiProbe()
{
    active = nullptr;
    UnhookWindowsHookEx(dialog_hook);
    DestroyWindow(request.progress_bar);
    DestroyWindow(request.status_label);
}

void UiProbe::clear()
{
    labels.clear();
    ranges.clear();
    positions.clear();
    messages.clear();
}
