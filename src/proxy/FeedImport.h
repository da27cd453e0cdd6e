#pragma once
// Product feeds: CSV with a header row, or JSON Lines, in UTF-8, one item per row, with the
// reply fields by name plus the category path and the guarantee flag.

#include <cstdint>
#include <functional>
#include <string>

class CatalogueStore;

struct ImportCount {
    int64_t rows = 0, added = 0, updated = 0;
};

// Reads the whole feed into the store in one transaction. A bad row refuses the feed with
// "FEED:LINE: reason" and leaves the store exactly as it was. progress is called now and then
// with the rows read so far.
bool ImportFeed(const std::string& feedPath, CatalogueStore& store, ImportCount& count,
                std::string& error, const std::function<void(int64_t)>& progress = {});
