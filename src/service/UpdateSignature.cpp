#include "UpdateSignature.h"

#include <openssl/evp.h>
#include <openssl/pem.h>

#include <cstdio>
#include <memory>
#include <sstream>
#include <vector>

#include "ServiceConfig.h"

std::string UpdatePublicKey = QUELLOT_UPDATE_PUBLIC_KEY;

namespace {

struct KeyFree {
    void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
struct ContextFree {
    void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyFree>;
using Context = std::unique_ptr<EVP_MD_CTX, ContextFree>;

constexpr size_t kEd25519Size = 32, kSignatureSize = 64;

// What is signed: a line of its own for each value, under a heading that says what it is for.
std::string Statement(const std::string& name, const std::string& version, const UpdateOffer& o) {
    return "quellot update 1\nname " + name + "\nversion " + version + "\nsize " +
           std::to_string(o.size) + "\nunpacked " + std::to_string(o.unpacked) + "\nsha256 " +
           o.sha256 + "\n";
}

std::string Base64(const unsigned char* bytes, size_t size) {
    return ::Base64(std::string_view(reinterpret_cast<const char*>(bytes), size));
}

// Exactly want bytes, or nothing.
std::vector<unsigned char> Unbase64(const std::string& text, size_t want) {
    if (text.size() != 4 * ((want + 2) / 3)) return {};
    std::vector<unsigned char> out(text.size() / 4 * 3);
    int n = EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(text.data()),
                            static_cast<int>(text.size()));
    if (n < static_cast<int>(want)) return {};
    out.resize(want);
    // The padding must be what encoding want bytes gives, so one key has one text.
    return Base64(out.data(), out.size()) == text ? out : std::vector<unsigned char>{};
}

Key ReadPrivateKey(const std::string& file) {
    FILE* f = std::fopen(file.c_str(), "rb");
    if (!f) return nullptr;
    Key key(PEM_read_PrivateKey(f, nullptr, nullptr, nullptr));
    std::fclose(f);
    if (key && EVP_PKEY_get_id(key.get()) != EVP_PKEY_ED25519) key.reset();
    return key;
}

bool ParseNumber(const std::string& text, uint64_t& value) {
    if (text.empty() || text.size() > 19) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    return true;
}

}  // namespace

std::string SignUpdate(const std::string& name, const std::string& version,
                       const UpdateOffer& offer, const std::string& privateKeyPemFile,
                       std::string& error) {
    Key key = ReadPrivateKey(privateKeyPemFile);
    if (!key) {
        error = privateKeyPemFile + " is no Ed25519 private key (PEM)";
        return {};
    }
    const std::string statement = Statement(name, version, offer);
    unsigned char signature[kSignatureSize];
    size_t length = sizeof signature;
    Context ctx(EVP_MD_CTX_new());
    if (!ctx || EVP_DigestSignInit(ctx.get(), nullptr, nullptr, nullptr, key.get()) != 1 ||
        EVP_DigestSign(ctx.get(), signature, &length,
                       reinterpret_cast<const unsigned char*>(statement.data()),
                       statement.size()) != 1) {
        error = "signing failed";
        return {};
    }
    return "ed25519 " + std::to_string(offer.size) + " " + std::to_string(offer.unpacked) + " " +
           offer.sha256 + " " + Base64(signature, length);
}

bool VerifyUpdate(const std::string& entry, const std::string& name, const std::string& version,
                  const std::string& publicKey, UpdateOffer& offer) {
    std::istringstream in(entry);
    std::string scheme, size, unpacked, sha256, signature, extra;
    if (!(in >> scheme >> size >> unpacked >> sha256 >> signature) || (in >> extra) ||
        scheme != "ed25519" || sha256.size() != 64 ||
        sha256.find_first_not_of("0123456789abcdef") != std::string::npos)
        return false;
    UpdateOffer o;
    if (!ParseNumber(size, o.size) || !ParseNumber(unpacked, o.unpacked)) return false;
    o.sha256 = sha256;
    std::vector<unsigned char> raw = Unbase64(publicKey, kEd25519Size);
    std::vector<unsigned char> sig = Unbase64(signature, kSignatureSize);
    if (raw.empty() || sig.empty()) return false;
    Key key(EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, raw.data(), raw.size()));
    Context ctx(EVP_MD_CTX_new());
    const std::string statement = Statement(name, version, o);
    bool ok = key && ctx &&
              EVP_DigestVerifyInit(ctx.get(), nullptr, nullptr, nullptr, key.get()) == 1 &&
              EVP_DigestVerify(ctx.get(), sig.data(), sig.size(),
                               reinterpret_cast<const unsigned char*>(statement.data()),
                               statement.size()) == 1;
    if (ok) offer = o;
    return ok;
}

std::string UpdatePublicKeyOf(const std::string& privateKeyPemFile) {
    Key key = ReadPrivateKey(privateKeyPemFile);
    unsigned char raw[kEd25519Size];
    size_t length = sizeof raw;
    if (!key || EVP_PKEY_get_raw_public_key(key.get(), raw, &length) != 1) return {};
    return Base64(raw, length);
}
