// Takes the picture of the launcher's progress window for the documents
// (scripts/screenshots): waits until the window shows and its detail line
// says the time left, copies the window's pixels from the screen into a
// 24-bit BMP file, then closes the window.
//   window_shot OUTPUT.bmp
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

const DWORD WAIT_MS = 60000;

// The window's fifth child, the detail line, as it stands.
bool detail_says_time_left(HWND window)
{
    HWND child = GetWindow(window, GW_CHILD);
    for (int i = 0; child && i < 4; i++)
        child = GetWindow(child, GW_HWNDNEXT);
    char text[256] = "";
    return child && GetWindowTextA(child, text, sizeof text) > 0 && strstr(text, " left");
}

HWND wait_for_window(void)
{
    for (DWORD waited = 0; waited < WAIT_MS; waited += 50) {
        HWND window = FindWindowA("Quorvel Launcher", "Quorvel Launcher");
        if (window && IsWindowVisible(window) && detail_says_time_left(window))
            return window;
        Sleep(50);
    }
    return nullptr;
}

bool write_bmp(const char* path, HDC source, const RECT& rect)
{
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    HDC memory = CreateCompatibleDC(source);
    HBITMAP bitmap = CreateCompatibleBitmap(source, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, source, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, old);
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    int stride = (width * 3 + 3) & ~3;
    std::vector<unsigned char> pixels(static_cast<size_t>(stride) * height);
    bool got = GetDIBits(memory, bitmap, 0, height, pixels.data(),
                         reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS) == height;
    DeleteObject(bitmap);
    DeleteDC(memory);
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    FILE* out = got ? fopen(path, "wb") : nullptr;
    if (!out)
        return false;
    bool written = fwrite(&file, sizeof file, 1, out) == 1 && fwrite(&info, sizeof info, 1, out) == 1 &&
                   fwrite(pixels.data(), 1, pixels.size(), out) == pixels.size();
    return fclose(out) == 0 && written;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: window_shot OUTPUT.bmp\n");
        return 2;
    }
    // Pixels as the screen has them, not scaled for this program.
    SetProcessDPIAware();
    HWND window = wait_for_window();
    if (!window) {
        fprintf(stderr, "window_shot: no progress window with a time left\n");
        return 1;
    }
    SetForegroundWindow(window);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    Sleep(300);  // the window's own thread paints what the redraw asked
    RECT rect;
    GetWindowRect(window, &rect);
    HDC screen = GetDC(nullptr);
    bool written = write_bmp(argv[1], screen, rect);
    ReleaseDC(nullptr, screen);
    PostMessageA(window, WM_CLOSE, 0, 0);
    if (!written)
        fprintf(stderr, "window_shot: %s not written\n", argv[1]);
    return written ? 0 : 1;
}
