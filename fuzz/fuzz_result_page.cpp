// Result pages built from whatever a service sends: every page must hold only the program's own
// elements, attributes and addresses, whatever the values.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "PageMarkup.h"
#include "ResultPage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Fields separated by 0x1F, item after item, in the order of the fields below.
    std::string_view in(reinterpret_cast<const char*>(data), size);
    TAB tab;
    int field = 0;
    for (size_t at = 0; at <= in.size() && field < 9 * 3;) {
        size_t end = std::min(in.find('\x1f', at), in.size());
        Tbk_Items_Info& it = tab.Items[field / 9];
        Text* fields[] = {&it.title,
                          &it.nick,
                          &it.price,
                          &it.pic_url,
                          &it.click_url,
                          &it.shop_click_url,
                          &it.seller_credit_score,
                          &it.item_location,
                          &it.volume};
        *fields[field % 9] = Text(in.substr(at, end - at));
        ++field;
        at = end + 1;
    }
    for (int view : {0, 1}) {
        tab.ViewIndex = view;
        Text page = BuildPage(tab);
        std::string fault = page_markup::Check(page);
        if (!fault.empty()) {
            std::fprintf(stderr, "page %d: %s\n", view, fault.c_str());
            std::abort();
        }
    }
    return 0;
}
