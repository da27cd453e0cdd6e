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
        q.words = {it.title.substr(0, 3)};
        if (index.Search(q).total < 1) abort();  // an item's own title start finds it
    }
    return 0;
}
