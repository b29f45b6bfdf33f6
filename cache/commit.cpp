#include "cache/commit.h"

#include "base/fileutil.h"
#include "cache/cachefile.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The journal: this line, one line an entry (target, staged and previous
// separated by tabs, which no path holds), and the end line, so a journal
// cut short is seen as such. Once every move is made it is written again
// with the second head: what is left is only to remove the previous files,
// and no later look at the files can take the commit for one to undo.
const char JOURNAL_HEAD[] = "quorvel release commit";
const char JOURNAL_DONE_HEAD[] = "quorvel release commit moved";
const char JOURNAL_END[] = "end";

void say(char* why, size_t size, const std::string& text)
{
    if (size > 0)
        snprintf(why, size, "%s", text.c_str());
}

} // namespace

namespace {

bool write_journal(const CommitEntry* entries, int count, const char* journal, const char* head)
{
    std::string text = std::string(head) + "\r\n";
    for (int i = 0; i < count; i++)
        text += std::string(entries[i].target) + "\t" + entries[i].staged + "\t" +
                entries[i].previous + "\r\n";
    text += std::string(JOURNAL_END) + "\r\n";
    return cache_file_write_whole(journal, text.data(), text.size()) != 0;
}

} // namespace

int commit_write_journal(const CommitEntry* entries, int count, const char* journal)
{
    return write_journal(entries, count, journal, JOURNAL_HEAD) ? 1 : 0;
}

namespace {

bool copy_field(const std::string& text, char (&out)[COMMIT_PATH_SIZE])
{
    if (text.empty() || text.size() >= sizeof out)
        return false;
    memcpy(out, text.c_str(), text.size() + 1);
    return true;
}

// The entries of a journal's text and whether every move was made; false
// when it is no whole journal.
bool parse_journal(const std::string& text, std::vector<CommitEntry>* entries, bool* moved)
{
    std::vector<std::string> lines;
    for (size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(text.substr(at, end - at));
    if (lines.size() < 2 || lines.back() != JOURNAL_END)
        return false;
    *moved = lines.front() == JOURNAL_DONE_HEAD;
    if (!*moved && lines.front() != JOURNAL_HEAD)
        return false;
    for (size_t i = 1; i + 1 < lines.size(); i++) {
        const std::string& line = lines[i];
        size_t first = line.find('\t');
        size_t second = first == std::string::npos ? first : line.find('\t', first + 1);
        CommitEntry entry;
        if (second == std::string::npos || line.find('\t', second + 1) != std::string::npos ||
            !copy_field(line.substr(0, first), entry.target) ||
            !copy_field(line.substr(first + 1, second - first - 1), entry.staged) ||
            !copy_field(line.substr(second + 1), entry.previous))
            return false;
        entries->push_back(entry);
    }
    return true;
}

// Moves every staged file that is still aside into place, its target's
// file aside first; false at the first move that fails.
bool go_forward(const std::vector<CommitEntry>& entries, std::string* why)
{
    for (const CommitEntry& entry : entries) {
        if (!cache_file_exists(entry.staged))
            continue;
        if (cache_file_exists(entry.target) && !cache_file_move(entry.target, entry.previous)) {
            *why = std::string(entry.target) + " cannot be moved aside (in use)";
            return false;
        }
        if (!cache_file_move(entry.staged, entry.target)) {
            *why = std::string(entry.staged) + " cannot be moved to " + entry.target;
            return false;
        }
    }
    return true;
}

// Puts every staged file that is in place aside again and the previous
// files back, last entry first; false at the first move that fails.
bool go_back(const std::vector<CommitEntry>& entries, std::string* why)
{
    for (size_t i = entries.size(); i-- > 0;) {
        const CommitEntry& entry = entries[i];
        if (!cache_file_exists(entry.staged) && cache_file_exists(entry.target) &&
            !cache_file_move(entry.target, entry.staged)) {
            *why = std::string(entry.target) + " cannot be moved back aside";
            return false;
        }
        if (cache_file_exists(entry.previous) && !cache_file_move(entry.previous, entry.target)) {
            *why = std::string(entry.previous) + " cannot be moved back to " + entry.target;
            return false;
        }
    }
    return true;
}

// Removes the previous files, and the journal once they are gone: a file
// that cannot be removed now (a scanner holds it) leaves the journal for
// the next launch to try again.
void finish(const std::vector<CommitEntry>& entries, const char* journal)
{
    bool removed = true;
    for (const CommitEntry& entry : entries)
        removed = cache_file_remove(entry.previous) && removed;
    if (removed)
        cache_file_remove(journal);
}

// Forward, or back when forward cannot go on: 1 forward, 2 back, -1 neither.
int settle(const std::vector<CommitEntry>& entries, const char* journal, std::string* why)
{
    if (go_forward(entries, why)) {
        // Without the mark the journal stays as it was: a later recovery
        // finds every staged file gone and finishes all the same.
        write_journal(entries.data(), static_cast<int>(entries.size()), journal,
                      JOURNAL_DONE_HEAD);
        finish(entries, journal);
        return 1;
    }
    std::string stuck;
    if (!go_back(entries, &stuck)) {
        *why += "; undoing failed too: " + stuck;
        return -1;
    }
    finish(entries, journal);
    return 2;
}

} // namespace

int commit_release(const CommitEntry* entries, int count, const char* journal, char* why,
                   size_t why_size)
{
    say(why, why_size, "");
    // A file in a previous place now is an earlier commit's leftover:
    // undoing would take it for this commit's.
    for (int i = 0; i < count; i++) {
        if (!cache_file_remove(entries[i].previous)) {
            say(why, why_size, std::string(entries[i].previous) +
                                   " is left from an earlier commit and cannot be removed yet");
            return 0;
        }
    }
    if (!commit_write_journal(entries, count, journal)) {
        say(why, why_size, std::string("the journal ") + journal + " cannot be written");
        return -1;
    }
    std::vector<CommitEntry> list(entries, entries + count);
    std::string reason;
    int settled = settle(list, journal, &reason);
    say(why, why_size, reason);
    return settled == 1 ? 1 : settled == 2 ? 0 : -1;
}

int commit_recover(const char* journal, char* why, size_t why_size)
{
    say(why, why_size, "");
    if (!cache_file_exists(journal))
        return 0;
    int length = 0;
    char* text = read_whole_file(journal, &length);
    std::vector<CommitEntry> entries;
    bool moved = false;
    bool whole = text &&
                 parse_journal(std::string(text, static_cast<size_t>(length)), &entries, &moved);
    free(text);
    if (!whole) {
        say(why, why_size, std::string("the journal ") + journal + " cannot be read");
        return -1;
    }
    if (moved) {
        finish(entries, journal);
        bool gone = !cache_file_exists(journal);
        say(why, why_size, gone ? "finished" : "finished, but previous files cannot be removed yet");
        return gone ? 1 : -1;
    }
    std::string reason;
    int settled = settle(entries, journal, &reason);
    say(why, why_size, settled == 1 ? "finished" : settled == 2 ? "undone: " + reason : reason);
    return settled;
}
