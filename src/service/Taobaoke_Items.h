#pragma once
// The item search client and the filter tables whose values it sends.

#include <array>

#include "Http.h"
#include "Text.h"
#include "Xml.h"

struct Tbk_Items_Cond {
    Text cid;
    Text pid;
    Text auto_send;
    Text area;
    Text url;
    Text sort;
    Text start_commissionNum;
    Text end_commissionNum;
    Text start_commissionRate;
    Text end_commissionRate;
    Text keyword;
    Text start_price;
    Text end_price;
    Text page_no;
    Text start_credit;
    Text end_credit;
    Text guarantee;
};

// Both the element names of a request (empty: the default name) and one item of a reply.
struct Tbk_Items_Info {
    Text nick;
    Text title;
    Text price;
    Text total_results;
    Text pic_url;
    Text num_iid;
    Text click_url;
    Text commission;
    Text commission_num;
    Text commission_rate;
    Text commission_volume;
    Text shop_click_url;
    Text seller_credit_score;
    Text item_location;
    Text volume;
};

constexpr int kItemsTableSize = 64;
constexpr int kItemFieldCount = 14;  // the reply fields an item has, total_results aside
using ATbk_Items_Info = std::array<Tbk_Items_Info, kItemsTableSize>;

// The properties requested and read by name, in field order (all but total_results).
extern Text Tbk_Items_Info::*const kItemProperties[kItemFieldCount];
// The service's element names of those properties, in the same order.
extern const char* const kDefaultItemNames[kItemFieldCount];

// The steps of an item search without the network, as GetItems runs them.
// The element names to ask for: each empty one gets the service's default.
Tbk_Items_Info ItemNames(Tbk_Items_Info names);
// The signed request URL; keyword and area are GBK and go out as UTF-8.
Text ItemsRequestUrl(Tbk_Items_Cond cond, const Tbk_Items_Info& names);
// Reads a reply body into table (through xml, which keeps the document); None on success.
// Entries a new reply leaves alone keep what they held, as the table always has.
Failure ParseItemsReply(std::string body, const Tbk_Items_Info& names, XmlDocument& xml,
                        ATbk_Items_Info& table);

class TTaobaoke_Items {
public:
    TTaobaoke_Items();

    // True: Items points at this component's table, valid until the next call.
    bool GetItems(Tbk_Items_Cond Cond, Tbk_Items_Info Info, ATbk_Items_Info*& Items);

    HttpClient& Http() { return FHttp; }
    // The URL of the last request, for tests and diagnostics.
    const Text& LastUrl() const { return FLastUrl; }
    // Why the last GetItems failed; None after a success.
    Failure LastFailure() const { return FFailure; }

private:
    bool IsCondValid() const;

    HttpClient FHttp;
    XmlDocument FXml;
    Tbk_Items_Info FInfo;
    Tbk_Items_Cond FCond;
    ATbk_Items_Info FItems;
    Text FLastUrl;
    Failure FFailure = Failure::None;
};

// Filter tables, indexed by the positions of the window's lists; GBK where Chinese.
const std::array<Text, 5>& SortKeys();
const std::array<Text, 20>& CreditLevels();
const std::array<Text, 64>& RegionValues();
const std::array<Text, 20>& CreditIcons();
// The region list's item texts (positions 0 to 62).
const std::array<Text, 63>& RegionNames();

// A table's entry, or the empty text for a position outside it (a list without a selection).
template <size_t N>
const Text& TableValue(const std::array<Text, N>& table, int position) {
    static const Text kEmpty;
    return position >= 0 && static_cast<size_t>(position) < N ? table[position] : kEmpty;
}
// The credit picture's file name for a seller_credit_score text; empty outside 1 to 20.
const Text& CreditIconFor(const Text& sellerCreditScore);
