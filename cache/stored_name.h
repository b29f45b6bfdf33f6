// The name under which download_resource stores a URL's file, and the
// check that keeps it inside the target folder. Whoever must know what the
// cache holds derives names here, as the download does.
#pragma once

// The text after url's last '/'; null when url has none (nothing is
// fetched).
const char* stored_name_of(const char* url);

// 1 when the download writes a file of this name: not empty, "." or "..",
// fewer than DOWNLOAD_NAME_SIZE characters, and holding no control
// character and none of <>:"/\|?*, so that it names a file inside the
// folder. A name like "..\Launcher.exe" or "C:x" would write elsewhere.
int stored_name_acceptable(const char* name);
