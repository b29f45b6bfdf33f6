#include "tests/win/dialog_watcher.h"

#include <ostream>

namespace {

struct Controls {
    HWND icon = nullptr;
    std::string text;
};

BOOL CALLBACK collect_control(HWND child, LPARAM context)
{
    Controls* controls = reinterpret_cast<Controls*>(context);
    char class_name[32] = "";
    GetClassNameA(child, class_name, sizeof class_name);
    if (lstrcmpiA(class_name, "Static") != 0)
        return TRUE;
    if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
        controls->icon = child;
        return TRUE;
    }
    char text[1024] = "";
    GetWindowTextA(child, text, sizeof text);
    if (text[0] && controls->text.empty())
        controls->text = text;
    return TRUE;
}

std::vector<COLORREF> pixels_of(HDC source, int x, int y, int width, int height)
{
    HDC memory = CreateCompatibleDC(source);
    HBITMAP bitmap = CreateCompatibleBitmap(source, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, source, x, y, SRCCOPY);
    std::vector<COLORREF> pixels;
    for (int row = 0; row < height; row++)
        for (int column = 0; column < width; column++)
            pixels.push_back(GetPixel(memory, column, row));
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    return pixels;
}

// The system icon as the box would show it: drawn on the dialog's face colour.
std::vector<COLORREF> system_icon_pixels(HDC screen, LPCSTR icon_id, int width, int height)
{
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    RECT area = {0, 0, width, height};
    FillRect(memory, &area, GetSysColorBrush(COLOR_3DFACE));
    DrawIconEx(memory, 0, 0, LoadIconA(nullptr, icon_id), 0, 0, 0, nullptr, DI_NORMAL);
    std::vector<COLORREF> pixels = pixels_of(memory, 0, 0, width, height);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    return pixels;
}

// Another process's icon handle means nothing here, so the icon is told by
// what is on screen. Empty when the box is not painted yet.
std::string icon_kind(HWND icon)
{
    if (!icon)
        return "none";
    RECT area;
    GetWindowRect(icon, &area);
    int width = area.right - area.left, height = area.bottom - area.top;
    if (width <= 0 || height <= 0)
        return "";
    HDC screen = GetDC(nullptr);
    std::vector<COLORREF> shown = pixels_of(screen, area.left, area.top, width, height);
    const struct {
        LPCSTR id;
        const char* name;
    } kinds[] = {{IDI_HAND, "error"}, {IDI_ASTERISK, "information"},
                 {IDI_EXCLAMATION, "warning"}, {IDI_QUESTION, "question"}};
    std::string found;
    for (const auto& kind : kinds) {
        if (system_icon_pixels(screen, kind.id, width, height) == shown) {
            found = kind.name;
            break;
        }
    }
    ReleaseDC(nullptr, screen);
    return found;
}

BOOL CALLBACK visit_window(HWND window, LPARAM context)
{
    reinterpret_cast<DialogWatcher*>(context)->visit(window);
    return TRUE;
}

} // namespace

DialogWatcher::DialogWatcher()
    : stop_(CreateEventA(nullptr, TRUE, FALSE, nullptr)), thread_([this] { run(); })
{
}

DialogWatcher::~DialogWatcher()
{
    SetEvent(stop_);
    thread_.join();
    CloseHandle(stop_);
}

void DialogWatcher::run()
{
    // No event tells one process that another opened a box: look every 20 ms.
    while (WaitForSingleObject(stop_, 20) == WAIT_TIMEOUT) {
        seen_.clear();
        EnumWindows(visit_window, reinterpret_cast<LPARAM>(this));
        for (auto it = first_seen_.begin(); it != first_seen_.end();)
            it = seen_.count(it->first) ? std::next(it) : first_seen_.erase(it);
        std::lock_guard<std::mutex> lock(mutex_);
        // A handle may come back for a later box.
        for (auto it = recorded_.begin(); it != recorded_.end();)
            it = seen_.count(*it) ? std::next(it) : recorded_.erase(it);
    }
}

void DialogWatcher::visit(HWND window)
{
    char class_name[16] = "";
    GetClassNameA(window, class_name, sizeof class_name);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (strcmp(class_name, "#32770") != 0 || process == GetCurrentProcessId() ||
        !IsWindowVisible(window))
        return;
    seen_.insert(window);
    bool known;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        known = recorded_.count(window) != 0;
    }
    if (!known) {
        Controls controls;
        EnumChildWindows(window, collect_control, reinterpret_cast<LPARAM>(&controls));
        std::string icon = icon_kind(controls.icon);
        // A busy machine may take a while to paint the box: look again for
        // up to ten seconds before calling its icon unknown.
        auto now = std::chrono::steady_clock::now();
        auto first = first_seen_.emplace(window, now).first->second;
        if (icon.empty() && now - first < std::chrono::seconds(10)) {
            // A box owned by no window can come up before the program's own
            // window is shown, which then covers it: lift it above.
            SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            return;
        }
        first_seen_.erase(window);
        char title[256] = "";
        GetWindowTextA(window, title, sizeof title);
        std::lock_guard<std::mutex> lock(mutex_);
        records_.push_back({title, controls.text, icon.empty() ? "unknown" : icon});
        recorded_.insert(window);
        changed_.notify_all();
    }
    // An early press can be lost: keep pressing until the box is gone.
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

std::vector<DialogRecord> DialogWatcher::records()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return records_;
}

bool DialogWatcher::wait_for(size_t count, DWORD timeout_ms)
{
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                             [&] { return records_.size() >= count; });
}

std::ostream& operator<<(std::ostream& out, const DialogRecord& record)
{
    return out << "{\"" << record.title << "\", \"" << record.text << "\", " << record.icon << "}";
}
