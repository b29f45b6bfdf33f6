// The chunked transfer coding of an HTTP/1.1 body, decoded as its bytes
// arrive, in whatever pieces they come: a chunk-size line (hexadecimal
// digits, blanks, an extension after ';', CR LF), that many bytes of data
// and CR LF, again until a chunk of size 0, then trailer lines, read and
// passed over, and the empty line. Lines end in CR LF alone; a size line or
// trailer line is at most CHUNKED_LINE_MAX bytes with its CR LF, as a
// header line is, and the trailer at most CHUNKED_MAX_TRAILER_LINES lines
// and CHUNKED_MAX_TRAILER_BYTES bytes. Anything else is a malformed body.
#pragma once

#include <cstdint>

enum {
    CHUNKED_LINE_MAX = 1023,
    CHUNKED_MAX_TRAILER_LINES = 100,
    CHUNKED_MAX_TRAILER_BYTES = 65536,
};

// The decoder's place in the stream; chunked_start makes it, the rest is
// the decoder's own.
struct ChunkedDecoder {
    int phase;
    uint64_t left;       // the size being read, then the chunk's data not handed out
    int line;            // bytes of the current size or trailer line
    int trailer_lines;
    int trailer_bytes;
};

void chunked_start(ChunkedDecoder* decoder);

// Decodes the next bytes of the stream, input[0, size). Stops after the
// first run of data it meets, so that the caller hands it out before more
// input is decoded: *data and *length then name that run, a part of the
// input; otherwise *length is 0. Returns how many bytes of input were
// taken (all of them unless it stopped after data or at the body's end;
// none once the body has ended), or -1 for a malformed body (a bad or
// overflowing size, a line too long, data not followed by CR LF, a bare
// LF, a trailer too big), after which the decoder takes nothing more.
int chunked_decode(ChunkedDecoder* decoder, const char* input, int size, const char** data,
                   int* length);

// 1 once the empty line after the trailer has been taken: the body ended.
int chunked_done(const ChunkedDecoder* decoder);
