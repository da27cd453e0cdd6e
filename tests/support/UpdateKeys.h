#pragma once
// Ed25519 key pairs of the test's own, made afresh: the maker's, whose public key the client
// under test trusts, and another one nobody trusts. No private key is kept in the repository.

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "UpdateSignature.h"

class UpdateKeys {
public:
    UpdateKeys() {
        std::string tmpl =
            (std::filesystem::temp_directory_path() / "quellot-keys-XXXXXX").string();
        if (mkdtemp(tmpl.data())) FDir = tmpl;
        Make(Maker());
        Make(Other());
    }
    ~UpdateKeys() {
        if (!FDir.empty()) std::filesystem::remove_all(FDir);
    }
    UpdateKeys(const UpdateKeys&) = delete;
    UpdateKeys& operator=(const UpdateKeys&) = delete;

    std::string Maker() const { return (FDir / "maker.pem").string(); }
    std::string Other() const { return (FDir / "other.pem").string(); }

private:
    static void Make(const std::string& file) {
        EVP_PKEY* key = EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519");
        FILE* f = std::fopen(file.c_str(), "wb");
        if (key && f) PEM_write_PrivateKey(f, key, nullptr, nullptr, 0, nullptr, nullptr);
        if (f) std::fclose(f);
        EVP_PKEY_free(key);
    }
    std::filesystem::path FDir;
};

// Trusts the maker's key for as long as it lives.
class ScopedUpdateKey {
public:
    explicit ScopedUpdateKey(const std::string& privateKeyFile) : FSaved(UpdatePublicKey) {
        UpdatePublicKey = UpdatePublicKeyOf(privateKeyFile);
    }
    ~ScopedUpdateKey() { UpdatePublicKey = FSaved; }

private:
    std::string FSaved;
};
