#include "Xml.h"

#include <libxml/encoding.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>

#include <climits>
#include <cstring>

#include "Http.h"

namespace {

xmlParserInputPtr DenyExternalEntity(const char*, const char*, xmlParserCtxtPtr) { return nullptr; }

void RefuseDtd(void* ctx, const xmlChar*, const xmlChar*, const xmlChar*) {
    auto* ctxt = static_cast<xmlParserCtxtPtr>(ctx);
    ctxt->wellFormed = 0;
    xmlStopParser(ctxt);
}

}  // namespace

void InitXmlLibrary() {
    xmlInitParser();
    // glibc's GB2312 table rejects the GBK-only bytes that such replies carry in practice.
    xmlAddEncodingAlias("GB18030", "GB2312");
    xmlAddEncodingAlias("GB18030", "GBK");
    xmlSetExternalEntityLoader(DenyExternalEntity);
}

void XmlDocument::Clear() {
    if (FDoc) xmlFreeDoc(FDoc);
    FDoc = nullptr;
}

bool XmlDocument::Parse(std::string_view bytes) {
    InitServiceLibraries();
    Clear();
    if (bytes.size() > static_cast<size_t>(INT_MAX)) return false;
    xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
    if (!ctxt) return false;
    ctxt->sax->internalSubset = RefuseDtd;
    FDoc = xmlCtxtReadMemory(
        ctxt, bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr,
        XML_PARSE_NONET | XML_PARSE_NOBLANKS | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    xmlFreeParserCtxt(ctxt);
    if (FDoc && !xmlDocGetRootElement(FDoc)) Clear();
    return FDoc != nullptr;
}

xmlNode* XmlDocument::Root() const { return FDoc ? xmlDocGetRootElement(FDoc) : nullptr; }

namespace {

bool NameMatches(const xmlNode* node, std::string_view name) {
    std::string_view local = reinterpret_cast<const char*>(node->name);
    if (local == name) return true;
    if (!node->ns || !node->ns->prefix) return false;
    std::string_view prefix = reinterpret_cast<const char*>(node->ns->prefix);
    return name.size() == prefix.size() + 1 + local.size() &&
           name.substr(0, prefix.size()) == prefix && name[prefix.size()] == ':' &&
           name.substr(prefix.size() + 1) == local;
}

}  // namespace

xmlNode* ChildElement(const xmlNode* parent, std::string_view name) {
    if (!parent) return nullptr;
    for (xmlNode* n = parent->children; n; n = n->next)
        if (n->type == XML_ELEMENT_NODE && NameMatches(n, name)) return n;
    return nullptr;
}

bool ElementText(const xmlNode* element, std::string& utf8) {
    utf8.clear();
    if (!element || !element->children) return true;
    const xmlNode* child = element->children;
    if (child->next) return false;
    if (child->type != XML_TEXT_NODE && child->type != XML_CDATA_SECTION_NODE) return false;
    if (child->content) utf8 = reinterpret_cast<const char*>(child->content);
    return true;
}
