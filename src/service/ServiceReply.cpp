#include "ServiceReply.h"

bool FetchXmlReply(HttpClient& http, XmlDocument& xml, const std::string& url) {
    xml.Clear();
    std::string body;
    if (!http.Get(url, body)) return false;
    body += "\r\n";
    return xml.Parse(body);
}
