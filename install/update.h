// The update of the launcher itself, once the launch task has fetched a
// newer build into the install root: the build's publisher check, and the
// hand-over to it. Windows only.
#pragma once

// True when the build at program may replace the installed launcher: a
// signed launcher takes only builds of its own publisher (install/
// signature.h), an unsigned one takes any. A refused build is removed from
// the install root, so nothing moves or starts it later. The log says
// which and why.
bool update_build_taken(const char* program);

// Hands over to the taken build at program: registers it to replace the
// installed launcher, tells the user "Quorvel launcher will update and
// relaunch" and starts command (the relaunch command line), which the log
// shows as shown (without the user and password a URL in it may carry).
// The caller ends the process afterwards.
void update_hand_over(const char* program, char* command, const char* shown);
