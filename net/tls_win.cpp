// TLS through Schannel (SSPI): the handshake, the certificate check, and
// records encrypted and decrypted over the connection's own socket.
#define SECURITY_WIN32
#define SCHANNEL_USE_BLACKLISTS
#include "net/tls.h"

#include "net/cause.h"
#include "net/socket.h"

#include <winsock2.h>
#include <windows.h>
#include <subauth.h>
#include <wincrypt.h>
#include <schannel.h>
#include <security.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Room for a mebibyte of records as they arrive, and a whole record more.
enum { INCOMING_SIZE = (1 << 20) + (1 << 15), HOST_SIZE = 256 };

// SECURITY_FLAG_IGNORE_REVOCATION of the SSL policy's checks, which
// <wincrypt.h> leaves to <wininet.h>.
const DWORD SSL_IGNORE_REVOCATION = 0x80;

const DWORD CONTEXT_FLAGS = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT |
                            ISC_REQ_CONFIDENTIALITY | ISC_REQ_EXTENDED_ERROR |
                            ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM;

// One credentials handle for the process, made once and kept, as Winsock
// stays started: Schannel resumes sessions made with it, which saves most
// of a handshake on the next connection to the same server.
CredHandle credentials;
bool have_credentials = false;

// The system's root store, opened once and kept for the process: opening
// it reads every root (Wine imports the host's certificates then, most of
// the first check's time), which the first certificate check would
// otherwise do on its own path.
HCERTSTORE root_store = nullptr;

// Whichever comes first makes the credentials: the thread of tls_prepare
// or the first tls_start, which then waits for it.
INIT_ONCE credentials_made = INIT_ONCE_STATIC_INIT;

// The thread of tls_prepare while it may still run; the first certificate
// check waits for it, so the roots are read once.
HANDLE preparing = nullptr;

bool acquire(void* data)
{
    return AcquireCredentialsHandleA(nullptr, const_cast<char*>(UNISP_NAME_A),
                                     SECPKG_CRED_OUTBOUND, nullptr, data, nullptr, nullptr,
                                     &credentials, nullptr) == SEC_E_OK;
}

// TLS 1.2 and 1.3 only. The chain is checked here, not by Schannel, so that
// the check is the same everywhere and cannot be left out.
void make_credentials()
{
    const DWORD flags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS |
                        SCH_USE_STRONG_CRYPTO;
    TLS_PARAMETERS parameters = {};
    parameters.grbitDisabledProtocols =
        static_cast<DWORD>(~(SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT));
    SCH_CREDENTIALS current = {};
    current.dwVersion = SCH_CREDENTIALS_VERSION;
    current.dwFlags = flags;
    current.cTlsParameters = 1;
    current.pTlsParameters = &parameters;
    // Systems before SCH_CREDENTIALS take the older record, and with it TLS
    // 1.2 only.
    SCHANNEL_CRED older = {};
    older.dwVersion = SCHANNEL_CRED_VERSION;
    older.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
    older.dwFlags = flags;
    have_credentials = acquire(&current) || acquire(&older);
}

BOOL CALLBACK make_credentials_once(PINIT_ONCE, PVOID, PVOID*)
{
    make_credentials();
    return TRUE;
}

DWORD WINAPI prepare(LPVOID)
{
    InitOnceExecuteOnce(&credentials_made, make_credentials_once, nullptr, nullptr);
    root_store = CertOpenSystemStoreA(0, "ROOT");
    return 0;
}

bool ensure_credentials()
{
    InitOnceExecuteOnce(&credentials_made, make_credentials_once, nullptr, nullptr);
    // A failure is tried again: the preparing thread is past it by now.
    if (!have_credentials)
        make_credentials();
    if (!have_credentials)
        cause_set("no TLS credentials", 0);
    return have_credentials;
}

// The handshake's round trips go on while the roots are read; the check
// waits for them.
void await_preparation()
{
    if (!preparing)
        return;
    WaitForSingleObject(preparing, INFINITE);
    CloseHandle(preparing);
    preparing = nullptr;
}

} // namespace

struct TlsSession {
    int socket;
    CtxtHandle context;
    bool have_context;
    SecPkgContext_StreamSizes sizes;
    // Received records: incoming[start, used) not decrypted yet.
    char* incoming;
    int start;
    int used;
    // Decrypted bytes of the last record not handed out yet.
    const char* plain;
    int plain_left;
    bool ended;         // the server sent close_notify
    bool empty_record;  // the last record decrypted to nothing
};

namespace {

bool send_token(TlsSession* session, SecBuffer* token)
{
    bool sent = token->cbBuffer == 0 ||
                sock_send_all(session->socket, static_cast<const char*>(token->pvBuffer),
                              static_cast<int>(token->cbBuffer)) == static_cast<int>(token->cbBuffer);
    if (token->pvBuffer)
        FreeContextBuffer(token->pvBuffer);
    token->pvBuffer = nullptr;
    token->cbBuffer = 0;
    return sent;
}

// One receive more of records. Bytes already decrypted are handed out
// before this is called, so the undecrypted rest may move to the front.
int receive_more(TlsSession* session)
{
    if (session->start > 0) {
        memmove(session->incoming, session->incoming + session->start,
                static_cast<size_t>(session->used - session->start));
        session->used -= session->start;
        session->start = 0;
    }
    if (session->used == INCOMING_SIZE)
        return -1;
    int got = sock_recv(session->socket, session->incoming + session->used,
                        INCOMING_SIZE - session->used);
    if (got > 0)
        session->used += got;
    return got;
}

// After a call that consumed incoming[start, used): what it left over
// (SECBUFFER_EXTRA) stays for the next call.
void keep_extra(TlsSession* session, const SecBuffer* buffers, int count)
{
    session->start = session->used;
    for (int i = 0; i < count; i++) {
        if (buffers[i].BufferType == SECBUFFER_EXTRA)
            session->start = session->used - static_cast<int>(buffers[i].cbBuffer);
    }
}

// One step of the handshake on what has arrived: the context's answer.
SECURITY_STATUS handshake_step(TlsSession* session)
{
    SecBuffer in[2] = {{static_cast<unsigned long>(session->used - session->start),
                        SECBUFFER_TOKEN, session->incoming + session->start},
                       {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc in_desc = {SECBUFFER_VERSION, 2, in};
    SecBuffer out = {0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc out_desc = {SECBUFFER_VERSION, 1, &out};
    unsigned long attributes = 0;
    SECURITY_STATUS status =
        InitializeSecurityContextA(&credentials, &session->context, nullptr, CONTEXT_FLAGS, 0, 0,
                                   &in_desc, 0, nullptr, &out_desc, &attributes, nullptr);
    if (status == SEC_E_INCOMPLETE_MESSAGE)
        return status;
    // A token goes out even with a failure: it may be the alert telling why.
    if (!send_token(session, &out) && !FAILED(status))
        return SEC_E_INTERNAL_ERROR;
    keep_extra(session, in, 2);
    return status;
}

bool handshake(TlsSession* session, const char* host)
{
    SecBuffer out = {0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc out_desc = {SECBUFFER_VERSION, 1, &out};
    unsigned long attributes = 0;
    SECURITY_STATUS status = InitializeSecurityContextA(
        &credentials, nullptr, const_cast<char*>(host), CONTEXT_FLAGS, 0, 0, nullptr, 0,
        &session->context, &out_desc, &attributes, nullptr);
    if (status != SEC_I_CONTINUE_NEEDED) {
        cause_set("TLS handshake failed", status);
        return false;
    }
    session->have_context = true;
    if (!send_token(session, &out))
        return false;
    while (status == SEC_I_CONTINUE_NEEDED || status == SEC_E_INCOMPLETE_MESSAGE) {
        int got = 1;
        if (session->start == session->used || status == SEC_E_INCOMPLETE_MESSAGE)
            got = receive_more(session);
        if (got == 0)
            cause_set("connection closed in the TLS handshake", 0);
        if (got <= 0)
            return false;
        status = handshake_step(session);
    }
    if (status == SEC_E_OK)
        status = QueryContextAttributesA(&session->context, SECPKG_ATTR_STREAM_SIZES,
                                         &session->sizes);
    if (status != SEC_E_OK)
        cause_set("TLS handshake failed", status);
    return status == SEC_E_OK;
}

// The certificate's faults in words, for the launch log: from the chain's
// status and the policy's verdict (the name is the policy's alone).
void set_certificate_cause(DWORD chain_status, DWORD verdict)
{
    struct Fault {
        DWORD chain;
        DWORD policy;
        const char* words;
    };
    static const Fault faults[] = {
        {CERT_TRUST_IS_UNTRUSTED_ROOT, static_cast<DWORD>(CERT_E_UNTRUSTEDROOT), "untrusted root"},
        // A chain that reaches no root at all ends at an issuer no one trusts.
        {CERT_TRUST_IS_PARTIAL_CHAIN, static_cast<DWORD>(CERT_E_CHAINING), "untrusted root"},
        {CERT_TRUST_IS_NOT_TIME_VALID, static_cast<DWORD>(CERT_E_EXPIRED), "expired"},
        {CERT_TRUST_IS_REVOKED, static_cast<DWORD>(CRYPT_E_REVOKED), "revoked"},
        {CERT_TRUST_IS_NOT_VALID_FOR_USAGE, static_cast<DWORD>(CERT_E_WRONG_USAGE),
         "not for a server"},
        {0, static_cast<DWORD>(CERT_E_CN_NO_MATCH), "wrong name"},
    };
    std::string text = "certificate not trusted:";
    const char* separator = " ";
    for (const Fault& fault : faults) {
        bool named = text.find(fault.words) != std::string::npos;
        if (!named && ((chain_status & fault.chain) || verdict == fault.policy)) {
            text = text + separator + fault.words;
            separator = ", ";
        }
    }
    if (*separator == ' ')
        text += " refused";
    cause_set(text.c_str(), static_cast<long>(verdict ? verdict : chain_status));
}

// The server's chain must end at a root the system trusts, be fit for a
// server, and name host. Revocation is checked where the chain says where
// to ask, but a responder that cannot be reached does not fail the check.
bool certificate_trusted(TlsSession* session, const char* host)
{
    wchar_t name[HOST_SIZE];
    cause_set("certificate not trusted: not read", 0);
    if (MultiByteToWideChar(CP_ACP, 0, host, -1, name, HOST_SIZE) == 0)
        return false;
    PCCERT_CONTEXT certificate = nullptr;
    if (QueryContextAttributesA(&session->context, SECPKG_ATTR_REMOTE_CERT_CONTEXT,
                                &certificate) != SEC_E_OK ||
        !certificate)
        return false;
    LPSTR server_use[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH)};
    CERT_CHAIN_PARA chain_para = {};
    chain_para.cbSize = sizeof chain_para;
    chain_para.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
    chain_para.RequestedUsage.Usage.cUsageIdentifier = 1;
    chain_para.RequestedUsage.Usage.rgpszUsageIdentifier = server_use;
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    bool trusted = CertGetCertificateChain(nullptr, certificate, nullptr,
                                           certificate->hCertStore, &chain_para,
                                           CERT_CHAIN_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT,
                                           nullptr, &chain) != FALSE;
    if (!trusted)
        cause_set("certificate not trusted: no chain", static_cast<long>(GetLastError()));
    if (trusted) {
        // Revocation is judged from the chain below, where a revoked
        // certificate fails and an unknown status does not; the policy
        // checks the rest, the name above all.
        SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl = {};
        ssl.cbSize = sizeof ssl;
        ssl.dwAuthType = AUTHTYPE_SERVER;
        ssl.fdwChecks = SSL_IGNORE_REVOCATION;
        ssl.pwszServerName = name;
        CERT_CHAIN_POLICY_PARA policy = {};
        policy.cbSize = sizeof policy;
        policy.pvExtraPolicyPara = &ssl;
        CERT_CHAIN_POLICY_STATUS verdict = {};
        verdict.cbSize = sizeof verdict;
        // The chain's own verdict counts too: Wine's policy check passes a
        // chain that ends at no root at all.
        const DWORD unknown_revocation =
            CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;
        DWORD chain_status = chain->TrustStatus.dwErrorStatus & ~unknown_revocation;
        trusted = CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy,
                                                   &verdict) &&
                  verdict.dwError == 0 && chain_status == 0;
        if (!trusted)
            set_certificate_cause(chain_status, verdict.dwError);
        CertFreeCertificateChain(chain);
    }
    CertFreeCertificateContext(certificate);
    return trusted;
}

// Decrypts the next record of incoming: 1 with its bytes in plain (none for
// a record that carries no data), 0 when the record has not arrived whole,
// -1 on an error.
int decrypt_record(TlsSession* session)
{
    SecBuffer buffers[4] = {{static_cast<unsigned long>(session->used - session->start),
                             SECBUFFER_DATA, session->incoming + session->start},
                            {0, SECBUFFER_EMPTY, nullptr},
                            {0, SECBUFFER_EMPTY, nullptr},
                            {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc desc = {SECBUFFER_VERSION, 4, buffers};
    SECURITY_STATUS status = DecryptMessage(&session->context, &desc, 0, nullptr);
    if (status == SEC_E_INCOMPLETE_MESSAGE)
        return 0;
    if (status != SEC_E_OK && status != SEC_I_CONTEXT_EXPIRED && status != SEC_I_RENEGOTIATE) {
        cause_set("TLS record not readable", status);
        return -1;
    }
    session->plain_left = 0;
    for (const SecBuffer& buffer : buffers) {
        if (buffer.BufferType == SECBUFFER_DATA) {
            session->plain = static_cast<const char*>(buffer.pvBuffer);
            session->plain_left = static_cast<int>(buffer.cbBuffer);
        }
    }
    keep_extra(session, buffers, 4);
    session->ended = status == SEC_I_CONTEXT_EXPIRED;
    session->empty_record = session->plain_left == 0;
    // TLS 1.3 sends messages of the handshake after it (session tickets,
    // key updates): Schannel wants them handed back to the context.
    if (status == SEC_I_RENEGOTIATE) {
        SECURITY_STATUS handed = handshake_step(session);
        if (handed != SEC_E_OK && handed != SEC_E_INCOMPLETE_MESSAGE)
            return -1;
    }
    return 1;
}

int hand_out(TlsSession* session, char* buffer, int size)
{
    int count = session->plain_left < size ? session->plain_left : size;
    // Before the first record there is nothing, not even a place.
    if (count <= 0)
        return 0;
    memcpy(buffer, session->plain, static_cast<size_t>(count));
    session->plain += count;
    session->plain_left -= count;
    return count;
}

} // namespace

int tls_start(int socket, const char* host, TlsSession** session)
{
    *session = nullptr;
    if (!ensure_credentials())
        return TLS_FAILED;
    TlsSession* made = static_cast<TlsSession*>(calloc(1, sizeof(TlsSession)));
    if (!made)
        return TLS_FAILED;
    made->socket = socket;
    made->incoming = static_cast<char*>(malloc(INCOMING_SIZE));
    int result = TLS_FAILED;
    if (made->incoming && handshake(made, host)) {
        await_preparation();
        result = certificate_trusted(made, host) ? TLS_OK : TLS_UNTRUSTED;
    }
    if (result != TLS_OK) {
        tls_end(made);
        return result;
    }
    *session = made;
    return TLS_OK;
}

int tls_send(TlsSession* session, const char* data, int size)
{
    const SecPkgContext_StreamSizes& sizes = session->sizes;
    int record_size = static_cast<int>(sizes.cbHeader + sizes.cbMaximumMessage + sizes.cbTrailer);
    char* record = static_cast<char*>(malloc(static_cast<size_t>(record_size)));
    if (!record)
        return -1;
    int sent = 0;
    while (sent < size) {
        int piece = size - sent;
        if (piece > static_cast<int>(sizes.cbMaximumMessage))
            piece = static_cast<int>(sizes.cbMaximumMessage);
        memcpy(record + sizes.cbHeader, data + sent, static_cast<size_t>(piece));
        SecBuffer buffers[4] = {{sizes.cbHeader, SECBUFFER_STREAM_HEADER, record},
                                {static_cast<unsigned long>(piece), SECBUFFER_DATA,
                                 record + sizes.cbHeader},
                                {sizes.cbTrailer, SECBUFFER_STREAM_TRAILER,
                                 record + sizes.cbHeader + piece},
                                {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc desc = {SECBUFFER_VERSION, 4, buffers};
        if (EncryptMessage(&session->context, 0, &desc, 0) != SEC_E_OK)
            break;
        int length = static_cast<int>(buffers[0].cbBuffer + buffers[1].cbBuffer +
                                      buffers[2].cbBuffer);
        if (sock_send_all(session->socket, record, length) != length)
            break;
        sent += piece;
    }
    free(record);
    return sent == size ? size : -1;
}

int tls_recv(TlsSession* session, char* buffer, int size)
{
    int count = hand_out(session, buffer, size);
    while (count < size && !session->ended) {
        int decrypted = session->start < session->used ? decrypt_record(session) : 0;
        if (decrypted < 0)
            return -1;
        if (decrypted > 0) {
            count += hand_out(session, buffer + count, size - count);
            continue;
        }
        // Nothing more to decrypt without waiting: what is here goes first.
        if (count > 0)
            break;
        int got = receive_more(session);
        // A connection that ends without close_notify may have been cut by
        // anyone on the way: it is not a normal end. Wine's Schannel hands
        // close_notify on as a record of no data, which no one on the way
        // can forge: an end right after one is the server's own.
        if (got == 0 && session->empty_record)
            return 0;
        if (got == 0)
            cause_set("connection closed without TLS close_notify", 0);
        if (got <= 0)
            return -1;
    }
    return count;
}

int tls_pending(const TlsSession* session)
{
    return session->plain_left > 0 || session->start < session->used || session->ended;
}

void tls_prepare(void)
{
    static bool started = false;
    if (started)
        return;
    started = true;
    preparing = CreateThread(nullptr, 0, prepare, nullptr, 0, nullptr);
}

void tls_end(TlsSession* session)
{
    if (!session)
        return;
    if (session->have_context)
        DeleteSecurityContext(&session->context);
    free(session->incoming);
    free(session);
}
