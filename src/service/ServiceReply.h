#pragma once
// What the item and category clients share: one GET, the body parsed as a reply document, and
// the texts of its property elements stored in GBK.

#include <functional>
#include <string>

#include "Http.h"
#include "Text.h"
#include "Xml.h"

constexpr int kServiceReadTimeoutMs = 15000;
// The most a whole item, category or software-information request may take, however its
// bytes trickle in. Category and software-information requests run on the window's thread.
constexpr int kItemsTotalTimeoutMs = 30000;
constexpr int kSmallReplyTotalTimeoutMs = 20000;

// One request of a client: builds its URL, GETs it with http and hands the body to parse (which
// reads it through xml). The failure of whichever step failed; an exception counts as a
// malformed reply, as no failure may leave a component.
Failure FetchReply(HttpClient& http, XmlDocument& xml, const std::function<std::string()>& url,
                   const std::function<Failure(std::string body)>& parse);

// Parses a reply body into xml, with CR LF after it as the service's replies were always read.
bool ParseXmlBody(XmlDocument& xml, std::string body);

// Copies the text of each named property element of item into the matching field of entry.
// fields lists the members of Record in order; names holds the element name of each member.
template <typename Record, size_t N>
bool ReadProperties(const xmlNode* item, const Record& names, Record& entry,
                    Text Record::*const (&fields)[N], TextConverter& toGbk) {
    std::string utf8;
    for (Text Record::*field : fields) {
        if (!ElementText(ChildElement(item, names.*field), utf8)) return false;
        entry.*field = toGbk.Convert(utf8);
    }
    return true;
}
