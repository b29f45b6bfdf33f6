// The real Launcher.exe against https:// code bases: nginx with TLS, one
// port per certificate, and a server that cuts its TLS stream, all started
// before this program by tests/win/tls-servers. The prefix's machine store
// trusts the test authority, as an administrator's would.
#include "tests/win/launcher_fixture.h"

#include <wincrypt.h>

#include <map>
#include <sstream>

namespace {

const std::string SERVERS = TLS_SERVERS;
const std::string UNTRUSTED = "Error, the server's certificate is not trusted localhost";

std::map<std::string, int> server_ports()
{
    std::map<std::string, int> ports;
    std::istringstream lines(read_file(SERVERS + "ports"));
    std::string name;
    int port;
    while (lines >> name >> port)
        ports[name] = port;
    return ports;
}

// Makes the machine's root store trust the test authority. Wine 8 keeps a
// certificate added to its root store with CertAddEncodedCertificateToStore
// in the adding process only, so the authority goes where Windows keeps the
// store for every process: the registry, as a serialized certificate named
// by its SHA-1 hash.
bool trust_test_authority()
{
    std::string pem = read_file(SERVERS + "ca.pem");
    BYTE der[8192];
    DWORD size = sizeof der;
    if (!CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, der, &size, nullptr,
                              nullptr))
        return false;
    PCCERT_CONTEXT authority = CertCreateCertificateContext(X509_ASN_ENCODING, der, size);
    BYTE hash[20];
    DWORD hash_size = sizeof hash;
    // The size is asked for first, then the element written.
    DWORD blob_size = 0;
    std::vector<BYTE> blob;
    bool made = authority &&
                CertGetCertificateContextProperty(authority, CERT_SHA1_HASH_PROP_ID, hash,
                                                  &hash_size) &&
                CertSerializeCertificateStoreElement(authority, 0, nullptr, &blob_size);
    blob.resize(blob_size);
    made = made && CertSerializeCertificateStoreElement(authority, 0, blob.data(), &blob_size);
    if (authority)
        CertFreeCertificateContext(authority);
    std::string key = "Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\";
    for (DWORD i = 0; i < hash_size; i++) {
        char digits[3];
        snprintf(digits, sizeof digits, "%02X", hash[i]);
        key += digits;
    }
    return made && RegSetKeyValueA(HKEY_LOCAL_MACHINE, key.c_str(), "Blob", REG_BINARY,
                                   blob.data(), blob_size) == ERROR_SUCCESS;
}

class LauncherTlsE2E : public LauncherE2E {
protected:
    void SetUp() override
    {
        LauncherE2E::SetUp();
        ASSERT_TRUE(trust_test_authority());
        place_fake_java();
        write_file(SERVERS + "www/app/a.jar", "jar a over TLS");
    }

    std::string codebase(const std::string& server, const std::string& scheme = "https") const
    {
        return scheme + "://localhost:" + std::to_string(ports_.at(server)) + "/app/";
    }

    // The site cache folder of codebase: its text with ":" and "/" as "#".
    static std::string site(std::string codebase)
    {
        for (char& c : codebase)
            c = c == ':' || c == '/' ? '#' : c;
        return "C:\\quorvel\\launcher\\cache\\" + codebase + "\\";
    }

    std::string descriptor(const std::string& codebase, const std::string& resource = "a.jar")
    {
        return write_descriptor("app.nlp", "{\"codebase\": \"" + codebase +
                                               "\", \"resources\": [\"" + resource +
                                               "\"], \"mainclass\": \"app.Main\"}");
    }

    void launch(const std::string& path)
    {
        ResetEvent(java_started_);
        run("/S \"" + path + "\"");
        ASSERT_TRUE(wait_for_java());
    }

    // The launch fails with one box; the window then waits for the user.
    void launch_failing(const std::string& path)
    {
        close_main_window_after_box(dialogs_, dialogs_.records().size() + 1,
                                    start("/S \"" + path + "\""));
    }

    // nginx's log of the requests on the server's port: "GET /app/a.jar 200".
    std::vector<std::string> served(const std::string& server) const
    {
        std::vector<std::string> lines;
        std::istringstream log(read_file(SERVERS + "access.log"));
        std::string port, method, target, version, status;
        while (log >> port >> method >> target >> version >> status) {
            if (port == std::to_string(ports_.at(server)))
                lines.push_back(method + " " + target + " " + status);
        }
        return lines;
    }

    std::map<std::string, int> ports_ = server_ports();
};

TEST_F(LauncherTlsE2E, AnHttpsCodeBaseIsFetchedThenRevalidated)
{
    std::string path = descriptor(codebase("good"));
    launch(path);
    launch(path);
    EXPECT_EQ(read_file(site(codebase("good")) + "a.jar"), "jar a over TLS");
    EXPECT_EQ(served("good"), (std::vector<std::string>{"GET /app/a.jar 200", "GET /app/a.jar 304"}));
    EXPECT_EQ(java_starts().size(), 2u);
    EXPECT_EQ(dialogs_.records(), std::vector<DialogRecord>{});
}

TEST_F(LauncherTlsE2E, CertificatesThatFailTheCheckAreRefused)
{
    for (const char* server : {"wrong", "expired", "unknown"}) {
        SCOPED_TRACE(server);
        std::string path = descriptor(codebase(server));
        launch_failing(path);
        EXPECT_EQ(dialogs_.records().back(), error_box(UNTRUSTED));
        EXPECT_FALSE(file_exists(site(codebase(server)) + "a.jar"));

        // With a copy in the cache, the launch goes on with it.
        harness_make_folders(site(codebase(server)));
        write_file(site(codebase(server)) + "a.jar", "cached a");
        size_t boxes = dialogs_.records().size();
        launch(path);
        EXPECT_EQ(read_file(site(codebase(server)) + "a.jar"), "cached a");
        EXPECT_EQ(dialogs_.records().size(), boxes);
        EXPECT_TRUE(served(server).empty());
    }
}

TEST_F(LauncherTlsE2E, RedirectsReachHttpsButNeverLeaveIt)
{
    // http:// answers 301 with the https:// address; the file keeps its name.
    std::string upgraded = codebase("plain", "http");
    launch(descriptor(upgraded));
    EXPECT_EQ(read_file(site(upgraded) + "a.jar"), "jar a over TLS");
    EXPECT_EQ(served("plain"), std::vector<std::string>{"GET /app/a.jar 301"});

    // https:// answering with an http:// address is refused.
    std::string good = "https://localhost:" + std::to_string(ports_.at("good")) + "/down/";
    launch_failing(descriptor(good));
    EXPECT_EQ(dialogs_.records(), std::vector<DialogRecord>{error_box("Error downloading resource")});
    EXPECT_FALSE(file_exists(site(good) + "a.jar"));
    EXPECT_EQ(served("plain").size(), 1u);
}

TEST_F(LauncherTlsE2E, AStreamCutWithoutCloseNotifyKeepsTheCachedCopy)
{
    std::string cut = codebase("cut");
    harness_make_folders(site(cut));
    write_file(site(cut) + "a.jar", "cached a");
    launch(descriptor(cut));
    EXPECT_EQ(read_file(site(cut) + "a.jar"), "cached a");
    EXPECT_EQ(dialogs_.records(), std::vector<DialogRecord>{});
}

} // namespace
