// A software-information reply: UTF-8 checked, converted to GBK, read line by line.

#include <cstddef>
#include <cstdint>
#include <string>

#include "ok.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string body(reinterpret_cast<const char*>(data), size);
    ParseSoftInfo(IsValidUtf8(body) ? Utf8ToGbk(body) : Text());
    ParseSoftInfo(body);  // and the raw bytes, as a GBK text
    return 0;
}
