// A category reply, whatever the service sends.

#include <cstddef>
#include <cstdint>
#include <string>

#include "Taobao_Itemcats.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const Tb_Itemcats_Info names = ItemcatNames({});
    static XmlDocument xml;
    static ATb_Itemcats_Info table;
    ParseItemcatsReply(std::string(reinterpret_cast<const char*>(data), size), names, xml, table);
    return 0;
}
