// What a Windows-side test needs to drive a program under the same Wine
// prefix: find the programs built next to it, start one and wait for it
// with a time-out, and clear the install root between tests.
#pragma once

#include <windows.h>

#include <string>

// The folder holding the running test program (and Launcher.exe and the
// helper programs), ending in "\".
std::string harness_program_folder();

struct RunResult {
    bool started;        // CreateProcess succeeded
    bool finished;       // ended within the time-out (else it was killed)
    DWORD exit_code;
    DWORD start_error;   // GetLastError of a CreateProcess that failed, else 0
};

// Starts command_line (UTF-8) as it stands and waits up to timeout_ms for
// its end.
// Given an output path, the program's standard output and error, and those
// of whatever it starts, go to that file (made anew).
RunResult harness_run(const std::string& command_line, DWORD timeout_ms,
                      const std::string& output = "");

// Waits (up to a minute each) for every process started from below folder
// (no final separator) to end.
void harness_wait_for_programs_below(const std::string& folder);

// Removes a folder and everything below it; a missing folder is fine.
// Windows keeps the file of a running program, so it first waits for every
// process started from below the folder (a launcher that is still ending,
// the Java stand-in) to end. False when the folder could not be removed.
bool harness_remove_tree(const std::string& folder);

// True when the path names an existing folder.
bool harness_folder_exists(const std::string& path);

// Makes every folder along path (which ends in "\").
void harness_make_folders(const std::string& path);
