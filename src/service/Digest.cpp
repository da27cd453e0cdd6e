#include "Digest.h"

#include <openssl/evp.h>

Sha256::Sha256() : FContext(EVP_MD_CTX_new()) {
    EVP_DigestInit_ex(static_cast<EVP_MD_CTX*>(FContext), EVP_sha256(), nullptr);
}

Sha256::~Sha256() { EVP_MD_CTX_free(static_cast<EVP_MD_CTX*>(FContext)); }

void Sha256::Add(const char* data, size_t size) {
    EVP_DigestUpdate(static_cast<EVP_MD_CTX*>(FContext), data, size);
}

std::string Sha256::Bytes() {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(static_cast<EVP_MD_CTX*>(FContext), digest, &length);
    return std::string(reinterpret_cast<const char*>(digest), length);
}

std::string Sha256::Hex() {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    for (unsigned char b : Bytes()) {
        out += kHex[b >> 4];
        out += kHex[b & 15];
    }
    return out;
}

std::string Base64(std::string_view bytes) {
    std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                            reinterpret_cast<const unsigned char*>(bytes.data()),
                            static_cast<int>(bytes.size()));
    out.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return out;
}
