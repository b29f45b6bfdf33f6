// The few Windows user-interface calls of the cached download: SetWindowTextA
// for the status label, SendMessageA with PBM_SETRANGE32 and PBM_SETPOS for
// the progress bar, MessageBoxA for errors. On Windows these are the real
// ones. Natively there is no window system: the declarations below take
// their place, and the program that links the library natively (the tests'
// recorder, the benchmark) defines them.
#pragma once

#ifdef _WIN32
#include <windows.h>
#include <commctrl.h>
#else
#include <cstdint>

struct HWND__;
typedef HWND__* HWND;
typedef unsigned int UINT;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef int BOOL;

enum : UINT {
    MB_OK = 0x0,
    MB_ICONERROR = 0x10,
    PBM_SETPOS = 0x402,
    PBM_SETRANGE32 = 0x406,
};

BOOL SetWindowTextA(HWND window, const char* text);
LRESULT SendMessageA(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type);
#endif
