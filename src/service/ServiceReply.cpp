#include "ServiceReply.h"

bool ParseXmlBody(XmlDocument& xml, std::string body) {
    body += "\r\n";
    return xml.Parse(body);
}

Failure FetchReply(HttpClient& http, XmlDocument& xml, const std::function<std::string()>& url,
                   const std::function<Failure(std::string body)>& parse) {
    try {
        std::string target = url();
        xml.Clear();
        std::string body;
        if (!http.Get(target, body)) return http.LastFailure();
        return parse(std::move(body));
    } catch (...) {
        return Failure::Malformed;
    }
}
