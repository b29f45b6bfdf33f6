#include "tests/win/dialog_watcher.h"

#include "tests/win/dialog_icon_hook.h"
#include "tests/win/harness.h"

#include <ostream>

namespace {

// The first label of the box with a text: the message.
BOOL CALLBACK find_message(HWND child, LPARAM found)
{
    char class_name[32] = "";
    GetClassNameA(child, class_name, sizeof class_name);
    if (lstrcmpiA(class_name, "Static") != 0 ||
        (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
        return TRUE;
    char text[1024] = "";
    GetWindowTextA(child, text, sizeof text);
    if (!text[0])
        return TRUE;
    *reinterpret_cast<std::string*>(found) = text;
    return FALSE;
}

// Asks the box's own thread, through the hook, which icon it shows. The
// message returns once that thread has run the hook, so the answer is there
// to read; a thread that does not answer within the time-out gives "unknown".
std::string icon_kind(HWND box, HMODULE hook_module)
{
    HOOKPROC hook_procedure = reinterpret_cast<HOOKPROC>(
        reinterpret_cast<void*>(GetProcAddress(hook_module, DIALOG_ICON_HOOK)));
    HHOOK hook = hook_procedure ? SetWindowsHookExA(WH_CALLWNDPROC, hook_procedure, hook_module,
                                                    GetWindowThreadProcessId(box, nullptr))
                                : nullptr;
    if (!hook)
        return "unknown";
    DWORD_PTR ignored;
    SendMessageTimeoutA(box, RegisterWindowMessageA(DIALOG_ICON_MESSAGE), 0, 0, SMTO_NORMAL,
                        30000, &ignored);
    UnhookWindowsHookEx(hook);
    INT_PTR kind = reinterpret_cast<INT_PTR>(GetPropA(box, DIALOG_ICON_PROPERTY));
    const int kinds = sizeof DIALOG_ICON_KINDS / sizeof DIALOG_ICON_KINDS[0];
    return kind >= 1 && kind <= kinds ? DIALOG_ICON_KINDS[kind - 1] : "unknown";
}

// The box's visible buttons, the way DialogRecord lists them.
std::string buttons_of(HWND box)
{
    const std::pair<int, const char*> buttons[] = {
        {IDYES, "Yes"}, {IDNO, "No"}, {IDOK, "OK"}, {IDCANCEL, "Cancel"}};
    std::string shown;
    for (const auto& [id, name] : buttons) {
        HWND button = GetDlgItem(box, id);
        if (button && IsWindowVisible(button))
            shown += (shown.empty() ? "" : " ") + std::string(name);
    }
    return shown;
}

// True for the program under test: an executable named launcher*.exe.
bool shown_by_launcher(DWORD process_id)
{
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id);
    if (!process)
        return false;
    char path[MAX_PATH] = "";
    DWORD size = sizeof path;
    bool named = QueryFullProcessImageNameA(process, 0, path, &size) != 0;
    CloseHandle(process);
    const char* name = strrchr(path, '\\');
    name = name ? name + 1 : path;
    return named && _strnicmp(name, "launcher", 8) == 0;
}

BOOL CALLBACK visit_window(HWND window, LPARAM context)
{
    reinterpret_cast<DialogWatcher*>(context)->visit(window);
    return TRUE;
}

} // namespace

DialogWatcher::DialogWatcher()
    : icon_hook_(LoadLibraryA((harness_program_folder() + "dialog_icon_hook.dll").c_str())),
      stop_(CreateEventA(nullptr, TRUE, FALSE, nullptr)), thread_([this] { run(); })
{
}

DialogWatcher::~DialogWatcher()
{
    SetEvent(stop_);
    thread_.join();
    CloseHandle(stop_);
    FreeLibrary(icon_hook_);
}

void DialogWatcher::run()
{
    // No event tells one process that another opened a box: look every 20 ms.
    while (WaitForSingleObject(stop_, 20) == WAIT_TIMEOUT) {
        seen_.clear();
        EnumWindows(visit_window, reinterpret_cast<LPARAM>(this));
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
    if (strcmp(class_name, "#32770") != 0 || !IsWindowVisible(window) ||
        !shown_by_launcher(process))
        return;
    seen_.insert(window);
    bool known;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        known = recorded_.count(window) != 0;
    }
    if (!known) {
        std::string text;
        EnumChildWindows(window, find_message, reinterpret_cast<LPARAM>(&text));
        std::string icon = icon_kind(window, icon_hook_);
        char title[256] = "";
        GetWindowTextA(window, title, sizeof title);
        std::lock_guard<std::mutex> lock(mutex_);
        records_.push_back({title, text, icon, buttons_of(window)});
        recorded_.insert(window);
        changed_.notify_all();
    }
    // An early press can be lost: keep pressing until the box is gone.
    int button = GetDlgItem(window, answer_) ? answer_.load() : IDOK;
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
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
