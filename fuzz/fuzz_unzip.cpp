// An update package, whatever arrives: unpacked into a folder of its own, which must hold
// nothing but plain files afterwards.

#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "Unzip.h"

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string root = [] {
        std::string pattern = fs::temp_directory_path().string() + "/quellot-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data())) abort();
        return pattern;
    }();
    const std::string package = root + "/package.zip";
    const std::string dest = root + "/out/";
    fs::remove_all(dest);
    fs::create_directory(dest);
    {
        std::ofstream out(package, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    UnzipPackage(
        package, dest, [](const std::string&) { return true; }, "New.exe");
    for (const auto& e : fs::directory_iterator(dest))
        if (!e.is_regular_file() || e.is_symlink()) abort();  // a link or a folder got through
    for (const auto& e : fs::directory_iterator(root))
        if (e.path() != package && e.path() != fs::path(root + "/out"))
            abort();  // wrote beside the folder
    return 0;
}
