#include "serve/query.h"
#include "serve/token.h"

#include <cjson/cJSON.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

// Parses a copy of line; the entries point into that copy.
struct Parsed {
    explicit Parsed(const std::string& line) : text(line.begin(), line.end())
    {
        text.push_back('\0');
        count = query_parse(text.data(), &entries);
    }
    ~Parsed() { free(entries); }
    Parsed(const Parsed&) = delete;
    Parsed& operator=(const Parsed&) = delete;

    Pairs pairs() const
    {
        Pairs out;
        for (int i = 0; i < count; i++)
            out.emplace_back(entries[i].key, entries[i].value);
        return out;
    }
    bool points_into_text(const char* p) const
    {
        return p >= text.data() && p < text.data() + text.size();
    }

    std::vector<char> text;
    QueryEntry* entries = nullptr;
    int count = -2;
};

std::string decode(const std::string& text)
{
    char* decoded = url_decode(text.c_str());
    std::string out = decoded ? decoded : "<null>";
    free(decoded);
    return out;
}

std::string json_of(const std::string& line)
{
    Parsed parsed(line);
    char* json = query_to_json(parsed.entries, parsed.count);
    std::string out = json ? json : "<null>";
    free(json);
    return out;
}

TEST(SplitToken, CutsAtTheFirstDelimiterAndMovesTheCursor)
{
    char text[] = "a=1&b&&c";
    char* cursor = text;
    EXPECT_STREQ(split_token(&cursor, "&"), "a=1");
    EXPECT_EQ(cursor, text + 4);
    EXPECT_STREQ(split_token(&cursor, "&"), "b");
    EXPECT_STREQ(split_token(&cursor, "&"), "");
    EXPECT_STREQ(split_token(&cursor, "&"), "c");
    EXPECT_EQ(cursor, nullptr);
    EXPECT_EQ(split_token(&cursor, "&"), nullptr);
    EXPECT_EQ(cursor, nullptr);
}

TEST(SplitToken, AnyCharacterOfTheSetDelimits)
{
    char text[] = "key=value&rest";
    char* cursor = text;
    EXPECT_STREQ(split_token(&cursor, "&="), "key");
    EXPECT_STREQ(cursor, "value&rest");
    EXPECT_STREQ(split_token(&cursor, "&="), "value");
    EXPECT_STREQ(cursor, "rest");
}

TEST(CutLineEnd, EndsAtTheFirstCarriageReturnOrLineFeed)
{
    char crlf[] = "GET / HTTP/1.1\r\nHost: x\r\n";
    EXPECT_EQ(cut_line_end(crlf), crlf + 14);
    EXPECT_STREQ(crlf, "GET / HTTP/1.1");
    EXPECT_EQ(crlf[15], '\n');

    char lf[] = "line\nnext\r";
    EXPECT_EQ(cut_line_end(lf), lf + 4);
    EXPECT_STREQ(lf, "line");

    char none[] = "no end";
    EXPECT_EQ(cut_line_end(none), nullptr);
    EXPECT_STREQ(none, "no end");
}

TEST(HexDigitValue, DigitsAndLettersInEitherCaseAndTheRuleBeyond)
{
    const std::string digits = "0123456789abcdef";
    for (int i = 0; i < 16; i++) {
        EXPECT_EQ(hex_digit_value(digits[i]), i) << digits[i];
        EXPECT_EQ(hex_digit_value(static_cast<char>(toupper(digits[i]))), i) << digits[i];
    }
    EXPECT_EQ(hex_digit_value('g'), 16);
    EXPECT_EQ(hex_digit_value('Z'), 35);
    EXPECT_EQ(hex_digit_value('%'), '%' - 87);
}

TEST(QueryParse, NoQueryStringGivesNoEntriesAndNoArray)
{
    for (const char* line : {"GET /index.html HTTP/1.1\r\n", "GET /x?", "?", ""}) {
        SCOPED_TRACE(line);
        Parsed parsed(line);
        EXPECT_EQ(parsed.count, 0);
        EXPECT_EQ(parsed.entries, nullptr);
        EXPECT_EQ(std::string(parsed.text.data()), line);
    }
}

TEST(QueryParse, RequestLineGivesProtoFirstThenThePairs)
{
    Parsed parsed("GET /x?a=1&b HTTP/1.1\r\n");
    EXPECT_EQ(parsed.count, 3);
    EXPECT_EQ(parsed.pairs(), (Pairs{{"PROTO", "HTTP/1.1"}, {"a", "1"}, {"b", ""}}));
    // Keys and values are cut out of the request text itself.
    for (int i = 1; i < parsed.count; i++)
        EXPECT_TRUE(parsed.points_into_text(parsed.entries[i].key));
    EXPECT_TRUE(parsed.points_into_text(parsed.entries[0].value));
    EXPECT_TRUE(parsed.points_into_text(parsed.entries[1].value));
}

TEST(QueryParse, ProtoIsTheWholeRestOfTheLine)
{
    Parsed parsed("GET /x?k=v HTTP/1.1 extra&x=y\nHost: h\r\n");
    EXPECT_EQ(parsed.pairs(), (Pairs{{"PROTO", "HTTP/1.1 extra&x=y"}, {"k", "v"}}));
}

TEST(QueryParse, WithoutASpaceThereIsNoProto)
{
    Parsed parsed("/path?name=value&flag");
    EXPECT_EQ(parsed.pairs(), (Pairs{{"name", "value"}, {"flag", ""}}));
    Parsed line_end("/p?q=1\r\n");
    EXPECT_EQ(line_end.pairs(), (Pairs{{"q", "1"}}));
}

TEST(QueryParse, OnlyTheFirstEqualsSplitsAndEmptyPiecesAreEntries)
{
    Parsed parsed("GET /?a=1=2&&=v&k= HTTP/1.0");
    EXPECT_EQ(parsed.pairs(), (Pairs{{"PROTO", "HTTP/1.0"},
                                     {"a", "1=2"},
                                     {"", ""},
                                     {"", "v"},
                                     {"k", ""}}));
}

TEST(QueryParse, QueryOfOnlyALineEndOrSpaceStillGivesOneEntry)
{
    Parsed crlf("GET /x?\r\n");
    EXPECT_EQ(crlf.pairs(), (Pairs{{"", ""}}));
    Parsed space("GET /x? HTTP/1.1");
    EXPECT_EQ(space.pairs(), (Pairs{{"PROTO", "HTTP/1.1"}, {"", ""}}));
}

TEST(QueryParse, ManyPairsKeepTheirOrder)
{
    std::string line = "GET /?";
    Pairs expected{{"PROTO", "HTTP/1.1"}};
    for (int i = 0; i < 100; i++) {
        line += (i ? "&k" : "k") + std::to_string(i) + "=" + std::to_string(i * i);
        expected.emplace_back("k" + std::to_string(i), std::to_string(i * i));
    }
    Parsed parsed(line + " HTTP/1.1\r\n");
    EXPECT_EQ(parsed.pairs(), expected);
}

TEST(QueryLookup, FirstExactMatchCaseSensitive)
{
    Parsed parsed("GET /?a=1&A=2&a=3&b HTTP/1.1");
    EXPECT_STREQ(query_lookup(parsed.entries, parsed.count, "a"), "1");
    EXPECT_STREQ(query_lookup(parsed.entries, parsed.count, "A"), "2");
    EXPECT_STREQ(query_lookup(parsed.entries, parsed.count, "b"), "");
    EXPECT_STREQ(query_lookup(parsed.entries, parsed.count, "PROTO"), "HTTP/1.1");
    EXPECT_EQ(query_lookup(parsed.entries, parsed.count, "B"), nullptr);
    EXPECT_EQ(query_lookup(parsed.entries, parsed.count, "a="), nullptr);
    EXPECT_EQ(query_lookup(parsed.entries, 0, "a"), nullptr);
    EXPECT_EQ(query_lookup(parsed.entries, -1, "a"), nullptr);
    EXPECT_EQ(query_lookup(nullptr, 0, "a"), nullptr);
}

TEST(UrlDecode, PlusAndEscapes)
{
    EXPECT_EQ(decode("a+b"), "a b");
    EXPECT_EQ(decode("%41%61"), "Aa");
    EXPECT_EQ(decode("%2b%2B"), "++");
    EXPECT_EQ(decode("100%25+sure%3F"), "100% sure?");
    EXPECT_EQ(decode("%e2%82%AC"), "\xe2\x82\xac");
    EXPECT_EQ(decode(""), "");
}

TEST(UrlDecode, OddPercentRules)
{
    EXPECT_EQ(decode("abc%"), "abc");
    EXPECT_EQ(decode("abc%4"), "abc4");
    EXPECT_EQ(decode("x%+"), "x ");
    EXPECT_EQ(decode("x%%"), "x");
    // Unchecked digits: 'z' counts 35, so %zz is (35 * 16 | 35) & 0xFF.
    EXPECT_EQ(decode("%zz"), std::string(1, static_cast<char>((35 * 16 | 35) & 0xFF)));
    // "%%4" takes "%4" as its two digits; the "1" after them stays.
    EXPECT_EQ(decode("%%41"), std::string("\xe4") + "1");
}

TEST(QueryToJson, NoMembersGiveAnEmptyObject)
{
    EXPECT_EQ(json_of("GET / HTTP/1.1"), "{}");
    Parsed proto_only("GET /? HTTP/1.1");
    char* json = query_to_json(proto_only.entries, 1);
    EXPECT_STREQ(json, "{}");
    free(json);
}

TEST(QueryToJson, DecodedValuesQuotedObjectsInsertedKeysUndecoded)
{
    EXPECT_EQ(json_of("GET /x?a=1&b&c+d%20=x+y%21&o=%7B%22n%22%3A1%7D HTTP/1.1\r\n"),
              "{\"a\":\"1\",\"b\":\"\",\"c+d%20\":\"x y!\",\"o\":{\"n\":1}}");
}

TEST(QueryToJson, EscapesQuotesBackslashesAndControlCharacters)
{
    EXPECT_EQ(json_of("/?k%22=%22%5C%0A%01%1F%7F"),
              "{\"k%22\":\"\\\"\\\\\\u000a\\u0001\\u001f\x7f\"}");
    EXPECT_EQ(json_of("/?a\"b\\c=1"), "{\"a\\\"b\\\\c\":\"1\"}");
}

// Every object the function makes must parse to exactly the members put in.
void expect_members(const std::string& line, const Pairs& members)
{
    SCOPED_TRACE(line);
    std::string json = json_of(line);
    cJSON* root = cJSON_Parse(json.c_str());
    ASSERT_NE(root, nullptr) << json;
    ASSERT_TRUE(cJSON_IsObject(root)) << json;
    Pairs got;
    for (cJSON* member = root->child; member; member = member->next) {
        if (cJSON_IsString(member)) {
            got.emplace_back(member->string, member->valuestring);
        } else {
            char* text = cJSON_PrintUnformatted(member);
            got.emplace_back(member->string, text);
            free(text);
        }
    }
    cJSON_Delete(root);
    EXPECT_EQ(got, members) << json;
}

TEST(QueryToJson, HostileQueriesCannotBreakOrExtendTheObject)
{
    expect_members("/?a=x%22,%22admin%22:%22true", {{"a", "x\",\"admin\":\"true"}});
    expect_members("/?a=%5C&b=%5C%22", {{"a", "\\"}, {"b", "\\\""}});
    expect_members("/?a=%00tail", {{"a", ""}});
    expect_members("/?a=line%0Abreak%09tab%0D", {{"a", "line\nbreak\ttab\r"}});
    expect_members("/?x%22:1,%22y=2", {{"x%22:1,%22y", "2"}});
    expect_members("/?k\":\"v\",\"admin=1", {{"k\":\"v\",\"admin", "1"}});
    // Starts like an object but is not exactly one: kept as a string.
    expect_members("/?a={}%2C%22admin%22%3Atrue", {{"a", "{},\"admin\":true"}});
    expect_members("/?a={%22x%22:1", {{"a", "{\"x\":1"}});
    expect_members("/?a={}}", {{"a", "{}}"}});
    expect_members("/?a={%22s%22:%22%0A%22}", {{"a", "{\"s\":\"\n\"}"}});
    expect_members("/?a=[1]&b=%22q%22", {{"a", "[1]"}, {"b", "\"q\""}});
    // A real object passes as one.
    expect_members("/?o={%22k%22:[1,%22two%22]}&s=str",
                   {{"o", "{\"k\":[1,\"two\"]}"}, {"s", "str"}});
}

// cJSON refuses a document nested deeper than CJSON_NESTING_LIMIT levels; an
// object value sits one level below the result's own object.
std::string nested_objects(int levels)
{
    std::string text;
    for (int i = 1; i < levels; i++)
        text += "{\"a\":";
    text += "{}";
    return text + std::string(static_cast<size_t>(levels - 1), '}');
}

TEST(QueryToJson, ObjectsAtCjsonsNestingLimitStayStrings)
{
    const std::string deepest = nested_objects(CJSON_NESTING_LIMIT - 1);
    const std::string too_deep = nested_objects(CJSON_NESTING_LIMIT);
    Pairs inserted = {{"k", deepest}};
    expect_members("/?k=" + deepest, inserted);
    Pairs quoted = {{"k", too_deep}};
    expect_members("/?k=" + too_deep, quoted);
    EXPECT_EQ(json_of("/?k=" + too_deep).substr(0, 9), "{\"k\":\"{\\\"");
}

} // namespace
