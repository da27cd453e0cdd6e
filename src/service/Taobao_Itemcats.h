#pragma once
// The category client: children of one category, or categories by id.

#include <array>

#include "Http.h"
#include "Text.h"
#include "Xml.h"

struct Tb_Itemcats_Cond {
    Text pid;
    Text url;
    Text cids;
    Text parent_cid;
};

// Both the element names of a request (empty: the default name) and one category of a reply.
struct Tb_Itemcats_Info {
    Text cid;
    Text name;
    Text status;
    Text is_parent;
    Text sort_order;
    Text parent_cid;
};

constexpr int kItemcatsTableSize = 101;
// How far the category tree reads a reply: the top level, and the children of one node.
constexpr int kTopLevelCategoryEntries = 71;
constexpr int kChildCategoryEntries = 61;
constexpr int kItemcatFieldCount = 6;
using ATb_Itemcats_Info = std::array<Tb_Itemcats_Info, kItemcatsTableSize>;

extern Text Tb_Itemcats_Info::*const kItemcatProperties[kItemcatFieldCount];
extern const char* const kDefaultItemcatNames[kItemcatFieldCount];  // their element names

// The steps of a category request without the network, as GetItemcats runs them.
Tb_Itemcats_Info ItemcatNames(Tb_Itemcats_Info names);
Text ItemcatsRequestUrl(const Tb_Itemcats_Cond& cond, const Tb_Itemcats_Info& names);
// Reads a reply body into table; None on success. The entries the tree may read are cleared
// first, the others keep what they held.
Failure ParseItemcatsReply(std::string body, const Tb_Itemcats_Info& names, XmlDocument& xml,
                           ATb_Itemcats_Info& table);

class TTaobao_Itemcats {
public:
    TTaobao_Itemcats();

    // True: Itemcats points at this component's table, valid until the next call.
    bool GetItemcats(Tb_Itemcats_Cond Cond, Tb_Itemcats_Info Info, ATb_Itemcats_Info*& Itemcats);

    HttpClient& Http() { return FHttp; }
    const Text& LastUrl() const { return FLastUrl; }
    // Why the last GetItemcats failed; None after a success.
    Failure LastFailure() const { return FFailure; }

private:
    bool IsCondValid() const;

    HttpClient FHttp;
    XmlDocument FXml;
    Tb_Itemcats_Info FInfo;
    Tb_Itemcats_Cond FCond;
    ATb_Itemcats_Info FItemcats;
    Text FLastUrl;
    Failure FFailure = Failure::None;
};
