// Watches for message boxes of the program under test (any process whose
// executable's name starts with "launcher", in any letter case: the built
// program, the installed copy and a newer build it hands over to), records
// each one once (title, text, icon) and presses OK (on a question, the
// answer the test chose, Yes unless told) until it is gone, so a
// test can assert the exact sequence of boxes a run showed. Boxes of other
// test programs that share the Wine desktop are left alone.
#pragma once

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

struct DialogRecord {
    std::string title;
    std::string text;
    std::string icon; // "error", "information", "warning", "question", "none" or "unknown"
    // The buttons the box shows, in the order Yes, No, OK, Cancel, by a
    // blank ("Yes No"). Not compared: a test that cares checks them itself.
    std::string buttons = "";

    bool operator==(const DialogRecord& other) const
    {
        return title == other.title && text == other.text && icon == other.icon;
    }
};

class DialogWatcher {
public:
    DialogWatcher();
    ~DialogWatcher();
    DialogWatcher(const DialogWatcher&) = delete;
    DialogWatcher& operator=(const DialogWatcher&) = delete;

    std::vector<DialogRecord> records();
    // The button pressed on boxes that have it (IDYES, IDNO); others get OK.
    void answer(int button) { answer_ = button; }
    // Waits until at least count boxes were recorded; false on time-out.
    bool wait_for(size_t count, DWORD timeout_ms);

    // Called from the window enumeration.
    void visit(HWND window);

private:
    void run();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<DialogRecord> records_;
    std::set<HWND> recorded_;
    std::set<HWND> seen_;
    std::atomic<int> answer_{IDYES};
    // dialog_icon_hook.dll, whose hook tells a box's icon in the box's process.
    HMODULE icon_hook_;
    HANDLE stop_;
    std::thread thread_;
};

std::ostream& operator<<(std::ostream& out, const DialogRecord& record);
