#pragma once
// Reads a result page as the browser's tokenizer would and names the first element, attribute
// or value the program's pages never hold; empty when the page holds only its own markup. The
// page tests and the page fuzz target both judge pages by it.

#include <cctype>
#include <cstring>
#include <map>
#include <set>
#include <string>

#include "PageText.h"
#include "Service.h"

namespace page_markup {

inline bool StartsWith(const std::string& s, const std::string& prefix) {
    return s.compare(0, prefix.size(), prefix) == 0;
}

inline std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// An address the page may hold: a web address without a character that could end its
// attribute, or the inert one, with the picture suffix where the page adds it.
inline bool GoodAddress(const std::string& value) {
    for (const char* suffix : {"", "_sum.jpg", "_160x160.jpg"})
        if (value == std::string(kInertAddress) + suffix) return true;
    if (!StartsWith(Lower(value), "http://") && !StartsWith(Lower(value), "https://")) return false;
    for (char c : value)
        if (static_cast<unsigned char>(c) <= 0x20 || std::strchr("\"'<>`", c)) return false;
    return true;
}

inline bool GoodHandler(const std::string& value) {
    if (value == "over(this);" || value == "out(this)") return true;
    if (!StartsWith(value, "OnPic(") || value.back() != ')' || value.size() < 8) return false;
    for (size_t i = 6; i + 1 < value.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(value[i]))) return false;
    return true;
}

inline std::string Check(const std::string& page) {
    static const std::map<std::string, std::set<std::string>> kAllowed = {
        {"head", {}},
        {"meta", {"http-equiv", "content"}},
        {"style", {"type"}},
        {"script", {"language"}},
        {"body", {"leftmargin", "topmargin", "scroll", "style"}},
        {"div", {"class", "onmouseover", "onmouseout", "onclick"}},
        {"p", {}},
        {"br", {}},
        {"img", {"src"}},
        {"a", {"id", "href", "target"}},
        {"span", {"class"}}};
    static const std::set<std::string> kClasses = {
        "item", "li", "div_pic", "div_title", "div_title1", "div_nick",  "div_price",
        "a",    "b",  "h",       "div_local", "div_30",     "div_credit"};
    int scripts = 0;
    bool inHead = false;
    for (size_t at = 0; at < page.size();) {
        if (page[at] != '<') {
            ++at;
            continue;
        }
        size_t i = at + 1;
        bool closing = i < page.size() && page[i] == '/';
        if (closing) ++i;
        size_t nameStart = i;
        while (i < page.size() && std::isalnum(static_cast<unsigned char>(page[i]))) ++i;
        std::string name = Lower(page.substr(nameStart, i - nameStart));
        auto allowed = kAllowed.find(name);
        if (allowed == kAllowed.end())
            return "markup '" + page.substr(at, std::min<size_t>(40, page.size() - at)) + "'";
        if (closing) {
            if (i >= page.size() || page[i] != '>') return "bad closing tag " + name;
            if (name == "head") inHead = false;
            at = i + 1;
            continue;
        }
        if (name == "head") inHead = true;
        std::map<std::string, std::string> attributes;
        for (;;) {
            while (i < page.size() && (page[i] == ' ' || page[i] == '/')) ++i;
            if (i >= page.size()) return "unterminated <" + name;
            if (page[i] == '>') break;
            size_t a = i;
            while (i < page.size() &&
                   (std::isalpha(static_cast<unsigned char>(page[i])) || page[i] == '-'))
                ++i;
            std::string attribute = Lower(page.substr(a, i - a));
            if (attribute.empty() || !allowed->second.count(attribute) ||
                attributes.count(attribute))
                return "attribute '" + page.substr(a, std::min<size_t>(30, page.size() - a)) +
                       "' on <" + name + ">";
            std::string value;
            if (i < page.size() && page[i] == '=') {
                ++i;
                char quote = i < page.size() && (page[i] == '"' || page[i] == '\'') ? page[i] : 0;
                size_t v = quote ? ++i : i;
                while (i < page.size() &&
                       (quote ? page[i] != quote : page[i] != ' ' && page[i] != '>'))
                    ++i;
                if (quote && i >= page.size()) return "unterminated value on <" + name + ">";
                value = page.substr(v, i - v);
                if (quote) ++i;
            }
            attributes[attribute] = value;
            if ((attribute == "href" || attribute == "src") &&
                !(name == "img" && StartsWith(value, RankIconBaseUrl + "/newrank/")) &&
                !GoodAddress(value))
                return "address '" + value + "'";
            if (StartsWith(attribute, "on") && !GoodHandler(value))
                return "handler '" + value + "'";
            // Pages have no doctype: the engine matches class names without case.
            if (attribute == "class" && !kClasses.count(Lower(value)))
                return "class '" + value + "'";
            if ((attribute == "target" && value != "_blank") ||
                (attribute == "id" && value != "click_url"))
                return attribute + " '" + value + "'";
        }
        at = i + 1;
        // The head's script and style are raw text up to their end tag.
        if (name == "script" || name == "style") {
            if (name == "script" && (!inHead || ++scripts > 1)) return "a second or late script";
            size_t end = page.find("</" + name + ">", at);
            if (end == std::string::npos) return "unterminated " + name;
            at = end;
        }
    }
    return {};
}

}  // namespace page_markup
