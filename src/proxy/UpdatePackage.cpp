#include "UpdatePackage.h"

#include <zip.h>

bool DescribePackage(const std::string& bytes, UpdateOffer& offer, std::string& error) {
    zip_error_t zerror;
    zip_error_init(&zerror);
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &zerror);
    zip_t* zip = source ? zip_open_from_source(source, ZIP_RDONLY, &zerror) : nullptr;
    if (!zip) {
        if (source) zip_source_free(source);
        zip_error_fini(&zerror);
        error = "the update package is no zip archive";
        return false;
    }
    zip_error_fini(&zerror);
    offer.size = bytes.size();
    offer.unpacked = 0;
    zip_int64_t count = zip_get_num_entries(zip, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        if (zip_stat_index(zip, static_cast<zip_uint64_t>(i), 0, &st) == 0 &&
            (st.valid & ZIP_STAT_SIZE))
            offer.unpacked += st.size;
    }
    zip_discard(zip);
    Sha256 digest;
    digest.Add(bytes.data(), bytes.size());
    offer.sha256 = digest.Hex();
    return true;
}
