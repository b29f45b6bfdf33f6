#include "cache/label.h"

void label_show(HWND, HWND label, const char* text)
{
    SetWindowTextA(label, text);
}
