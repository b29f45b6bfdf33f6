// Temporary files that killed downloads left behind: download_resource
// writes a body to "download-<process id>.part" in the target folder first
// (download_temp_path), and a process that is killed meanwhile leaves it.
#pragma once

// Removes from folder (ending in "\") the temporary download files whose
// process no longer runs: no process has the id in the name, the one that
// has it has ended, or it started after the file was last written, so it is
// another program. A file whose process may still be writing it is kept,
// also when the process is not this user's to ask. Windows only.
void leftover_remove_stale(const char* folder);

// 1 when name is that of a temporary download file, "download-<process
// id>.part", whether its writer still runs or not. Windows only.
int leftover_is_temp_name(const char* name);
