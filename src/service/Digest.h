#pragma once
// SHA-256 over bytes as they arrive, and base64: what the update signature and the result
// pages' security policy are written in.

#include <cstddef>
#include <string>
#include <string_view>

class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;
    void Add(const char* data, size_t size);
    void Add(std::string_view bytes) { Add(bytes.data(), bytes.size()); }
    // Once, at the end: the 32 bytes of the digest, or their 64 lowercase hex digits.
    std::string Bytes();
    std::string Hex();

private:
    void* FContext;
};

std::string Base64(std::string_view bytes);
