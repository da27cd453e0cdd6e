#pragma once
// A parsed service reply on libxml2. The document decides its own encoding (byte-order mark,
// declaration, UTF-8 otherwise); nothing is ever loaded from outside and documents carrying a
// DTD are refused, so a reply cannot reach the file system or blow up through entities.

#include <libxml/tree.h>

#include <string>
#include <string_view>

void InitXmlLibrary();

class XmlDocument {
public:
    XmlDocument() = default;
    ~XmlDocument() { Clear(); }
    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;

    // False when the bytes are not a well-formed document without DTD; the document is then empty.
    bool Parse(std::string_view bytes);
    void Clear();
    xmlNode* Root() const;

private:
    xmlDoc* FDoc = nullptr;
};

// The first child element whose qualified name ("p:name") or local name equals name exactly.
xmlNode* ChildElement(const xmlNode* parent, std::string_view name);

// The text of a simple element in UTF-8: its single text or CDATA child, or empty for an absent
// element or one without children. False for any other content (several children, a nested
// element, a comment).
bool ElementText(const xmlNode* element, std::string& utf8);
