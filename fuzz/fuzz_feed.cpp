// A product feed, whatever an operator hands over: imported into a fresh catalogue, which must
// either refuse it with a reason or hold a catalogue that loads and searches.

#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "CatalogueStore.h"
#include "FeedImport.h"
#include "ItemIndex.h"

namespace fs = std::filesystem;

namespace {

// The start of the title's first word, as a client can ask it: no space, whole characters
// only (the service refuses a keyword that is not UTF-8), up to three bytes.
std::string TitleStart(const std::string& title) {
    size_t from = title.find_first_not_of(' ');
    if (from == std::string::npos) return {};
    std::string word = title.substr(from, title.find(' ', from) - from);
    size_t cut = 0;
    while (cut < word.size()) {
        auto lead = static_cast<unsigned char>(word[cut]);
        size_t n = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        if (cut > 0 && cut + n > 3) break;
        cut += n;
    }
    return word.substr(0, cut);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string feed = [] {
        std::string pattern = fs::temp_directory_path().string() + "/quellot-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data())) abort();
        return pattern + "/feed";
    }();
    {
        std::ofstream out(feed, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    std::string error;
    auto store = CatalogueStore::Open(":memory:", CatalogueStore::Mode::ReadWrite, error);
    if (!store) abort();
    ImportCount count;
    if (!ImportFeed(feed, *store, count, error)) {
        if (error.empty()) abort();  // a refusal always says why
        return 0;
    }
    Catalogue cat;
    if (!store->Load(cat, error)) abort();
    ItemIndex index(cat, store.get());
    for (const Item& it : cat.Items()) {
        ItemQuery q;
        q.words = {TitleStart(it.title)};
        if (q.words[0].empty()) continue;
        if (index.Search(q).total < 1) abort();  // an item's own title start finds it
    }
    return 0;
}
