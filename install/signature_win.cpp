// The publisher check of a launcher build with WinVerifyTrust and the
// certificate chain engine.
#include "install/signature.h"

#include <windows.h>
#include <wincrypt.h>
#include <wintrust.h>
#include <softpub.h>

#include <cstdio>
#include <string>
#include <vector>

// Room for a path in UTF-16, terminator included; the launcher's own paths
// are far shorter.
enum { WIDE_PATH_SIZE = 1024 };

// Who signed a file, as far as the comparison of publishers goes.
struct Publisher {
    bool chain_built;
    DWORD chain_errors;        // CERT_TRUST_NO_ERROR when the chain holds
    std::vector<BYTE> subject; // the signing certificate's encoded subject name
    std::vector<BYTE> root;    // the encoded certificate the chain ends at
    std::string subject_text;  // both names as the log shows them
    std::string root_text;
};

static std::string hex(unsigned long value)
{
    char text[16];
    snprintf(text, sizeof text, "0x%08lX", value);
    return text;
}

static std::string name_text(CERT_NAME_BLOB* name)
{
    char text[256];
    if (!CertNameToStrA(X509_ASN_ENCODING, name, CERT_X500_NAME_STR, text, sizeof text))
        return "(no name)";
    return text;
}

static void take_chain(PCCERT_CHAIN_CONTEXT chain, Publisher* publisher)
{
    const CERT_SIMPLE_CHAIN* last = chain->rgpChain[chain->cChain - 1];
    PCCERT_CONTEXT leaf = chain->rgpChain[0]->rgpElement[0]->pCertContext;
    PCCERT_CONTEXT root = last->rgpElement[last->cElement - 1]->pCertContext;
    const CERT_NAME_BLOB& subject = leaf->pCertInfo->Subject;
    publisher->chain_errors = chain->TrustStatus.dwErrorStatus;
    publisher->subject.assign(subject.pbData, subject.pbData + subject.cbData);
    publisher->root.assign(root->pbCertEncoded, root->pbCertEncoded + root->cbCertEncoded);
    publisher->subject_text = name_text(&leaf->pCertInfo->Subject);
    publisher->root_text = name_text(&root->pCertInfo->Subject);
}

// The signer of a file that WinVerifyTrust accepted: the code-signing chain
// of its certificate, with the file's own certificates as links. Built as
// of now for every file, so two builds signed years apart are traced
// alike. False when there is no signer or no chain.
static bool read_signer(HANDLE state, Publisher* publisher)
{
    CRYPT_PROVIDER_DATA* provider = WTHelperProvDataFromStateData(state);
    CRYPT_PROVIDER_SGNR* signer =
        provider ? WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0) : nullptr;
    CRYPT_PROVIDER_CERT* certificate = signer ? WTHelperGetProvCertFromChain(signer, 0) : nullptr;
    if (!certificate || !certificate->pCert)
        return false;
    HCERTSTORE links = CertOpenStore(CERT_STORE_PROV_COLLECTION, 0, 0, 0, nullptr);
    for (DWORD i = 0; links && i < provider->chStores; i++)
        CertAddStoreToCollection(links, provider->pahStores[i], 0, 0);
    LPSTR usages[] = {const_cast<LPSTR>(szOID_PKIX_KP_CODE_SIGNING)};
    CERT_CHAIN_PARA para = {};
    para.cbSize = sizeof para;
    para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    para.RequestedUsage.Usage.cUsageIdentifier = 1;
    para.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    bool built = CertGetCertificateChain(nullptr, certificate->pCert, nullptr, links, &para,
                                         CERT_CHAIN_CACHE_ONLY_URL_RETRIEVAL, nullptr, &chain);
    if (built) {
        take_chain(chain, publisher);
        CertFreeCertificateChain(chain);
    }
    if (links)
        CertCloseStore(links, 0);
    return built;
}

// WinVerifyTrust's verdict on the file at path; on 0 *publisher holds its
// signer.
static LONG verify_file(const wchar_t* path, Publisher* publisher)
{
    WINTRUST_FILE_INFO file = {};
    file.cbStruct = sizeof file;
    file.pcwszFilePath = path;
    WINTRUST_DATA data = {};
    data.cbStruct = sizeof data;
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    data.dwProvFlags = WTD_REVOCATION_CHECK_NONE | WTD_CACHE_ONLY_URL_RETRIEVAL;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    HWND no_user = static_cast<HWND>(INVALID_HANDLE_VALUE);
    LONG status = WinVerifyTrust(no_user, &action, &data);
    if (status == 0)
        publisher->chain_built = read_signer(data.hWVTStateData, publisher);
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    WinVerifyTrust(no_user, &action, &data);
    return status;
}

// Why a signer's chain is not one the comparison can rest on, or "". Time
// is WinVerifyTrust's to judge, as of the signature's timestamp: a
// certificate that has expired since it signed still names its publisher.
static std::string chain_fault(const Publisher& publisher)
{
    const DWORD time_errors = CERT_TRUST_IS_NOT_TIME_VALID | CERT_TRUST_IS_NOT_TIME_NESTED;
    DWORD errors = publisher.chain_errors & ~time_errors;
    if (!publisher.chain_built)
        return "no code-signing chain can be built";
    if (errors != CERT_TRUST_NO_ERROR)
        return "its code-signing chain does not hold (status " + hex(errors) + ")";
    return "";
}

static std::string judge_build(const char* build_path, const Publisher& running,
                               SignatureVerdict* verdict)
{
    wchar_t path[WIDE_PATH_SIZE];
    if (!MultiByteToWideChar(CP_UTF8, 0, build_path, -1, path, WIDE_PATH_SIZE))
        return "its path cannot be read";
    Publisher build = {};
    LONG status = verify_file(path, &build);
    if (status == TRUST_E_NOSIGNATURE)
        return "not signed (" + hex(status) + ")";
    if (status != 0)
        return "its signature does not hold (" + hex(status) + ")";
    std::string fault = chain_fault(build);
    if (!fault.empty())
        return fault;
    if (build.subject != running.subject)
        return "signed by another publisher: " + build.subject_text + ", not " +
               running.subject_text;
    if (build.root != running.root)
        return "its chain ends at another root: " + build.root_text + ", not " +
               running.root_text;
    *verdict = SIGNATURE_SAME_PUBLISHER;
    return "signed by the running launcher's publisher " + running.subject_text + " (root " +
           running.root_text + ")";
}

static std::string judge(const char* build_path, SignatureVerdict* verdict)
{
    *verdict = SIGNATURE_REFUSED;
    wchar_t own_path[WIDE_PATH_SIZE];
    DWORD length = GetModuleFileNameW(nullptr, own_path, WIDE_PATH_SIZE);
    if (length == 0 || length >= WIDE_PATH_SIZE)
        return "the running launcher's path cannot be read";
    Publisher running = {};
    LONG status = verify_file(own_path, &running);
    if (status == TRUST_E_NOSIGNATURE) {
        *verdict = SIGNATURE_RUNNING_UNSIGNED;
        return "the running launcher is not signed: taken unchecked";
    }
    // A signed launcher whose own publisher cannot be made out takes no
    // build: falling back to the unsigned rule would let anyone's build in.
    if (status != 0)
        return "the running launcher's own signature does not hold (" + hex(status) + ")";
    std::string fault = chain_fault(running);
    if (!fault.empty())
        return "the running launcher's signature: " + fault;
    return judge_build(build_path, running, verdict);
}

SignatureVerdict signature_check_build(const char* build_path, char* reason, size_t size)
{
    SignatureVerdict verdict = SIGNATURE_REFUSED;
    std::string why = judge(build_path, &verdict);
    if (size)
        snprintf(reason, size, "%s", why.c_str());
    return verdict;
}
