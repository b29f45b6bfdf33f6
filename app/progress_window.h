// The progress window's controls beyond the status label and the progress
// bar that the downloads drive: a heading with the application's name, a
// bar and a detail line for the whole launch (cache/tally.h), the taskbar
// button's progress and error state, and a Cancel button that Esc presses.
// Everything is placed and sized for the monitor's scale (96 dots per inch
// is 100 %) and placed again when the window moves to a monitor of another
// scale. The window is made hidden and shown only after a moment of work,
// so that a launch that is done at once never flashes it. All of it runs
// on the window's thread. Windows only.
#pragma once

#include <windows.h>

// The window's place at 100 %, and its smallest size, before scaling.
enum {
    PROGRESS_WINDOW_WIDTH = 400,
    PROGRESS_WINDOW_HEIGHT = 180,
    PROGRESS_WINDOW_MIN_WIDTH = 220,
    PROGRESS_WINDOW_MIN_HEIGHT = 110,
};

// Milliseconds of work after which the window shows.
enum { PROGRESS_WINDOW_SHOW_MS = 400 };

// The window's size at the system's scale, centred on the screen.
RECT progress_window_place(void);

// Scales a length of the 100 % layout for window's monitor.
int progress_window_scale(HWND window, int length);

struct ProgressControls {
    HWND status_label;
    HWND progress_bar;
};

// Makes every control of window (the label and the bar at their places of
// the 100 % layout, scaled) and starts its clock: the window shows after
// PROGRESS_WINDOW_SHOW_MS with show_command, or at once on a failure.
// The label and the bar go to the downloads.
ProgressControls progress_window_controls(HWND window, int show_command);

// The window procedure's part: the clock, Cancel, a change of scale, a
// failure to report. True when message was handled, its result in *result.
bool progress_window_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                             LRESULT* result);

// The message loop's part: Esc, or Enter on the focused button, presses
// Cancel. True when message was taken.
bool progress_window_key(const MSG* message);

// From now on the window is hidden and never shows: Java runs, and the
// launch goes on unseen.
void progress_window_quiet(void);

// Releases the fonts, icons and the taskbar's interface.
void progress_window_end(void);
