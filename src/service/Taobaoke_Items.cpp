#include "Taobaoke_Items.h"

#include "Decimal.h"
#include "MD5.h"
#include "ServiceReply.h"

const char* const kDefaultItemNames[kItemFieldCount] = {
    "nick",
    "title",
    "price",
    "pic_url",
    "num_iid",
    "click_url",
    "commission",
    "commission_num",
    "commission_rate",
    "commission_volume",
    "shop_click_url",
    "seller_credit_score",
    "item_location",
    "volume",
};

Text Tbk_Items_Info::*const kItemProperties[kItemFieldCount] = {
    &Tbk_Items_Info::nick,
    &Tbk_Items_Info::title,
    &Tbk_Items_Info::price,
    &Tbk_Items_Info::pic_url,
    &Tbk_Items_Info::num_iid,
    &Tbk_Items_Info::click_url,
    &Tbk_Items_Info::commission,
    &Tbk_Items_Info::commission_num,
    &Tbk_Items_Info::commission_rate,
    &Tbk_Items_Info::commission_volume,
    &Tbk_Items_Info::shop_click_url,
    &Tbk_Items_Info::seller_credit_score,
    &Tbk_Items_Info::item_location,
    &Tbk_Items_Info::volume,
};

namespace {

// The entries a new reply clears, and in each the leading fields, nick to commission_volume
// (total_results among them); the rest are always rewritten before anything reads them.
constexpr int kClearedEntries = 43;
constexpr int kClearedProperties = 10;  // of kItemProperties: nick to commission_volume

struct QueryParam {
    const char* name;
    Text Tbk_Items_Cond::*field;
    bool encoded;
};

const QueryParam kQueryParams[] = {
    {"cid", &Tbk_Items_Cond::cid, false},
    {"auto_send", &Tbk_Items_Cond::auto_send, false},
    {"area", &Tbk_Items_Cond::area, true},
    {"sort", &Tbk_Items_Cond::sort, false},
    {"start_commissionNum", &Tbk_Items_Cond::start_commissionNum, false},
    {"end_commissionNum", &Tbk_Items_Cond::end_commissionNum, false},
    {"start_commissionRate", &Tbk_Items_Cond::start_commissionRate, false},
    {"end_commissionRate", &Tbk_Items_Cond::end_commissionRate, false},
    {"keyword", &Tbk_Items_Cond::keyword, true},
    {"start_price", &Tbk_Items_Cond::start_price, false},
    {"end_price", &Tbk_Items_Cond::end_price, false},
    {"page_no", &Tbk_Items_Cond::page_no, false},
    {"start_credit", &Tbk_Items_Cond::start_credit, false},
    {"end_credit", &Tbk_Items_Cond::end_credit, false},
    {"guarantee", &Tbk_Items_Cond::guarantee, false},
};

Text Tbk_Items_Cond::*const kSignedValues[] = {
    &Tbk_Items_Cond::cid,
    &Tbk_Items_Cond::area,
    &Tbk_Items_Cond::sort,
    &Tbk_Items_Cond::keyword,
    &Tbk_Items_Cond::page_no,
    &Tbk_Items_Cond::auto_send,
    &Tbk_Items_Cond::end_price,
    &Tbk_Items_Cond::guarantee,
    &Tbk_Items_Cond::end_credit,
    &Tbk_Items_Cond::start_price,
    &Tbk_Items_Cond::start_credit,
    &Tbk_Items_Cond::end_commissionNum,
    &Tbk_Items_Cond::end_commissionRate,
    &Tbk_Items_Cond::start_commissionNum,
    &Tbk_Items_Cond::start_commissionRate,
};

}  // namespace

TTaobaoke_Items::TTaobaoke_Items() {
    FHttp.SetReadTimeout(kServiceReadTimeoutMs);
    FHttp.SetTotalTimeout(kItemsTotalTimeoutMs);
}

bool TTaobaoke_Items::GetItems(Tbk_Items_Cond Cond, Tbk_Items_Info Info, ATbk_Items_Info*& Items) {
    FInfo = ItemNames(std::move(Info));
    FCond = std::move(Cond);
    FFailure = Failure::InvalidRequest;
    if (!IsCondValid()) return false;
    FFailure = FetchReply(
        FHttp, FXml, [this] { return FLastUrl = ItemsRequestUrl(FCond, FInfo); },
        [this](std::string body) { return ParseItemsReply(std::move(body), FInfo, FXml, FItems); });
    if (FFailure != Failure::None) return false;
    Items = &FItems;
    return true;
}

bool TTaobaoke_Items::IsCondValid() const {
    return !FCond.pid.empty() && !FCond.url.empty() &&
           (!FCond.cid.empty() || !FCond.keyword.empty());
}

Tbk_Items_Info ItemNames(Tbk_Items_Info names) {
    for (int i = 0; i < kItemFieldCount; ++i)
        if ((names.*kItemProperties[i]).empty()) names.*kItemProperties[i] = kDefaultItemNames[i];
    return names;
}

Text ItemsRequestUrl(Tbk_Items_Cond cond, const Tbk_Items_Info& names) {
    cond.area = GbkToUtf8(cond.area);
    cond.keyword = GbkToUtf8(cond.keyword);
    Text query = "fields=";
    for (int i = 0; i < kItemFieldCount; ++i) {
        if (i) query += ',';
        query += names.*kItemProperties[i];
    }
    for (const QueryParam& p : kQueryParams) {
        const Text& value = cond.*p.field;
        // An empty keyword is still sent (as "keyword="); only the literal "keyword" is held back.
        bool send = p.field == &Tbk_Items_Cond::keyword ? value != "keyword" : !value.empty();
        if (!send) continue;
        query += '&';
        query += p.name;
        query += '=';
        query += p.encoded ? PercentEncode(value) : value;
    }
    Text values;
    for (Text Tbk_Items_Cond::*field : kSignedValues) values += cond.*field;
    return SignQuery(cond.url, query, cond.pid, values);
}

namespace {

void ClearTable(ATbk_Items_Info& table) {
    for (int i = 0; i < kClearedEntries; ++i) {
        table[i].total_results.clear();
        for (int k = 0; k < kClearedProperties; ++k) (table[i].*kItemProperties[k]).clear();
    }
}

}  // namespace

Failure ParseItemsReply(std::string body, const Tbk_Items_Info& names, XmlDocument& xml,
                        ATbk_Items_Info& table) {
    if (!ParseXmlBody(xml, std::move(body))) return Failure::Malformed;
    const xmlNode* root = xml.Root();
    std::string total;
    if (!ChildElement(root, "total_results")) return Failure::NotAReply;
    if (!ElementText(ChildElement(root, "total_results"), total)) return Failure::Malformed;
    const xmlNode* list = ChildElement(root, "taobaoke_items");
    ClearTable(table);
    TextConverter toGbk(TextConverter::Utf8ToGbk);
    Text totalGbk = toGbk.Convert(total);
    int i = 0;
    // Entries past the table are ignored: a well-behaved service sends at most one page of 40.
    for (const xmlNode* item = list ? list->children : nullptr; item && i < kItemsTableSize;
         item = item->next, ++i) {
        Tbk_Items_Info& entry = table[i];
        entry.total_results = totalGbk;
        if (!ReadProperties(item, names, entry, kItemProperties, toGbk)) return Failure::Malformed;
    }
    return Failure::None;
}

const std::array<Text, 5>& SortKeys() {
    static const std::array<Text, 5> table = {"commissionVolume_desc", "price_asc", "price_desc",
                                              "credit_desc", "commissionNum_desc"};
    return table;
}

const std::array<Text, 20>& CreditLevels() {
    static const std::array<Text, 20> table = {
        "1heart",       "2heart",       "3heart",       "4heart",       "5heart",
        "1diamond",     "2diamond",     "3diamond",     "4diamond",     "5diamond",
        "1crown",       "2crown",       "3crown",       "4crown",       "5crown",
        "1goldencrown", "2goldencrown", "3goldencrown", "4goldencrown", "5goldencrown"};
    return table;
}

const std::array<Text, 20>& CreditIcons() {
    static const std::array<Text, 20> table = {
        "b_red_1.gif",   "b_red_2.gif",   "b_red_3.gif",   "b_red_4.gif",   "b_red_5.gif",
        "s_blue_1.gif",  "s_blue_2.gif",  "s_blue_3.gif",  "s_blue_4.gif",  "s_blue_5.gif",
        "s_cap_1.gif",   "s_cap_2.gif",   "s_cap_3.gif",   "s_cap_4.gif",   "s_cap_5.gif",
        "s_crown_1.gif", "s_crown_2.gif", "s_crown_3.gif", "s_crown_4.gif", "s_crown_5.gif"};
    return table;
}

namespace {

const char* const kRegionNamesUtf8[63] = {
    "所有地区", "江浙沪", "珠三角", "港澳台", "海外", "北京", "香港",   "上海",   "杭州",
    "广州",     "深圳",   "南京",   "武汉",   "天津", "成都", "哈尔滨", "重庆",   "宁波",
    "无锡",     "济南",   "苏州",   "温州",   "青岛", "沈阳", "福州",   "西安",   "长沙",
    "合肥",     "南宁",   "南昌",   "郑州",   "厦门", "大连", "常州",   "石家庄", "东莞",
    "安徽",     "福建",   "甘肃",   "广东",   "广西", "贵州", "海南",   "河北",   "黑龙江",
    "河南",     "湖北",   "湖南",   "江苏",   "江西", "吉林", "辽宁",   "内蒙古", "宁夏",
    "青海",     "山东",   "山西",   "陕西",   "四川", "新疆", "西藏",   "云南",   "浙江",
};

const char* const kRegionGroupsUtf8[5] = {
    "",
    "江苏,浙江,上海",
    "广州,深圳,中山,珠海,佛山,东莞,惠州",
    "香港,澳门,台湾",
    ("美国,英国,法国,瑞士,澳洲,新西兰,加拿大,奥地利,韩国,日本,德国,意大利,西班牙,俄罗斯,"
     "泰国,印度,荷兰,新加坡,其它国家"),
};

}  // namespace

const std::array<Text, 63>& RegionNames() {
    static const std::array<Text, 63> table = [] {
        std::array<Text, 63> t;
        for (int i = 0; i < 63; ++i) t[i] = Utf8ToGbk(kRegionNamesUtf8[i]);
        return t;
    }();
    return table;
}

const std::array<Text, 64>& RegionValues() {
    static const std::array<Text, 64> table = [] {
        std::array<Text, 64> t;
        for (int i = 0; i < 5; ++i) t[i] = Utf8ToGbk(kRegionGroupsUtf8[i]);
        for (int i = 5; i < 63; ++i) t[i] = RegionNames()[i];
        return t;  // position 63 stays empty: no list item selects it
    }();
    return table;
}

const Text& CreditIconFor(const Text& score) {
    std::optional<int64_t> value = ParseDecimal(score);
    return TableValue(CreditIcons(), value && *value <= 100 ? static_cast<int>(*value) - 1 : -1);
}
