// Unpacks one archive into one folder, for bench/run-unpack to time and measure.
//   unpack_bench ARCHIVE FOLDER/
#include "runtime/unpack.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: unpack_bench ARCHIVE FOLDER/\n");
        return 2;
    }
    return unpack_archive(argv[1], argv[2]) == 1 ? 0 : 1;
}
