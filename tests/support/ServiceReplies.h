#pragma once
// Reply documents of the item and category endpoints, built for tests.

#include <string>

#include "Taobaoke_Items.h"

// The conditions of the start-up search: all categories, default order, credit 5heart to
// 5goldencrown, prices 0 to 999999999, page 1.
// One-character values are assigned as characters: gcc 12 at -O2 and above takes a copy of a
// one-character literal for an overlapping copy (-Wrestrict, a false positive).
inline Tbk_Items_Cond StartUpConditions(const std::string& baseUrl, const std::string& pid) {
    Tbk_Items_Cond c;
    c.pid = pid;
    c.url = baseUrl + "taobao/tbk_items.php";
    c.cid = '0';
    c.sort = "commissionVolume_desc";
    c.start_price = '0';
    c.end_price = "999999999";
    c.page_no = '1';
    c.start_credit = "5heart";
    c.end_credit = "5goldencrown";
    return c;
}

// One item element; title and the other properties carry the index so entries can be told apart.
inline std::string ItemXml(int i, const std::string& title) {
    std::string n = std::to_string(i);
    return "<taobaoke_item><nick>seller" + n + "</nick><title>" + title + "</title><price>" + n +
           ".50</price><pic_url>http://p/" + n + ".jpg</pic_url><num_iid>" + n +
           "</num_iid><click_url>http://c/" + n +
           "</click_url><commission>1</commission>"
           "<commission_num>2</commission_num><commission_rate>3</commission_rate>"
           "<commission_volume>4</commission_volume><shop_click_url>http://s/" +
           n + "</shop_click_url><seller_credit_score>" + std::to_string(i % 20 + 1) +
           "</seller_credit_score><item_location>浙江 杭州</item_location><volume>" + n +
           "</volume></taobaoke_item>";
}

inline std::string ItemsReply(int count, const std::string& total, int firstIndex = 0) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<tbk_items_get_response>\n";
    xml += "  <total_results>" + total + "</total_results>\n  <taobaoke_items>\n";
    for (int i = firstIndex; i < firstIndex + count; ++i)
        xml += "    " + ItemXml(i, "商品" + std::to_string(i)) + "\n";
    xml += "  </taobaoke_items>\n</tbk_items_get_response>\n";
    return xml;
}

inline std::string ItemcatsReply(int count, int firstCid = 1) {
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<itemcats_get_response><item_cats>";
    for (int c = firstCid; c < firstCid + count; ++c) {
        std::string n = std::to_string(c);
        xml += "<item_cat><cid>" + n + "</cid><name>类目" + n +
               "</name><status>normal</status>"
               "<is_parent>" +
               (c % 2 ? "true" : "false") + "</is_parent><sort_order>" + n +
               "</sort_order><parent_cid>0</parent_cid></item_cat>";
    }
    return xml + "</item_cats></itemcats_get_response>";
}
