// An item search reply, whatever the service sends.

#include <cstddef>
#include <cstdint>
#include <string>

#include "Taobaoke_Items.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const Tbk_Items_Info names = ItemNames({});
    static XmlDocument xml;
    static ATbk_Items_Info table;  // kept between inputs, as the client keeps it between replies
    ParseItemsReply(std::string(reinterpret_cast<const char*>(data), size), names, xml, table);
    return 0;
}
