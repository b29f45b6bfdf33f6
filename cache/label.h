// The status label of a download's window, which names the file being
// fetched. The label belongs to the window's thread, and a text set from
// the launch's thread with SetWindowTextA waits until that thread has
// taken it: on Windows a text goes instead as a message posted to the main
// window (LABEL_TEXT_MESSAGE, with a copy of the text), which sets it on
// its own thread, so a download never waits for the window. Natively the
// text goes straight to SetWindowTextA (which the tests record).
#pragma once

#include "cache/winui.h"

// WM_APP + 2: wparam the label, lparam the copy of the text (malloc'd).
enum : unsigned { LABEL_TEXT_MESSAGE = 0x8002 };

// Shows text on label, the child of main_window (null: the label is set
// at once, as natively).
void label_show(HWND main_window, HWND label, const char* text);

#ifdef _WIN32
// The main window's part of LABEL_TEXT_MESSAGE: sets the text on the label
// and frees the copy.
void label_take(WPARAM wparam, LPARAM lparam);
#endif
