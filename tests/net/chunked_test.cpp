#include "net/chunked.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

enum Outcome { WHOLE, UNENDED, MALFORMED };

struct Decoded {
    std::string data;
    Outcome outcome;
    size_t taken;  // bytes of the stream the decoder took (0 for a malformed one)
    bool operator==(const Decoded& other) const
    {
        return data == other.data && outcome == other.outcome && taken == other.taken;
    }
};

std::ostream& operator<<(std::ostream& out, const Decoded& d)
{
    return out << "{\"" << d.data << "\", " << d.outcome << ", " << d.taken << "}";
}

// The stream fed in the pieces that cuts make of it, each piece offered
// again and again until the decoder takes no more of it.
Decoded decode(const std::string& stream, const std::vector<size_t>& cuts)
{
    ChunkedDecoder decoder;
    chunked_start(&decoder);
    Decoded decoded = {"", UNENDED, 0};
    size_t from = 0;
    for (size_t i = 0; i <= cuts.size(); i++) {
        size_t to = i < cuts.size() ? cuts[i] : stream.size();
        while (from < to) {
            const char* data = nullptr;
            int length = 0;
            int used = chunked_decode(&decoder, stream.data() + from, static_cast<int>(to - from),
                                      &data, &length);
            if (used < 0) {
                decoded.outcome = MALFORMED;
                decoded.taken = 0;
                return decoded;
            }
            decoded.data.append(data ? data : "", static_cast<size_t>(length));
            from += static_cast<size_t>(used);
            decoded.taken = from;
            if (used == 0)
                break;
        }
        if (chunked_done(&decoder)) {
            decoded.outcome = WHOLE;
            return decoded;
        }
        from = to;
    }
    return decoded;
}

TEST(ChunkedDecode, SameResultWhereverTheStreamIsSplit)
{
    const std::string trailer_line = "X-T: " + std::string(1016, 't') + "\r\n";  // 1023 bytes
    struct Case {
        const char* name;
        std::string stream;
        std::string data;
        Outcome outcome;
    } cases[] = {
        {"two chunks", "4\r\nWiki\r\n5\r\npedia\r\n0\r\n\r\nHTTP/1.1 next", "Wikipedia", WHOLE},
        {"hex, zeros, blanks, extensions",
         "00A \t;name=\"v;x\"\r\n0123456789\r\n1;x\r\n!\r\n000\r\n\r\n", "0123456789!", WHOLE},
        {"trailers passed over", "3\r\nabc\r\n0\r\nX-A: 1\r\n" + trailer_line + "\r\n", "abc",
         WHOLE},
        {"data holding CR LF", "7\r\n\r\n0\r\n\r\n\r\n0\r\n\r\n", "\r\n0\r\n\r\n", WHOLE},
        {"no final CR LF", "3\r\nabc\r\n0\r\n", "abc", UNENDED},
        {"cut in the data", "5\r\nab", "ab", UNENDED},
        {"size overflows", "8000000000000000\r\nx", "", MALFORMED},
        {"size overflows late", "1\r\na\r\n00FFFFFFFFFFFFFFFFF\r\n", "a", MALFORMED},
        {"largest size", "7FFFFFFFFFFFFFFF\r\nab", "ab", UNENDED},
        {"no digits", "\r\nabc", "", MALFORMED},
        {"sign", "-1\r\n", "", MALFORMED},
        {"not hex", "4x\r\n", "", MALFORMED},
        {"blank before digits", " 4\r\nWiki\r\n", "", MALFORMED},
        {"data without CR LF", "4\r\nWikiX\r\n0\r\n\r\n", "Wiki", MALFORMED},
        {"data with LF alone", "4\r\nWiki\n0\r\n\r\n", "Wiki", MALFORMED},
        {"size line with LF alone", "4\nWiki\r\n", "", MALFORMED},
        {"CR without LF", "4\rWiki", "", MALFORMED},
        {"size line of 1024 bytes", "1;" + std::string(1020, 'e') + "\r\nx", "", MALFORMED},
        {"size line of 1023 bytes", "1;" + std::string(1019, 'e') + "\r\nx\r\n0\r\n\r\n", "x",
         WHOLE},
        {"trailer line of 1024 bytes", "0\r\nX-T: " + std::string(1017, 't') + "\r\n\r\n", "",
         MALFORMED},
        {"trailer of 101 lines", "0\r\n" + [] {
             std::string lines;
             for (int i = 0; i < 101; i++)
                 lines += "X: y\r\n";
             return lines;
         }() + "\r\n",
         "", MALFORMED},
        {"trailer over 64 KiB", "0\r\n" + [&] {
             std::string lines;
             for (int i = 0; i < 65; i++)
                 lines += trailer_line;
             return lines;
         }() + "\r\n",
         "", MALFORMED},
        {"trailer line with LF alone", "0\r\nX: y\n\r\n", "", MALFORMED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // The body's bytes and no more are taken from a whole stream.
        size_t end = c.stream.find("HTTP/1.1 next");
        Decoded expected = {c.data, c.outcome,
                            c.outcome == MALFORMED ? 0
                            : end == std::string::npos ? c.stream.size()
                                                       : end};
        ASSERT_EQ(decode(c.stream, {}), expected);
        // Byte by byte splits the stream at every byte at once; in two
        // pieces at every byte too, but past 4 KiB at every 61st (a long
        // stream would cost its length squared).
        std::vector<size_t> every_byte;
        for (size_t at = 1; at < c.stream.size(); at++) {
            every_byte.push_back(at);
            if (c.stream.size() <= 4096 || at % 61 == 0) {
                ASSERT_EQ(decode(c.stream, {at}), expected) << "split at " << at;
            }
        }
        ASSERT_EQ(decode(c.stream, every_byte), expected) << "byte by byte";
    }
}

} // namespace
