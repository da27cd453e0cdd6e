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
using ATb_Itemcats_Info = std::array<Tb_Itemcats_Info, kItemcatsTableSize>;

extern Text Tb_Itemcats_Info::* const kItemcatProperties[6];

class TTaobao_Itemcats {
public:
    TTaobao_Itemcats();

    // True: Itemcats points at this component's table, valid until the next call.
    bool GetItemcats(Tb_Itemcats_Cond Cond, Tb_Itemcats_Info Info, ATb_Itemcats_Info*& Itemcats);

    HttpClient& Http() { return FHttp; }
    const Text& LastUrl() const { return FLastUrl; }

private:
    bool IsCondValid() const;
    void FillDefaultNames();
    bool FetchReply();
    Text BuildUrl() const;
    bool ParseReply(const xmlNode* list);
    void ClearTable();

    HttpClient FHttp;
    XmlDocument FXml;
    Tb_Itemcats_Info FInfo;
    Tb_Itemcats_Cond FCond;
    ATb_Itemcats_Info FItemcats;
    Text FLastUrl;
};
