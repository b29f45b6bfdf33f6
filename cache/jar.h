// The content check of a class-path archive: a file whose name ends in
// ".jar" must be a zip archive whose central directory can be found and
// whose entries can all be listed. A network that answers with a page of
// its own (a login page, an error sent with 200), or an archive cut where
// its length looked whole, fails it, so such a body never replaces a jar.
#pragma once

// 1 when name ends in ".jar" in any letter case.
int jar_named(const char* name);

// 1 when the file at path is a readable zip archive as above (minizip), 0
// when it is not. An archive of no entries is not: minizip finds no
// central directory in it, and there is nothing on it to run.
int jar_readable(const char* path);
