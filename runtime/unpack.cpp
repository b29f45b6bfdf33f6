#include "runtime/unpack.h"

#include "runtime/unpack_os.h"

#include <unzip.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

// Names and paths are bound by MAX_PATH, terminating NUL included.
enum { PATH_SIZE = 260, COPY_BLOCK = 64 * 1024, HALF_BLOCK = COPY_BLOCK / 2 };

// The runtime's folder in an archive, and the names of the folders a
// runtime install makes in the root for the time it runs.
const char RUNTIME_FOLDER[] = "java";
const char STAGING_PREFIX[] = "staging-";
const char SET_ASIDE_PREFIX[] = "java-old-";

} // namespace

const char UNPACK_RECORD_NAME[] = "installed-as.txt";

namespace {

enum : unsigned long {
    DOS_DIRECTORY = 0x10,
    FLAG_ENCRYPTED = 0x1,
    METHOD_STORED = 0,
    METHOD_DEFLATED = 8,
};

// A ".." component climbs out of its folder. Windows drops trailing dots and
// blanks from a path component, so "..." and ".. " are taken as ".." too.
bool climbs(const char* part, size_t length)
{
    if (length < 2 || part[0] != '.' || part[1] != '.')
        return false;
    for (size_t i = 2; i < length; i++) {
        if (part[i] != '.' && part[i] != ' ')
            return false;
    }
    return true;
}

// Only names that stay below the target folder when appended to it: not
// empty, not rooted, no ":" (a drive, or an NTFS stream), no ".." component
// with either separator; and no control character, which Windows refuses in
// a file name and which would hide what a name really is.
bool name_is_safe(const char* name)
{
    if (name[0] == '\0' || name[0] == '/' || name[0] == '\\' || strchr(name, ':'))
        return false;
    for (const char* c = name; *c; c++) {
        if (static_cast<unsigned char>(*c) < 32)
            return false;
    }
    for (const char* part = name;;) {
        size_t length = strcspn(part, "/\\");
        if (climbs(part, length))
            return false;
        if (part[length] == '\0')
            return true;
        part += length + 1;
    }
}

bool is_folder_entry(const char* name, const unz_file_info64& info)
{
    size_t length = strlen(name);
    return (length > 0 && name[length - 1] == '/') || (info.external_fa & DOS_DIRECTORY) != 0;
}

// The entry's DOS date and time, which hold the archiving machine's local
// time; -1 when it names no valid time.
time_t entry_time(const unz_file_info64& info)
{
    struct tm when = {};
    when.tm_year = static_cast<int>(info.tmu_date.tm_year) - 1900;
    when.tm_mon = static_cast<int>(info.tmu_date.tm_mon);
    when.tm_mday = static_cast<int>(info.tmu_date.tm_mday);
    when.tm_hour = static_cast<int>(info.tmu_date.tm_hour);
    when.tm_min = static_cast<int>(info.tmu_date.tm_min);
    when.tm_sec = static_cast<int>(info.tmu_date.tm_sec);
    when.tm_isdst = -1;
    return mktime(&when);
}

// Where an entry's data goes: a file that takes no more than the entry
// declares, and the CRC-32 of what it took.
struct EntrySink {
    FILE* file;
    ZPOS64_T declared;
    ZPOS64_T written;
    uLong crc;
};

// Refuses, without writing them, bytes past the declared size: an entry
// whose data goes on (a zip bomb) must not fill the disk.
bool sink_put(EntrySink* sink, const unsigned char* data, size_t size)
{
    if (size > sink->declared - sink->written)
        return false;
    if (fwrite(data, 1, size, sink->file) != size)
        return false;
    sink->written += size;
    sink->crc = crc32(sink->crc, data, static_cast<uInt>(size));
    return true;
}

// The raw data of a stored entry, as it stands, until it ends.
bool copy_stored(unzFile zip, unsigned char* buffer, EntrySink* sink)
{
    for (;;) {
        int got = unzReadCurrentFile(zip, buffer, COPY_BLOCK);
        if (got <= 0)
            return got == 0;
        if (!sink_put(sink, buffer, static_cast<size_t>(got)))
            return false;
    }
}

// Inflates the raw data of a deflated entry, the first half of buffer
// carrying its input and the second its output, until the deflate stream
// ends; data that ends first is corrupt.
bool inflate_deflated(unzFile zip, unsigned char* buffer, EntrySink* sink)
{
    z_stream stream = {};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
        return false;
    unsigned char* output = buffer + HALF_BLOCK;
    int status = Z_OK;
    bool sound = true;
    while (sound && status != Z_STREAM_END) {
        if (stream.avail_in == 0) {
            int got = unzReadCurrentFile(zip, buffer, HALF_BLOCK);
            if (got <= 0) {
                sound = false;
                break;
            }
            stream.next_in = buffer;
            stream.avail_in = static_cast<uInt>(got);
        }
        stream.next_out = output;
        stream.avail_out = HALF_BLOCK;
        status = inflate(&stream, Z_NO_FLUSH);
        sound = (status == Z_OK || status == Z_STREAM_END) &&
                sink_put(sink, output, HALF_BLOCK - stream.avail_out);
    }
    inflateEnd(&stream);
    return sound;
}

// Writes the current entry's data to path through buffer. True only when the
// whole entry came out and matches its size and CRC-32. The data is read
// raw and inflated here: the reader's own inflating stops at the declared
// size, so an entry whose data inflates further, with a CRC-32 of just its
// declared part, would pass it as sound.
bool copy_entry(unzFile zip, const unz_file_info64& info, const char* path, unsigned char* buffer)
{
    // Without a password an encrypted entry would only inflate to garbage.
    if ((info.flag & FLAG_ENCRYPTED) != 0 ||
        (info.compression_method != METHOD_STORED && info.compression_method != METHOD_DEFLATED))
        return false;
    int method = 0;
    int level = 0;
    if (unzOpenCurrentFile2(zip, &method, &level, 1) != UNZ_OK)
        return false;
    EntrySink sink = {fopen(path, "wb"), info.uncompressed_size, 0, crc32(0, nullptr, 0)};
    bool sound = sink.file != nullptr &&
                 (method == METHOD_DEFLATED ? inflate_deflated(zip, buffer, &sink)
                                            : copy_stored(zip, buffer, &sink));
    if (sink.file && fclose(sink.file) != 0)
        sound = false;
    // Raw data is not checked on closing: the size and CRC-32 are checked here.
    unzCloseCurrentFile(zip);
    return sound && sink.written == info.uncompressed_size && sink.crc == info.crc;
}

// Unpacks the current entry below target_folder; true when it arrived: its
// folder exists or its file was written whole. name receives the entry's
// name ("" when it cannot be read).
bool unpack_entry(unzFile zip, const char* target_folder, const char* temporary,
                  unsigned char* buffer, char (&name)[PATH_SIZE])
{
    name[0] = '\0';
    unz_file_info64 info;
    if (unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK)
        return false;
    // The caller reads the name, cut or not.
    name[sizeof name - 1] = '\0';
    // A name that fills the buffer arrives cut and unterminated; one with a
    // NUL inside would be taken for a shorter name than it is.
    if (info.size_filename >= sizeof name || strlen(name) != info.size_filename)
        return false;
    if (!name_is_safe(name))
        return false;
    char target[PATH_SIZE];
    int needed = snprintf(target, sizeof target, "%s%s", target_folder, name);
    if (needed < 0 || needed >= static_cast<int>(sizeof target))
        return false;
    if (is_folder_entry(name, info)) {
        unpack_make_folder(target);
        return unpack_folder_exists(target) != 0;
    }
    if (temporary[0] == '\0')
        return false;
    // The entry goes to a temporary file first, so a failed one cannot
    // leave a partial file behind or spoil an older file of its name.
    if (!copy_entry(zip, info, temporary, buffer)) {
        remove(temporary);
        return false;
    }
    time_t when = entry_time(info);
    if (when != static_cast<time_t>(-1))
        unpack_set_file_times(temporary, when);
    if (!unpack_replace_file(temporary, target)) {
        remove(temporary);
        return false;
    }
    return true;
}

// zlib's reader takes an end of central directory record at offset 0 for
// one not found, so it refuses the one archive that has it there: the empty
// one, 22 bytes and its comment, all counts and offsets 0.
bool is_empty_archive(const char* path)
{
    FILE* file = fopen(path, "rb");
    if (!file)
        return false;
    static const unsigned char zeros[16] = {};
    unsigned char record[22];
    bool empty = fread(record, 1, sizeof record, file) == sizeof record &&
                 memcmp(record, "PK\5\6", 4) == 0 && memcmp(record + 4, zeros, sizeof zeros) == 0;
    if (empty) {
        long comment = record[20] | record[21] << 8;
        empty = fseek(file, 0, SEEK_END) == 0 && ftell(file) == 22 + comment;
    }
    fclose(file);
    return empty;
}

// Keeps top (PATH_SIZE bytes) the one folder every entry so far lies below,
// or "" once an entry lies elsewhere. *seen says whether an entry came.
void note_top_folder(const char* name, char* top, bool* seen)
{
    size_t length = strcspn(name, "/\\");
    bool below = name[length] != '\0' && length > 0;
    if (!*seen && below)
        snprintf(top, PATH_SIZE, "%.*s", static_cast<int>(length), name);
    else if (!below || strlen(top) != length || strncmp(top, name, length) != 0)
        top[0] = '\0';
    *seen = true;
}

// Unpacks the archive below target_folder; *whole tells whether every entry
// arrived and the central directory was read to its end, top (PATH_SIZE
// bytes) the one folder all entries lie below, "" when there is none. 1
// when the archive was opened, else 0.
int unpack_walk(const char* archive_path, const char* target_folder, bool* whole, char* top)
{
    *whole = false;
    top[0] = '\0';
    unzFile zip = unzOpen64(archive_path);
    if (!zip) {
        *whole = is_empty_archive(archive_path);
        return *whole ? 1 : 0;
    }
    unz_global_info64 global;
    bool counted = unzGetGlobalInfo64(zip, &global) == UNZ_OK;
    ZPOS64_T count = counted ? global.number_entry : 0;
    // An empty temporary path (the folder is too long for it) lets folder
    // entries through but no file entry.
    char temporary[PATH_SIZE];
    int needed = snprintf(temporary, sizeof temporary, "%s~unpack-%lu.tmp", target_folder,
                          unpack_process_id());
    if (needed < 0 || needed >= static_cast<int>(sizeof temporary))
        temporary[0] = '\0';
    // One fixed buffer carries every entry's data from the reader to its file.
    unsigned char buffer[COPY_BLOCK];
    bool all_arrived = counted;
    bool seen = false;
    for (ZPOS64_T i = 0; i < count; i++) {
        // The reader walks the central directory record by record; past one
        // it cannot read, it cannot find the next.
        int moved = i == 0 ? unzGoToFirstFile(zip) : unzGoToNextFile(zip);
        if (moved != UNZ_OK) {
            all_arrived = false;
            break;
        }
        char name[PATH_SIZE];
        if (!unpack_entry(zip, target_folder, temporary, buffer, name))
            all_arrived = false;
        note_top_folder(name, top, &seen);
    }
    unzClose(zip);
    *whole = all_arrived;
    return 1;
}

// The folders of a runtime install in root, each without a final separator.
struct RuntimeFolders {
    char runtime[PATH_SIZE];      // the installed runtime
    char parent[PATH_SIZE];       // the folder holding it, when root does not
    char set_aside[PATH_SIZE];    // where it goes while the new one moves in
    char staging[PATH_SIZE];      // where the archive is unpacked
    char staging_root[PATH_SIZE]; // the same with its separator: the unpack target
    char staged_java[PATH_SIZE];  // the new runtime, ready to move in
};

bool fits(int needed)
{
    return needed >= 0 && needed < PATH_SIZE;
}

bool runtime_folders(const char* root, const char* runtime, RuntimeFolders* folders)
{
    size_t length = strlen(root);
    if (length == 0 || !fits(snprintf(folders->runtime, PATH_SIZE, "%s", runtime)))
        return false;
    // Paths go on with the separator root ends in.
    char separator = root[length - 1];
    snprintf(folders->parent, PATH_SIZE, "%s", runtime);
    char* last = strrchr(folders->parent, separator);
    if (last && static_cast<size_t>(last - folders->parent) >= length)
        *last = '\0';
    else
        folders->parent[0] = '\0';
    unsigned long id = unpack_process_id();
    return fits(snprintf(folders->set_aside, PATH_SIZE, "%s%s%lu", root, SET_ASIDE_PREFIX, id)) &&
           fits(snprintf(folders->staging, PATH_SIZE, "%s%s%lu", root, STAGING_PREFIX, id)) &&
           fits(snprintf(folders->staging_root, PATH_SIZE, "%s%c", folders->staging, separator)) &&
           fits(snprintf(folders->staged_java, PATH_SIZE, "%s%s", folders->staging_root,
                         RUNTIME_FOLDER));
}

// Moves the staged runtime into place; 1, or 0 with the installed runtime
// (if any) left where and as it was.
int swap_runtime(const RuntimeFolders& folders)
{
    bool installed = unpack_folder_exists(folders.runtime) != 0;
    // A runtime in use cannot be moved: it stays, and the next launch tries again.
    if (installed && !unpack_rename_folder(folders.runtime, folders.set_aside))
        return 0;
    if (folders.parent[0])
        unpack_make_folder(folders.parent);
    if (!unpack_rename_folder(folders.staged_java, folders.runtime)) {
        if (installed)
            unpack_rename_folder(folders.set_aside, folders.runtime);
        return 0;
    }
    if (installed)
        unpack_remove_tree(folders.set_aside);
    return 1;
}

// The staged runtime's folder: java, as the launcher's own archives hold it,
// else the one top folder of a vendor's archive when it holds bin/java.exe.
// False when the archive holds neither.
bool find_staged_runtime(RuntimeFolders* folders, const char* top)
{
    if (unpack_folder_exists(folders->staged_java))
        return true;
    char java[PATH_SIZE];
    char separator = folders->staging_root[strlen(folders->staging_root) - 1];
    if (!top[0] || !fits(snprintf(java, PATH_SIZE, "%s%s%cbin%cjava.exe", folders->staging_root,
                                  top, separator, separator)))
        return false;
    FILE* file = fopen(java, "rb");
    if (!file)
        return false;
    fclose(file);
    snprintf(folders->staged_java, PATH_SIZE, "%s%s", folders->staging_root, top);
    return true;
}

// Writes text and a line end into the file name in folder; what it was
// installed as is only a help to later launches, so a failure is no
// reason to keep the runtime out.
void write_record(const char* folder, const char* name, const char* text, char separator)
{
    char path[PATH_SIZE];
    if (!fits(snprintf(path, PATH_SIZE, "%s%c%s", folder, separator, name)))
        return;
    FILE* file = fopen(path, "wb");
    if (!file)
        return;
    fprintf(file, "%s\n", text);
    fclose(file);
}

} // namespace

int unpack_archive(const char* archive_path, const char* target_folder)
{
    bool whole = false;
    char top[PATH_SIZE];
    return unpack_walk(archive_path, target_folder, &whole, top);
}

int unpack_runtime(const char* archive_path, const char* root, const char* runtime,
                   const char* installed_as)
{
    RuntimeFolders folders;
    if (!runtime_folders(root, runtime, &folders))
        return 0;
    // Folders of these names can only be left from a run killed on the way.
    unpack_remove_tree(folders.staging);
    unpack_remove_tree(folders.set_aside);
    unpack_make_folder(folders.staging);
    bool whole = false;
    int swapped = 0;
    char top[PATH_SIZE];
    if (unpack_walk(archive_path, folders.staging_root, &whole, top) && whole &&
        find_staged_runtime(&folders, top)) {
        if (installed_as)
            write_record(folders.staged_java, UNPACK_RECORD_NAME, installed_as,
                         root[strlen(root) - 1]);
        swapped = swap_runtime(folders);
    }
    unpack_remove_tree(folders.staging);
    return swapped;
}

int unpack_remove_runtime(const char* root, const char* runtime)
{
    RuntimeFolders folders;
    if (!runtime_folders(root, runtime, &folders))
        return 0;
    unpack_remove_tree(folders.set_aside);
    if (!unpack_rename_folder(folders.runtime, folders.set_aside))
        return 0;
    unpack_remove_tree(folders.set_aside);
    return 1;
}

void unpack_remove_leftovers(const char* root)
{
    unpack_remove_folders(root, STAGING_PREFIX);
    unpack_remove_folders(root, SET_ASIDE_PREFIX);
}
