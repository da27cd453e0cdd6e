#include "ServiceReply.h"

bool ParseXmlBody(XmlDocument& xml, std::string body) {
    body += "\r\n";
    return xml.Parse(body);
}
