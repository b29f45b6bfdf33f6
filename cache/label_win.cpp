#include "cache/label.h"

#include <cstdlib>
#include <cstring>

void label_show(HWND main_window, HWND label, const char* text)
{
    size_t size = strlen(text) + 1;
    // Without a main window there is nobody to post to.
    char* copy = main_window ? static_cast<char*>(malloc(size)) : nullptr;
    if (copy) {
        memcpy(copy, text, size);
        if (PostMessageA(main_window, LABEL_TEXT_MESSAGE, reinterpret_cast<WPARAM>(label),
                         reinterpret_cast<LPARAM>(copy)))
            return;
        free(copy);
    }
    SetWindowTextA(label, text);
}

void label_take(WPARAM wparam, LPARAM lparam)
{
    char* text = reinterpret_cast<char*>(lparam);
    SetWindowTextA(reinterpret_cast<HWND>(wparam), text);
    free(text);
}
