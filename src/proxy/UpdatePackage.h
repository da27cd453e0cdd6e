#pragma once
// What the proxy says of the update package it serves: its size, unpacked size and digest,
// signed with the maker's key when the operator names one.

#include <string>

#include "UpdateSignature.h"

// False with the reason when the bytes are no zip archive.
bool DescribePackage(const std::string& bytes, UpdateOffer& offer, std::string& error);
