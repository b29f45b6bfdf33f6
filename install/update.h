// The update of the launcher itself, once the launch task has fetched a
// newer build into the install root: the build's publisher check, putting
// it in the installed launcher's place at once, and the hand-over to it.
// Nothing here needs an administrator: no move waits for a restart.
// Windows only.
#pragma once

// True when the launcher build that a descriptor's launcher member names
// is newer than the installed launcher (runtime/version.h: dotted decimals
// compare as numbers), or the installed one has no readable version. The
// log says what was compared.
bool update_needed(const char* member);

// True when the build at program may replace the installed launcher: a
// signed launcher takes only builds of its own publisher (install/
// signature.h), an unsigned one takes any. A refused build is removed from
// the install root, so nothing moves or starts it later. The log says
// which and why.
bool update_build_taken(const char* program);

// Puts the taken build at program in the installed launcher's place now.
// Windows lets a running program's file be renamed though not overwritten,
// so the installed launcher (running or not) first moves aside to
// "Launcher-old-<process id>.exe" in the install root, which a later start
// removes (update_remove_set_aside), and the build moves in; the installed
// programs' entry then shows the build's version. False when the build
// cannot be moved in: the installed launcher is then moved back and the
// build stays where it is. The log says which.
bool update_put_in_place(const char* program);

// Tells the user "Quorvel launcher will update and relaunch" and starts
// command (the relaunch command line of the installed launcher), which the
// log shows as shown (without the user and password a URL in it may
// carry). True when it started: the caller ends the process afterwards.
// When it cannot start, the build moves back to program, the previous
// launcher (this one) back into its place, the user is told "Error starting
// the updated launcher: <installed launcher> cannot be started (error
// <n>)" and false comes back: the caller goes on with the launch.
bool update_hand_over(char* command, const char* shown, const char* program);

// Removes the launchers that updates moved aside; one still running stays
// for a later start. Run at every start but an uninstall's.
void update_remove_set_aside(void);
