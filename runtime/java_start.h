// Starting the Java runtime of a launch, and telling the user when it does
// not start. Windows only.
#pragma once

#include <cstddef>

// Starts command (its program java, the runtime's java.exe, first) without
// a console, as run_hidden does. True when Java started. Otherwise false
// with the message for the user in message (cut to size - 1, terminated):
// "Error starting Java: <java> is missing" when there is no such file, else
// "Error starting Java: <java> cannot be started (error <n>)", n being
// CreateProcess's error; the log says the same.
bool java_start_hidden(const char* java, const char* command, char* message, size_t size);
