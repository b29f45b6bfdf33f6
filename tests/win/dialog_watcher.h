// Watches for message boxes of other processes (the program under test),
// records each one once (title, text, icon) and presses OK until it is gone,
// so a test can assert the exact sequence of boxes a run showed.
#pragma once

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

struct DialogRecord {
    std::string title;
    std::string text;
    std::string icon; // "error", "information", "warning", "question", "none" or "unknown"

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
    // When each box not yet recorded was first seen.
    std::map<HWND, std::chrono::steady_clock::time_point> first_seen_;
    HANDLE stop_;
    std::thread thread_;
};

std::ostream& operator<<(std::ostream& out, const DialogRecord& record);
