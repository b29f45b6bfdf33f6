// Runs inside the process of a message box (loaded there by the dialog
// watcher's thread hook) and tells the box's icon by drawing it and each
// system icon into bitmaps of this process and comparing the pixels.
#include "tests/win/dialog_icon_hook.h"

#include <windows.h>

#include <vector>

namespace {

const int SIDE = 32;

std::vector<DWORD> pixels_of(HICON icon)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = SIDE;
    info.bmiHeader.biHeight = -SIDE;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    HDC memory = CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    std::vector<DWORD> pixels;
    if (bitmap) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        if (DrawIconEx(memory, 0, 0, icon, SIDE, SIDE, 0, nullptr, DI_NORMAL)) {
            GdiFlush();
            pixels.assign(static_cast<DWORD*>(bits), static_cast<DWORD*>(bits) + SIDE * SIDE);
        }
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    return pixels;
}

BOOL CALLBACK find_icon_control(HWND child, LPARAM found)
{
    char class_name[32] = "";
    GetClassNameA(child, class_name, sizeof class_name);
    if (lstrcmpiA(class_name, "Static") != 0 ||
        (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON)
        return TRUE;
    *reinterpret_cast<HWND*>(found) = child;
    return FALSE;
}

// Index into DIALOG_ICON_KINDS.
int icon_kind(HWND box)
{
    HWND control = nullptr;
    EnumChildWindows(box, find_icon_control, reinterpret_cast<LPARAM>(&control));
    if (!control)
        return 4;
    std::vector<DWORD> shown =
        pixels_of(reinterpret_cast<HICON>(SendMessageA(control, STM_GETICON, 0, 0)));
    const LPCSTR system_icons[] = {IDI_HAND, IDI_ASTERISK, IDI_EXCLAMATION, IDI_QUESTION};
    for (int kind = 0; kind < 4; kind++) {
        if (!shown.empty() && pixels_of(LoadIconA(nullptr, system_icons[kind])) == shown)
            return kind;
    }
    return 5;
}

} // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK dialog_icon_hook(int code, WPARAM wparam,
                                                                   LPARAM lparam)
{
    const CWPSTRUCT* call = reinterpret_cast<const CWPSTRUCT*>(lparam);
    if (code == HC_ACTION && call->message == RegisterWindowMessageA(DIALOG_ICON_MESSAGE)) {
        INT_PTR kind = icon_kind(call->hwnd) + 1;
        SetPropA(call->hwnd, DIALOG_ICON_PROPERTY, reinterpret_cast<HANDLE>(kind));
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}
