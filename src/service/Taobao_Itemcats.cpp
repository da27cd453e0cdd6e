#include "Taobao_Itemcats.h"

#include "MD5.h"
#include "ServiceReply.h"

const char* const kDefaultItemcatNames[kItemcatFieldCount] = {
    "cid", "name", "status", "is_parent", "sort_order", "parent_cid"};

Text Tb_Itemcats_Info::*const kItemcatProperties[kItemcatFieldCount] = {
    &Tb_Itemcats_Info::cid,       &Tb_Itemcats_Info::name,       &Tb_Itemcats_Info::status,
    &Tb_Itemcats_Info::is_parent, &Tb_Itemcats_Info::sort_order, &Tb_Itemcats_Info::parent_cid,
};

namespace {

// A new reply clears the entries the category tree may read.
constexpr int kClearedEntries = kTopLevelCategoryEntries;
}  // namespace

TTaobao_Itemcats::TTaobao_Itemcats() {
    FHttp.SetReadTimeout(kServiceReadTimeoutMs);
    FHttp.SetTotalTimeout(kSmallReplyTotalTimeoutMs);
}

bool TTaobao_Itemcats::GetItemcats(Tb_Itemcats_Cond Cond, Tb_Itemcats_Info Info,
                                   ATb_Itemcats_Info*& Itemcats) {
    FInfo = ItemcatNames(std::move(Info));
    FCond = std::move(Cond);
    FFailure = Failure::InvalidRequest;
    if (!IsCondValid()) return false;
    FFailure = FetchReply(
        FHttp, FXml, [this] { return FLastUrl = ItemcatsRequestUrl(FCond, FInfo); },
        [this](std::string body) {
            return ParseItemcatsReply(std::move(body), FInfo, FXml, FItemcats);
        });
    if (FFailure != Failure::None) return false;
    Itemcats = &FItemcats;
    return true;
}

bool TTaobao_Itemcats::IsCondValid() const {
    return !FCond.pid.empty() && !FCond.url.empty() &&
           (!FCond.cids.empty() || !FCond.parent_cid.empty());
}

Tb_Itemcats_Info ItemcatNames(Tb_Itemcats_Info names) {
    for (int i = 0; i < kItemcatFieldCount; ++i)
        if ((names.*kItemcatProperties[i]).empty())
            names.*kItemcatProperties[i] = kDefaultItemcatNames[i];
    return names;
}

Text ItemcatsRequestUrl(const Tb_Itemcats_Cond& cond, const Tb_Itemcats_Info& names) {
    Text query = "fields=";
    if (!names.cid.empty())
        for (int i = 0; i < kItemcatFieldCount; ++i) {
            if (i) query += ',';
            query += names.*kItemcatProperties[i];
        }
    if (!cond.cids.empty()) query += "&cids=" + cond.cids;
    if (!cond.parent_cid.empty()) query += "&parent_cid=" + cond.parent_cid;
    return SignQuery(cond.url, query, cond.pid, cond.cids + cond.parent_cid);
}

Failure ParseItemcatsReply(std::string body, const Tb_Itemcats_Info& names, XmlDocument& xml,
                           ATb_Itemcats_Info& table) {
    if (!ParseXmlBody(xml, std::move(body))) return Failure::Malformed;
    const xmlNode* list = ChildElement(xml.Root(), "item_cats");
    if (!list) return Failure::NotAReply;
    for (int i = 0; i < kClearedEntries; ++i) table[i] = Tb_Itemcats_Info{};
    TextConverter toGbk(TextConverter::Utf8ToGbk);
    int i = 0;
    // Entries past the table are ignored rather than written beyond it.
    for (const xmlNode* cat = list->children; cat && i < kItemcatsTableSize; cat = cat->next, ++i)
        if (!ReadProperties(cat, names, table[i], kItemcatProperties, toGbk))
            return Failure::Malformed;
    return Failure::None;
}
