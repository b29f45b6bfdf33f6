#include "app/publisher.h"

#include "tests/app/minisign_maker.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char identity[] = "https://apps.example/cameras/app.nlp";

std::string comment_at(int64_t seconds)
{
    return "timestamp:" + std::to_string(seconds) + "\tfile:app.nlp\thashed";
}

// One release judged against a record (a key and the committed release's
// time, none, or bytes as they stand) and the administrator's lines; the
// record then holds what the commit pinned.
TEST(PublisherDecide, PinsRotatesAndRefusesPerTheApplicationsRecord)
{
    const TestKey a = make_key(1), b = make_key(2);
    const std::string data = "{\"codebase\": \"https://apps.example/cameras/\"}";
    const std::string by_a = sign(a, data, true, comment_at(2000));
    const std::string a_line = key_line(a), b_line = key_line(b);
    const std::string a_pinned = "identity " + std::string(identity) + "\nkey " + a_line +
                                 "\ntimestamp 1000\n";
    struct Case {
        const char* what;
        std::string record;  // "" for none
        std::string admin;   // lines separated by "\n", "" for none
        const std::string* publickey;
        std::string signature;  // "-" for none
        std::string data;
        int accepted;
        std::string reason;
        std::string pinned;  // the record after the commit
    } cases[] = {
        {"unsigned, nothing pinned", "", "", nullptr, "-", data, 1, "unsigned, no key pinned", ""},
        {"first signed release pins its key", "", "", &a_line, by_a, data, 1,
         "signed by key " + id_of(a) + " at 1970-01-01 00:33:20 UTC",
         "identity " + std::string(identity) + "\nkey " + a_line + "\ntimestamp 2000\n"},
        {"first release names a key but has no signature", "", "", &a_line, "-", data, 0,
         "not signed", ""},
        {"later release by the pinned key", a_pinned, "", &a_line, by_a, data, 1,
         "signed by key " + id_of(a) + " at 1970-01-01 00:33:20 UTC",
         "identity " + std::string(identity) + "\nkey " + a_line + "\ntimestamp 2000\n"},
        {"same release again", a_pinned, "", &a_line, sign(a, data, false, comment_at(1000)), data,
         1, "signed by key " + id_of(a) + " at 1970-01-01 00:16:40 UTC",
         "identity " + std::string(identity) + "\nkey " + a_line + "\ntimestamp 1000\n"},
        {"pinned key rotates to the one its release names", a_pinned, "", &b_line, by_a, data, 1,
         "signed by key " + id_of(a) + " at 1970-01-01 00:33:20 UTC, naming the new key " +
             id_of(b),
         "identity " + std::string(identity) + "\nkey " + b_line + "\ntimestamp 2000\n"},
        {"unsigned release of a pinned application", a_pinned, "", nullptr, "-", data, 0,
         "not signed", a_pinned},
        {"signature but no publickey", a_pinned, "", nullptr, by_a, data, 0, "not signed", a_pinned},
        {"another key names itself", a_pinned, "", &b_line, sign(b, data, true, comment_at(3000)),
         data, 0, "signed by key " + id_of(b) + ", the application's key is " + id_of(a), a_pinned},
        {"changed after signing", a_pinned, "", &a_line, by_a, data + " ", 0,
         "signature does not verify", a_pinned},
        {"replay of an older release", a_pinned, "", &a_line, sign(a, data, true, comment_at(999)),
         data, 0, "signed at 1970-01-01 00:16:39 UTC, older than the running release's "
         "1970-01-01 00:16:40 UTC", a_pinned},
        {"damaged record refuses", a_pinned + "x", "", &a_line, by_a, data, 0,
         "the application's pinned key cannot be read", a_pinned + "x"},
        {"another application's record refuses", "identity x\n" + a_pinned.substr(a_pinned.find("key")),
         "", &a_line, by_a, data, 0, "the application's pinned key cannot be read",
         "identity x\n" + a_pinned.substr(a_pinned.find("key"))},
        {"administrator's key, none pinned yet", "",
         "https://other.example " + b_line + "\n HTTPS://Apps.Example:443/ " + b_line, &a_line,
         by_a, data, 0,
         "signed by key " + id_of(a) + ", the application's key is " + id_of(b), ""},
        {"administrator's keys, one signed", "", "https://apps.example " + b_line +
         "\nhttps://apps.example " + a_line, &a_line, by_a, data, 1,
         "signed by key " + id_of(a) + " at 1970-01-01 00:33:20 UTC",
         "identity " + std::string(identity) + "\nkey " + a_line + "\ntimestamp 2000\n"},
        {"administrator's line of another origin", "", "http://apps.example " + b_line, nullptr, "-",
         data, 1, "unsigned, no key pinned", ""},
        {"administrator's key with nothing signed", "", "https://apps.example " + b_line, nullptr,
         "-", data, 0, "not signed", ""},
        {"publickey no key", "", "", &data, by_a, data, 0,
         "signature does not verify: \"publickey\" is no minisign public key", ""},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const std::string record = dir.file("publisher");
        if (!c.record.empty())
            write_file(record, c.record);
        std::string admin = c.admin + "\n";
        for (char& ch : admin)
            ch = ch == '\n' ? '\0' : ch;
        PublisherRelease release = {identity, record.c_str(),
                                    c.admin.empty() ? nullptr : admin.c_str(),
                                    c.publickey ? c.publickey->c_str() : nullptr,
                                    c.signature == "-" ? nullptr : c.signature.data(),
                                    c.signature.size(), c.data.data(), c.data.size()};
        PublisherVerdict verdict;
        EXPECT_EQ(publisher_decide(&release, &verdict), c.accepted) << c.what;
        EXPECT_EQ(verdict.reason, c.reason) << c.what;
        EXPECT_EQ(publisher_pin_commit(record.c_str(), identity, &verdict), 1) << c.what;
        EXPECT_EQ(read_file(record), c.pinned.empty() ? "<missing>" : c.pinned) << c.what;
    }
}

} // namespace
