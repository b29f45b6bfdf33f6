// Committing a release: the files of a new release, fetched and checked
// into a folder aside, go into place together or not at all, and a
// journal lets the next launch finish or undo a commit that a crash or a
// power loss cut, so no launch ever finds a mix of two releases.
//
// Each entry names a file's place in the release (target), the checked new
// file kept aside (staged) and where the target's file waits while the
// commit runs (previous). A commit writes the journal (whole or not at all,
// flushed to disk), then, entry by entry in their order, moves the target's
// file, if there is one, to previous and the staged file to target; then it
// writes the journal again marked "moved", removes every previous file, and
// last the journal. Every move is on disk before the next begins. A
// previous file that cannot be removed keeps the journal, so the next
// launch removes it; the caller starts no commit while a journal is there.
//
// Before the journal is written, a file left in a previous place by an
// earlier commit is removed (or the commit does not begin), so every
// previous file a journal names was moved there by that commit. Undoing goes back entry by entry, last first: a staged file that
// is in place goes aside again (the file stays checked for a later launch)
// and the previous file back to its target. Each step reads the files as
// they are, so finishing and undoing start from any point a cut left; a
// journal marked "moved" is only finished.
#pragma once

#include <cstddef>

enum {
    COMMIT_PATH_SIZE = 260,  // each path and its NUL
    COMMIT_WHY_SIZE = 400,   // why a commit did not go through, for the log
};

struct CommitEntry {
    char target[COMMIT_PATH_SIZE];
    char staged[COMMIT_PATH_SIZE];
    char previous[COMMIT_PATH_SIZE];
};

// Commits entries[0, count) with the journal at journal (its folder must
// exist). Returns 1 when every staged file is in place; 0 when a previous
// place holds a file that cannot be removed (nothing begun), or a move
// failed and everything was undone (the staged files are aside again,
// nothing of the release is in place, no journal is left); -1 when the
// undo failed too or the journal could not be written (nothing moved
// then): the journal, if written, stays for commit_recover. why says which
// file held the commit back and why.
int commit_release(const CommitEntry* entries, int count, const char* journal, char* why,
                   size_t why_size);

// A commit's first step alone: writes the journal of entries[0, count),
// whole or not at all. 1 or 0. A commit cut after it, at any point, is
// finished or undone by commit_recover.
int commit_write_journal(const CommitEntry* entries, int count, const char* journal);

// Finishes the commit whose journal is at journal, or undoes it when one of
// its targets cannot be moved now; then removes the previous files and the
// journal. Returns 0 when there is no journal, 1 when the commit was
// finished, 2 when it was undone, -1 when the journal cannot be read or
// the undo failed (the journal then stays). why says what happened.
int commit_recover(const char* journal, char* why, size_t why_size);
