// Natively there is no window system: the window calls of cache/winui.h are
// defined here and record into the active probe.
#include "tests/support/ui_probe.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

UiProbe* active = nullptr;

HWND fake_window(intptr_t value)
{
    return reinterpret_cast<HWND>(value);
}

const HWND probe_bar = fake_window(0x1b0);
const HWND probe_label = fake_window(0x1a0);

} // namespace

UiProbe::UiProbe()
{
    memset(&request, 0, sizeof request);
    request.progress_bar = probe_bar;
    request.status_label = probe_label;
    active = this;
}

UiProbe::~UiProbe()
{
    active = nullptr;
}

void UiProbe::clear()
{
    labels.clear();
    ranges.clear();
    positions.clear();
    messages.clear();
}

BOOL SetWindowTextA(HWND window, const char* text)
{
    EXPECT_EQ(window, probe_label) << "text set on another window";
    if (active)
        active->labels.push_back(text);
    return 1;
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    EXPECT_EQ(window, probe_bar) << "message sent to another window";
    if (!active)
        return 0;
    if (message == PBM_SETRANGE32)
        active->ranges.emplace_back(static_cast<int>(wparam), static_cast<int>(lparam));
    else if (message == PBM_SETPOS)
        active->positions.push_back(static_cast<int>(wparam));
    else
        ADD_FAILURE() << "unexpected message " << message;
    return 0;
}

int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type)
{
    EXPECT_EQ(owner, nullptr);
    EXPECT_STREQ(caption, "Error");
    EXPECT_EQ(type, MB_ICONERROR | MB_OK);
    if (active)
        active->messages.push_back(text);
    return 1;
}
