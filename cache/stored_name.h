// The name under which download_resource stores a URL's file, and the
// check that keeps it inside the target folder. Whoever must know what the
// cache holds derives names here, as the download does.
#pragma once

// The text after url's last '/'; null when url has none (nothing is
// fetched).
const char* stored_name_of(const char* url);

// 1 when the download writes a file of this name: not empty, "." or "..",
// fewer than DOWNLOAD_NAME_SIZE characters, holding no control character
// and none of <>:"/\|?*, so that it names a file inside the folder (a name
// like "..\Launcher.exe" or "C:x" would write elsewhere), not made of dots
// and blanks alone (Windows drops them at a name's end: "..." is ".."), and
// no device (CON, NUL, COM0..., LPT¹..., with or without an extension).
int stored_name_acceptable(const char* name);
