#pragma once
// The maker's word on an update package. The software information names a package and a
// version; the maker signs, with a private key that never leaves the maker, the package's name,
// version, size, unpacked size and SHA-256, and the client runs nothing it cannot check against
// the public key it was built with.

#include <cstddef>
#include <cstdint>
#include <string>

#include "Digest.h"

// The public key of this build, as base64 of the 32 raw Ed25519 bytes; empty: no update is
// ever trusted. A build setting; tests put their own.
extern std::string UpdatePublicKey;

struct UpdateOffer {
    uint64_t size = 0;      // bytes of the package
    uint64_t unpacked = 0;  // bytes of its files, unpacked
    std::string sha256;     // of the package, 64 lowercase hex digits
};

// The software-information entry that carries the offer: "ed25519 SIZE UNPACKED SHA256 SIG".
// Empty with error set when the key file is no Ed25519 private key.
std::string SignUpdate(const std::string& name, const std::string& version,
                       const UpdateOffer& offer, const std::string& privateKeyPemFile,
                       std::string& error);
// True when entry is an offer for exactly this name and version, signed by publicKey.
bool VerifyUpdate(const std::string& entry, const std::string& name, const std::string& version,
                  const std::string& publicKey, UpdateOffer& offer);
// The public key (base64 of the raw bytes) of a private key file, for the build setting.
std::string UpdatePublicKeyOf(const std::string& privateKeyPemFile);
