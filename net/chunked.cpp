#include "net/chunked.h"

namespace {

enum Phase {
    SIZE_FIRST,    // the first digit of a size
    SIZE,          // more digits
    SIZE_BLANKS,   // blanks after the digits
    EXTENSION,     // after ';', up to CR
    SIZE_LF,       // after the size line's CR
    DATA,
    DATA_CR,
    DATA_LF,
    TRAILER,       // the start of a trailer line, or the empty line
    TRAILER_LINE,
    TRAILER_LF,
    END_LF,        // the empty line's LF
    DONE,
    BAD,
};

// A size must fit a signed 64-bit count.
const uint64_t MAX_SIZE = UINT64_C(0x7FFFFFFFFFFFFFFF);

int hex_value(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Where a size line goes from its digits or blanks on c.
Phase after_size(char c, Phase same)
{
    if (c == ' ' || c == '\t')
        return SIZE_BLANKS;
    if (c == ';')
        return EXTENSION;
    if (c == '\r')
        return SIZE_LF;
    return same;
}

// One byte of the framing (not data): the phase it leads to.
Phase step(ChunkedDecoder* decoder, char c)
{
    Phase phase = static_cast<Phase>(decoder->phase);
    bool in_size_line = phase <= SIZE_LF;
    if (in_size_line && ++decoder->line > CHUNKED_LINE_MAX)
        return BAD;
    if (phase >= TRAILER && phase <= TRAILER_LF) {
        if (++decoder->trailer_bytes > CHUNKED_MAX_TRAILER_BYTES)
            return BAD;
        if (phase != TRAILER && ++decoder->line > CHUNKED_LINE_MAX)
            return BAD;
    }
    int digit = hex_value(c);
    switch (phase) {
    case SIZE_FIRST:
    case SIZE:
        if (digit >= 0) {
            if (decoder->left > (MAX_SIZE >> 4))
                return BAD;
            decoder->left = decoder->left << 4 | static_cast<uint64_t>(digit);
            return SIZE;
        }
        return phase == SIZE ? after_size(c, BAD) : BAD;
    case SIZE_BLANKS:
        return after_size(c, BAD);
    case EXTENSION:
        return c == '\r' ? SIZE_LF : c == '\n' ? BAD : EXTENSION;
    case SIZE_LF:
        if (c != '\n')
            return BAD;
        decoder->line = 0;
        return decoder->left ? DATA : TRAILER;
    case DATA_CR:
        return c == '\r' ? DATA_LF : BAD;
    case DATA_LF:
        return c == '\n' ? SIZE_FIRST : BAD;
    case TRAILER:
        if (c == '\r')
            return END_LF;
        if (c == '\n' || ++decoder->trailer_lines > CHUNKED_MAX_TRAILER_LINES)
            return BAD;
        decoder->line = 1;
        return TRAILER_LINE;
    case TRAILER_LINE:
        return c == '\r' ? TRAILER_LF : c == '\n' ? BAD : TRAILER_LINE;
    case TRAILER_LF:
        decoder->line = 0;
        return c == '\n' ? TRAILER : BAD;
    case END_LF:
        return c == '\n' ? DONE : BAD;
    default:
        return BAD;
    }
}

} // namespace

void chunked_start(ChunkedDecoder* decoder)
{
    *decoder = {SIZE_FIRST, 0, 0, 0, 0};
}

int chunked_decode(ChunkedDecoder* decoder, const char* input, int size, const char** data,
                   int* length)
{
    *length = 0;
    int used = 0;
    while (used < size && decoder->phase != DONE && decoder->phase != BAD) {
        if (decoder->phase == DATA) {
            uint64_t take = static_cast<uint64_t>(size - used);
            if (take > decoder->left)
                take = decoder->left;
            *data = input + used;
            *length = static_cast<int>(take);
            decoder->left -= take;
            if (decoder->left == 0)
                decoder->phase = DATA_CR;
            return used + *length;
        }
        decoder->phase = step(decoder, input[used++]);
    }
    return decoder->phase == BAD ? -1 : used;
}

int chunked_done(const ChunkedDecoder* decoder)
{
    return decoder->phase == DONE;
}
