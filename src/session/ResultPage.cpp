#include "ResultPage.h"

#include <array>

#include "PageText.h"
#include "Service.h"

namespace {

// The page's literal pieces as they are written, in UTF-8 here and GBK in the page.
const char* const kListHead =
    R"Q(<head> <meta http-equiv="Content-Type" content="text/html;charset=gb2312" /> <style type="text/css"> .item{MARGIN:0px;border:1px solid #dfe8f6;width:100%;padding-top:7px;padding-right:4px;padding-bottom:6px;padding-left:5px;cursor:default;}.li{height:80px;width:auto;}.h{color:#ff2900;}.div_pic{width:80px;height:80px;line-height:80px;border:1px solid #d9d9d9;overflow:hidden;position:relative;text-align:center;float:left;background-color:#FFFFFF;margin-right:8px;cursor:pointer;}.div_pic p{position:static;position:absolute;top:50%;vertical-align:middle}.div_pic img{position:static;position:relative;top:-50%;left:-50%;vertical-align:middle}.div_title{width:170px;height:72px;overflow:hidden;padding-top:6px;font-size:13px;line-height:18px;float:left;margin-right:12px;}.div_title1{display:block;max-height:54px;overflow:hidden;cursor:pointer;}.div_price{width:80px;float:left;text-align:center;font-weight:bold;padding-top:30px;}.a{font-size:12px;color:#797979;}.b{font-size:14px;color:#FF2900;}.div_local{margin-right:10px;width:80px;padding-top:32px;font-size:12px;text-align:center;float:left}.div_30{width:100px;margin-right:8px;padding-top:32px;font-size:12px;float:left}.div_nick a{color:#555555;text-decoration:underline;}.div_nick a:hover{color:#0063DC}a{color:#0063DC;text-decoration:none;}a:hover{color:#ff6600;text-decoration:underline;}.div_credit{padding-top:30px;width:88px;text-align:center;} </style> <script language="javascript">function over(mydiv){mydiv.style.border="1px solid #99bbe8";mydiv.style.background= "#dfe8f6";}function out(mydiv){mydiv.style.border="1px solid #dfe8f6";mydiv.style.background= "";}function OnPic(index){window.open(click_url[index].href);}</script></head><body leftMargin=0  topMargin=0 scroll="no" style="color:#404040;font-size:12px;width:100%; border-width=0;">)Q";
const char* const kListItemOpen =
    R"Q(<div class="item" onMouseOver="over(this);" onMouseOut="out(this)"><div class="li">)Q";
const char* const kListPicture =
    R"Q(<div class="div_pic" onClick="OnPic(%d)"><p><img src="%s_sum.jpg" /></p></div>)Q";
const char* const kListTitle =
    R"Q(<div class="div_title"><a id="click_url" href="%s" target="_blank"><span class="div_title1">%s</span></a>)Q";
const char* const kListNick =
    R"Q(<div class="div_nick"><a href="%s" target="_blank">%s</a></div></div>)Q";
const char* const kListPrice =
    R"Q(<div class="div_price"><span class="a">￥</span><span class="b">%s</span></div>)Q";
const char* const kListLocation = R"Q(<div class="div_local">%s</div>)Q";
const char* const kListSold = R"Q(<div class="div_30">30天售出 %s 件</div>)Q";
const char* const kListCredit =
    R"Q(<div class="div_credit"><img src="{RankIconBaseUrl}/newrank/%s"/></div>)Q";
const char* const kListItemClose = R"Q(</div></div>)Q";
const char* const kGridHead =
    R"Q(<head> <meta http-equiv="Content-Type" content="text/html; charset=gb2312" /><style>.li{width:210px;float:left;margin-top:6px;margin-right:1px;margin-bottom:10px;margin-left:5px;}.h{color:#ff2900;}.div_pic{width:210px;height:210px;line-height:210px;border:1px solid #d9d9d9;overflow:hidden;position:relative;text-align:center;float:left;background-color:#FFFFFF;cursor:pointer;}.div_pic p {position:static;position:absolute;top:50%;vertical-align:middle}.div_pic img {position:static;position:relative;top:-50%;left:-50%;vertical-align:middle}.div_title{width:210px;height:36px;overflow:hidden;padding-top:6px;margin-bottom:6px;line-height:18px;}a{color:#0063DC;text-decoration:none;}a:hover{color:#ff6600;text-decoration:underline;}.div_price{float:left;width:90px;padding-bottom:4px;}.b{font-weight:bold;font-size:16px;color:#FF2900;}.div_30{width:auto;padding-bottom:4px;padding-top:3px;text-align:right;color:#404040;}.div_nick{width:130px;float:left;}.div_local{width:auto;color:#404040;text-align:right;}</style> <script language="javascript">function OnPic(index){open(click_url[index].href);}</script></head><body leftMargin=0  topMargin=0 scroll="no" style="color:#404040;font-size:12px;width:100%; border-width=0;">)Q";
const char* const kGridItemOpen = R"Q(<div class="li">)Q";
const char* const kGridPicture =
    R"Q(<div class="div_pic" onclick="OnPic(%d)"><p><img src="%s_160x160.jpg" /></p></div>)Q";
const char* const kGridTitle =
    R"Q(<div class="div_title"><a id="click_url" href="%s" target="_blank">%s</a></div>)Q";
const char* const kGridPrice = R"Q(<div class="div_price">￥<span class="b">%s</span></div>)Q";
const char* const kGridSold = R"Q(<div class="div_30">30天已售出 %s 件</div>)Q";
const char* const kGridNick =
    R"Q(<div class="div_nick"><a href="%s" target="_blank">%s</a><br /><img src="{RankIconBaseUrl}/newrank/%s" /></div>)Q";
const char* const kGridLocation = R"Q(<div class="div_local">%s</div>)Q";
const char* const kGridItemClose = R"Q(</div>)Q";
const char* const kPageEnd = R"Q(</body>)Q";

struct Pieces {
    Text head, itemOpen, picture, title, nick, price, location, sold, credit, itemClose, end;
};

Text Prepare(const char* utf8) {
    Text text = Utf8ToGbk(utf8);
    const Text marker = "{RankIconBaseUrl}";
    for (size_t at; (at = text.find(marker)) != Text::npos;)
        text.replace(at, marker.size(), RankIconBaseUrl);
    return text;
}

const Pieces& ListPieces() {
    static const Pieces p{Prepare(kListHead),      Prepare(kListItemOpen), Prepare(kListPicture),
                          Prepare(kListTitle),     Prepare(kListNick),     Prepare(kListPrice),
                          Prepare(kListLocation),  Prepare(kListSold),     Prepare(kListCredit),
                          Prepare(kListItemClose), Prepare(kPageEnd)};
    return p;
}

const Pieces& GridPieces() {
    static const Pieces p{Prepare(kGridHead),      Prepare(kGridItemOpen), Prepare(kGridPicture),
                          Prepare(kGridTitle),     Prepare(kGridNick),     Prepare(kGridPrice),
                          Prepare(kGridLocation),  Prepare(kGridSold),     Text(),
                          Prepare(kGridItemClose), Prepare(kPageEnd)};
    return p;
}

// Appends the literal with each "%s" or "%d" replaced by the next value, unchanged. Values are
// never scanned for markers, so a "%" inside one stays as it is.
void Fill(Text& page, const Text& literal, std::initializer_list<std::string_view> values) {
    auto value = values.begin();
    size_t from = 0;
    for (size_t at = literal.find('%'); at != Text::npos; at = literal.find('%', at + 1)) {
        if (at + 1 >= literal.size() || (literal[at + 1] != 's' && literal[at + 1] != 'd'))
            continue;
        page.append(literal, from, at - from);
        if (value != values.end()) page.append(*value++);
        from = at + 2;
        ++at;
    }
    page.append(literal, from, Text::npos);
}

// Head, then per item its opening, picture and title and the layout's own pieces, then the end.
template <typename Rest>
Text Assemble(const Pieces& p, const TAB& tab, Rest&& rest) {
    Text page = p.head;
    page.reserve(page.size() + kTabItems * 1200);
    for (int i = 0; i < kTabItems && !tab.Items[i].title.empty(); ++i) {
        const Tbk_Items_Info& it = tab.Items[i];
        page += p.itemOpen;
        Fill(page, p.picture, {std::to_string(i), PageAddress(it.pic_url)});
        Fill(page, p.title, {PageAddress(it.click_url), PageTitle(it.title)});
        rest(page, it);
        page += p.itemClose;
    }
    return page + p.end;
}

}  // namespace

Text BuildListPage(const TAB& tab) {
    const Pieces& p = ListPieces();
    return Assemble(p, tab, [&p](Text& page, const Tbk_Items_Info& it) {
        Fill(page, p.nick, {PageAddress(it.shop_click_url), PageText(it.nick)});
        Fill(page, p.price, {PageNumber(it.price, true)});
        Fill(page, p.location, {PageText(it.item_location)});
        Fill(page, p.sold, {PageNumber(it.volume, false)});
        Fill(page, p.credit, {CreditIconFor(it.seller_credit_score)});
    });
}

Text BuildGridPage(const TAB& tab) {
    const Pieces& p = GridPieces();
    return Assemble(p, tab, [&p](Text& page, const Tbk_Items_Info& it) {
        Fill(page, p.price, {PageNumber(it.price, true)});
        Fill(page, p.sold, {PageNumber(it.volume, false)});
        Fill(page, p.nick,
             {PageAddress(it.shop_click_url), PageText(it.nick),
              CreditIconFor(it.seller_credit_score)});
        Fill(page, p.location, {PageText(it.item_location)});
    });
}

Text BuildPage(const TAB& tab) {
    return tab.ViewIndex == 0 ? BuildListPage(tab) : BuildGridPage(tab);
}

std::string HtmlStream(const Text& html) {
    std::string out;
    out.reserve(html.size() + 64);
    size_t n = html.size();
    for (size_t i = 0; i < n; ++i) {
        char c = html[i];
        if (c != '\r' && c != '\n') {
            out += c;
            continue;
        }
        out += "\r\n";
        if (c == '\r' && i + 1 < n && html[i + 1] == '\n') ++i;
    }
    // The last line gets its line end too, unless the text already ended with one.
    if (n > 0 && html[n - 1] != '\r' && html[n - 1] != '\n') out += "\r\n";
    return out;
}
