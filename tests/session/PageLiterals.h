#pragma once
// The result pages' pieces, written out apart from the code that builds the pages: a changed
// piece there shows up as a difference here. GBK bytes are spelled out.

#include "Service.h"
#include "Text.h"

namespace expected {
Text ListHead() {
    return Text(
        "<head> <meta http-equiv=\"Content-Type\" content=\"text/html;charset=gb2312\" /> <style "
        "type=\"text/css\"> .item{MARGIN:0px;border:1px solid "
        "#dfe8f6;width:100%;padding-top:7px;padding-right:4px;padding-bottom:6px;padding-left:5px;"
        "cursor:default;}.li{height:80px;width:auto;}.h{color:#ff2900;}.div_pic{width:80px;height:"
        "80px;line-height:80px;border:1px solid "
        "#d9d9d9;overflow:hidden;position:relative;text-align:center;float:left;background-color:#"
        "FFFFFF;margin-right:8px;cursor:pointer;}.div_pic "
        "p{position:static;position:absolute;top:50%;vertical-align:middle}.div_pic "
        "img{position:static;position:relative;top:-50%;left:-50%;vertical-align:middle}.div_title{"
        "width:170px;height:72px;overflow:hidden;padding-top:6px;font-size:13px;line-height:18px;"
        "float:left;margin-right:12px;}"
        ".div_title1{display:block;max-height:54px;overflow:hidden;cursor:pointer;}.div_price{"
        "width:80px;float:left;text-align:"
        "center;font-weight:bold;padding-top:30px;}.a{font-size:12px;color:#797979;}.b{font-size:"
        "14px;color:#FF2900;}.div_local{margin-right:10px;width:80px;padding-top:32px;font-size:"
        "12px;text-align:center;float:left}.div_30{width:100px;margin-right:8px;padding-top:32px;"
        "font-size:12px;float:left}.div_nick a{color:#555555;text-decoration:underline;}.div_nick "
        "a:hover{color:#0063DC}a{color:#0063DC;text-decoration:none;}a:hover{color:#ff6600;text-"
        "decoration:underline;}.div_credit{padding-top:30px;width:88px;text-align:center;} "
        "</style> <script language=\"javascript\">function over(mydiv){mydiv.style.border=\"1px "
        "solid #99bbe8\";mydiv.style.background= \"#dfe8f6\";}function "
        "out(mydiv){mydiv.style.border=\"1px solid #dfe8f6\";mydiv.style.background= "
        "\"\";}function OnPic(index){window.open(click_url[index].href);}</script></head><body "
        "leftMargin=0  topMargin=0 scroll=\"no\" style=\"color:#404040;font-size:12px;width:100%; "
        "border-width=0;\">");
}
Text ListItemOpen() {
    return Text(
        "<div class=\"item\" onMouseOver=\"over(this);\" onMouseOut=\"out(this)\"><div "
        "class=\"li\">");
}
Text ListPicture(const Text& a0, const Text& a1) {
    return Text("<div class=\"div_pic\" onClick=\"OnPic(") + a0 + Text(")\"><p><img src=\"") + a1 +
           Text("_sum.jpg\" /></p></div>");
}
Text ListTitle(const Text& a0, const Text& a1) {
    return Text("<div class=\"div_title\"><a id=\"click_url\" href=\"") + a0 +
           Text("\" target=\"_blank\"><span class=\"div_title1\">") + a1 + Text("</span></a>");
}
Text ListNick(const Text& a0, const Text& a1) {
    return Text("<div class=\"div_nick\"><a href=\"") + a0 + Text("\" target=\"_blank\">") + a1 +
           Text("</a></div></div>");
}
Text ListPrice(const Text& a0) {
    return Text("<div class=\"div_price\"><span class=\"a\">\xA3\xA4</span><span class=\"b\">") +
           a0 + Text("</span></div>");
}
Text ListLocation(const Text& a0) {
    return Text("<div class=\"div_local\">") + a0 + Text("</div>");
}
Text ListSold(const Text& a0) {
    return Text("<div class=\"div_30\">30\xCC\xEC\xCA\xDB\xB3\xF6 ") + a0 + Text(" \xBC\xFE</div>");
}
Text ListCredit(const Text& a0) {
    return Text("<div class=\"div_credit\"><img src=\"") + RankIconBaseUrl + Text("/newrank/") +
           a0 + Text("\"/></div>");
}
Text ListItemClose() { return Text("</div></div>"); }
Text PageEnd() { return Text("</body>"); }
Text GridHead() {
    return Text(
        "<head> <meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\" "
        "/><style>.li{width:210px;float:left;margin-top:6px;margin-right:1px;margin-bottom:10px;"
        "margin-left:5px;}.h{color:#ff2900;}.div_pic{width:210px;height:210px;line-height:210px;"
        "border:1px solid "
        "#d9d9d9;overflow:hidden;position:relative;text-align:center;float:left;background-color:#"
        "FFFFFF;cursor:pointer;}.div_pic p "
        "{position:static;position:absolute;top:50%;vertical-align:middle}.div_pic img "
        "{position:static;position:relative;top:-50%;left:-50%;vertical-align:middle}.div_title{"
        "width:210px;height:36px;overflow:hidden;padding-top:6px;margin-bottom:6px;line-height:"
        "18px;}"
        "a{color:#0063DC;"
        "text-decoration:"
        "none;}a:hover{color:#ff6600;text-decoration:underline;}.div_price{float:left;width:90px;"
        "padding-bottom:4px;}.b{font-weight:bold;font-size:16px;color:#FF2900;}.div_30{width:auto;"
        "padding-bottom:4px;padding-top:3px;text-align:right;color:#404040;}.div_nick{width:130px;"
        "float:left;}.div_local{width:auto;color:#404040;text-align:right;}</style> <script "
        "language=\"javascript\">function "
        "OnPic(index){open(click_url[index].href);}</script></head><body leftMargin=0  topMargin=0 "
        "scroll=\"no\" style=\"color:#404040;font-size:12px;width:100%; border-width=0;\">");
}
Text GridItemOpen() { return Text("<div class=\"li\">"); }
Text GridPicture(const Text& a0, const Text& a1) {
    return Text("<div class=\"div_pic\" onclick=\"OnPic(") + a0 + Text(")\"><p><img src=\"") + a1 +
           Text("_160x160.jpg\" /></p></div>");
}
Text GridTitle(const Text& a0, const Text& a1) {
    return Text("<div class=\"div_title\"><a id=\"click_url\" href=\"") + a0 +
           Text("\" target=\"_blank\">") + a1 + Text("</a></div>");
}
Text GridPrice(const Text& a0) {
    return Text("<div class=\"div_price\">\xA3\xA4<span class=\"b\">") + a0 + Text("</span></div>");
}
Text GridSold(const Text& a0) {
    return Text("<div class=\"div_30\">30\xCC\xEC\xD2\xD1\xCA\xDB\xB3\xF6 ") + a0 +
           Text(" \xBC\xFE</div>");
}
Text GridNick(const Text& a0, const Text& a1, const Text& a2) {
    return Text("<div class=\"div_nick\"><a href=\"") + a0 + Text("\" target=\"_blank\">") + a1 +
           Text("</a><br /><img src=\"") + RankIconBaseUrl + Text("/newrank/") + a2 +
           Text("\" /></div>");
}
Text GridLocation(const Text& a0) {
    return Text("<div class=\"div_local\">") + a0 + Text("</div>");
}
Text GridItemClose() { return Text("</div>"); }
}  // namespace expected
