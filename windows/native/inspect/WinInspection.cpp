// What inspecting a Windows image adds: the two roads, and the folder
// above the image that the runtime's jli.dll looks at first.
#include "Inspection.h"

#include "WinSysHeaders.h"

#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "AppLauncher.h"
#include "FileUtils.h"
#include "PeFile.h"

std::string launchRoad(const AppLauncher& launcher, bool pathHasAppDir) {
    // A ';' in the app directory keeps PATH from ever listing it: the
    // launcher then starts in its own process instead of relaunching.
    if (pathHasAppDir) {
        return "in-process (PATH lists the app directory)";
    }
    if (launcher.getAppDir().find(L';') == tstring::npos) {
        return "relaunch (PATH lacks the app directory)";
    }
    return "in-process (PATH cannot list the app directory)";
}

// A runtime folder just above the image is taken as the runtime's home
// before the image's own.
void checkRuntimeHome(Inspection& report, const tstring& launcherPath) {
    const tstring above = FileUtils::dirname(FileUtils::dirname(launcherPath));
    if (!above.empty() && FileUtils::isFileExists(FileUtils::joinPath(above, L"bin\\java.dll"))
        && tstrings::asciiLower(above) != tstrings::asciiLower(report.runtimeDir)) {
        report.problems.push_back("the folder above the image, \"" + tstrings::encodeUtf8(above)
            + "\", holds bin\\java.dll: the runtime would take it as its home instead of \""
            + tstrings::encodeUtf8(report.runtimeDir) + "\"");
    }
}

namespace {

// Every file of the image that starts as a PE file does, launchers first,
// at most this many: an image is not a disk to crawl.
const size_t signatureFileLimit = 10000;

std::vector<std::filesystem::path> peFiles(const std::filesystem::path& image) {
    namespace fs = std::filesystem;
    std::vector<fs::path> top, rest;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(image, ec), end; !ec && it != end; it.increment(ec)) {
        if (top.size() + rest.size() >= signatureFileLimit) {
            break;
        }
        if (it->is_regular_file(ec) && isPeFile(it->path())) {
            const fs::path relative = it->path().lexically_relative(image);
            (relative.has_parent_path() ? rest : top).push_back(relative);
        }
    }
    std::sort(top.begin(), top.end());
    std::sort(rest.begin(), rest.end());
    top.insert(top.end(), rest.begin(), rest.end());
    return top;
}

// The signer's name and whether a timestamp countersigns, from the
// signature embedded in the file.
void readSigner(const std::wstring& file, Inspection::Signature& sig) {
    HCERTSTORE store = nullptr;
    HCRYPTMSG message = nullptr;
    if (!CryptQueryObject(CERT_QUERY_OBJECT_FILE, file.c_str(), CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED,
                          CERT_QUERY_FORMAT_FLAG_BINARY, 0, nullptr, nullptr, nullptr, &store, &message,
                          nullptr)) {
        return;
    }
    DWORD size = 0;
    if (CryptMsgGetParam(message, CMSG_SIGNER_INFO_PARAM, 0, nullptr, &size) && size < (1u << 20)) {
        std::vector<BYTE> buffer(size);
        if (CryptMsgGetParam(message, CMSG_SIGNER_INFO_PARAM, 0, buffer.data(), &size)) {
            const auto* info = reinterpret_cast<const CMSG_SIGNER_INFO*>(buffer.data());
            CERT_INFO wanted = {};
            wanted.Issuer = info->Issuer;
            wanted.SerialNumber = info->SerialNumber;
            PCCERT_CONTEXT cert = CertFindCertificateInStore(store, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0,
                                                             CERT_FIND_SUBJECT_CERT, &wanted, nullptr);
            if (cert) {
                wchar_t name[512] = {};
                CertGetNameStringW(cert, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name, 512);
                sig.signer = tstrings::encodeUtf8(name);
                CertFreeCertificateContext(cert);
            }
            for (DWORD i = 0; i < info->UnauthAttrs.cAttr; ++i) {
                const char* oid = info->UnauthAttrs.rgAttr[i].pszObjId;
                // An RFC 3161 timestamp, or the older Authenticode countersignature.
                if (std::strcmp(oid, "1.3.6.1.4.1.311.3.3.1") == 0 || std::strcmp(oid, szOID_RSA_counterSign) == 0) {
                    sig.timestamped = true;
                }
            }
        }
    }
    CryptMsgClose(message);
    CertCloseStore(store, 0);
}

// What Windows itself says of the file's signature.
LONG verifyTrust(const std::wstring& file) {
    WINTRUST_FILE_INFO fileInfo = {};
    fileInfo.cbStruct = sizeof(fileInfo);
    fileInfo.pcwszFilePath = file.c_str();
    WINTRUST_DATA data = {};
    data.cbStruct = sizeof(data);
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &fileInfo;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    data.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    const LONG status = WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    return status;
}

std::string hex(LONG status) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08lX", static_cast<unsigned long>(status));
    return text;
}

} // namespace

void checkSignatures(Inspection& report, const tstring& launcherPath) {
    const std::filesystem::path image = std::filesystem::path(FileUtils::dirname(launcherPath));
    for (const std::filesystem::path& relative : peFiles(image)) {
        Inspection::Signature sig;
        sig.file = relative.u8string();
        const std::wstring file = (image / relative).wstring();
        const LONG status = verifyTrust(file);
        sig.present = status != TRUST_E_NOSIGNATURE && status != TRUST_E_SUBJECT_FORM_UNKNOWN
                      && status != TRUST_E_PROVIDER_UNKNOWN;
        sig.valid = status == ERROR_SUCCESS;
        if (sig.present) {
            readSigner(file, sig);
        }
        if (!sig.present) {
            sig.state = "not signed";
        } else {
            sig.state = std::string("signed by ") + (sig.signer.empty() ? "(unknown)" : sig.signer) + ", "
                        + (sig.timestamped ? "timestamped" : "no timestamp") + ", ";
            if (sig.valid) {
                sig.state += "valid";
            } else if (status == TRUST_E_BAD_DIGEST) {
                sig.state += "INVALID: changed after it was signed";
                report.problems.push_back(sig.file + " was changed after it was signed: Windows "
                                          "will refuse its signature");
            } else if (status == CERT_E_UNTRUSTEDROOT || status == CERT_E_CHAINING) {
                sig.state += "not valid here: its certificate chain ends at a CA this machine does not trust";
            } else if (status == CERT_E_EXPIRED) {
                sig.state += "not valid: its certificate has expired"
                             + std::string(sig.timestamped ? "" : " and no timestamp keeps it valid");
            } else {
                sig.state += "not valid (" + hex(status) + ")";
            }
        }
        report.signatures.push_back(sig);
    }
}
