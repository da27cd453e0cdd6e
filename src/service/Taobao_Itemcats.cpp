#include "Taobao_Itemcats.h"

#include "MD5.h"
#include "ServiceReply.h"

Text Tb_Itemcats_Info::* const kItemcatProperties[6] = {
    &Tb_Itemcats_Info::cid,       &Tb_Itemcats_Info::name,       &Tb_Itemcats_Info::status,
    &Tb_Itemcats_Info::is_parent, &Tb_Itemcats_Info::sort_order, &Tb_Itemcats_Info::parent_cid,
};

namespace {
const char* const kDefaultItemcatNames[6] = {"cid",       "name",       "status",
                                             "is_parent", "sort_order", "parent_cid"};
// A new reply clears the entries the category tree may read (71 at the top level).
constexpr int kClearedEntries = 71;
}  // namespace

TTaobao_Itemcats::TTaobao_Itemcats() {
    FHttp.SetReadTimeout(kServiceReadTimeoutMs);
    FHttp.SetTotalTimeout(kSmallReplyTotalTimeoutMs);
}

bool TTaobao_Itemcats::GetItemcats(Tb_Itemcats_Cond Cond, Tb_Itemcats_Info Info,
                                   ATb_Itemcats_Info*& Itemcats) {
    FInfo = std::move(Info);
    FCond = std::move(Cond);
    if (!IsCondValid()) return false;
    FillDefaultNames();
    if (!FetchReply()) return false;
    Itemcats = &FItemcats;
    return true;
}

bool TTaobao_Itemcats::IsCondValid() const {
    return !FCond.pid.empty() && !FCond.url.empty() &&
           (!FCond.cids.empty() || !FCond.parent_cid.empty());
}

void TTaobao_Itemcats::FillDefaultNames() {
    for (int i = 0; i < 6; ++i)
        if ((FInfo.*kItemcatProperties[i]).empty())
            FInfo.*kItemcatProperties[i] = kDefaultItemcatNames[i];
}

Text TTaobao_Itemcats::BuildUrl() const {
    Text query = "fields=";
    if (!FInfo.cid.empty())
        for (int i = 0; i < 6; ++i) {
            if (i) query += ',';
            query += FInfo.*kItemcatProperties[i];
        }
    if (!FCond.cids.empty()) query += "&cids=" + FCond.cids;
    if (!FCond.parent_cid.empty()) query += "&parent_cid=" + FCond.parent_cid;
    return SignQuery(FCond.url, query, FCond.pid, FCond.cids + FCond.parent_cid);
}

bool TTaobao_Itemcats::FetchReply() {
    try {
        FLastUrl = BuildUrl();
        if (!FetchXmlReply(FHttp, FXml, FLastUrl)) return false;
        const xmlNode* list = ChildElement(FXml.Root(), "item_cats");
        if (!list) return false;
        return ParseReply(list);
    } catch (...) {
        return false;
    }
}

void TTaobao_Itemcats::ClearTable() {
    for (int i = 0; i < kClearedEntries; ++i) FItemcats[i] = Tb_Itemcats_Info{};
}

bool TTaobao_Itemcats::ParseReply(const xmlNode* list) {
    ClearTable();
    TextConverter toGbk(TextConverter::Utf8ToGbk);
    int i = 0;
    // Entries past the table are ignored rather than written beyond it.
    for (const xmlNode* cat = list->children; cat && i < kItemcatsTableSize; cat = cat->next, ++i)
        if (!ReadProperties(cat, FInfo, FItemcats[i], kItemcatProperties, toGbk)) return false;
    return true;
}
