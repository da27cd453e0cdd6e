#pragma once
// A certificate authority of the test's own and server certificates it signs, made afresh in
// a folder of their own: no key is kept in the repository and none expires under a test.

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

class TestCertificates {
public:
    TestCertificates() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "quellot-tls-XXXXXX").string();
        if (mkdtemp(tmpl.data())) FDir = tmpl;
    }
    ~TestCertificates() {
        if (!FDir.empty()) std::filesystem::remove_all(FDir);
    }
    TestCertificates(const TestCertificates&) = delete;
    TestCertificates& operator=(const TestCertificates&) = delete;

    // A new authority, written as <name>.pem; its key stays in memory for Issue.
    bool MakeAuthority(const std::string& name) {
        FCaKey.reset(EVP_EC_gen("P-256"));
        FCa = Make(name, FCaKey.get(), nullptr, FCaKey.get(),
                   {{NID_basic_constraints, "critical,CA:TRUE"},
                    {NID_key_usage, "critical,keyCertSign,cRLSign"}});
        return FCa && WriteCert(FCa.get(), Path(name + ".pem"));
    }
    // A server certificate for the names ("DNS:localhost,IP:127.0.0.1"), signed by the last
    // authority, as <name>.pem and <name>.key.
    bool Issue(const std::string& name, const std::string& altNames) {
        Key key(EVP_EC_gen("P-256"));
        Cert cert = Make(name, key.get(), FCa.get(), FCaKey.get(),
                         {{NID_subject_alt_name, altNames},
                          {NID_ext_key_usage, "serverAuth"},
                          {NID_basic_constraints, "critical,CA:FALSE"}});
        if (!cert || !WriteCert(cert.get(), Path(name + ".pem"))) return false;
        FILE* f = std::fopen(Path(name + ".key").c_str(), "wb");
        if (!f) return false;
        bool ok = PEM_write_PrivateKey(f, key.get(), nullptr, nullptr, 0, nullptr, nullptr) == 1;
        return std::fclose(f) == 0 && ok;
    }
    std::string Path(const std::string& file) const { return (FDir / file).string(); }

private:
    struct KeyFree {
        void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
    };
    struct CertFree {
        void operator()(X509* c) const { X509_free(c); }
    };
    using Key = std::unique_ptr<EVP_PKEY, KeyFree>;
    using Cert = std::unique_ptr<X509, CertFree>;
    struct Extension {
        int nid;
        std::string value;
    };

    Cert Make(const std::string& cn, EVP_PKEY* key, X509* issuer, EVP_PKEY* issuerKey,
              std::initializer_list<Extension> extensions) {
        static long serial = 1;
        Cert cert(X509_new());
        X509_set_version(cert.get(), 2);
        ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), serial++);
        X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
        X509_gmtime_adj(X509_getm_notAfter(cert.get()), 86400);
        X509_set_pubkey(cert.get(), key);
        X509_NAME* subject = X509_get_subject_name(cert.get());
        X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_ASC,
                                   reinterpret_cast<const unsigned char*>(cn.c_str()), -1, -1, 0);
        X509_set_issuer_name(cert.get(), issuer ? X509_get_subject_name(issuer) : subject);
        X509V3_CTX ctx;
        X509V3_set_ctx(&ctx, issuer ? issuer : cert.get(), cert.get(), nullptr, nullptr, 0);
        for (const Extension& e : extensions) {
            X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, e.nid, e.value.c_str());
            if (!ext) return nullptr;
            X509_add_ext(cert.get(), ext, -1);
            X509_EXTENSION_free(ext);
        }
        if (X509_sign(cert.get(), issuerKey, EVP_sha256()) <= 0) return nullptr;
        return cert;
    }
    static bool WriteCert(X509* cert, const std::string& path) {
        FILE* f = std::fopen(path.c_str(), "wb");
        if (!f) return false;
        bool ok = PEM_write_X509(f, cert) == 1;
        return std::fclose(f) == 0 && ok;
    }

    std::filesystem::path FDir;
    Key FCaKey;
    Cert FCa;
};
