#include <gtest/gtest.h>

#include <fstream>
#include <vector>

#include "Text.h"
#include "Xml.h"

namespace {
std::string Utf16Le(std::u16string_view text) {
    std::string bytes;
    for (char16_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    return bytes;
}

std::string TextOf(const XmlDocument& doc, const char* name) {
    std::string text;
    EXPECT_TRUE(ElementText(ChildElement(doc.Root(), name), text)) << name;
    return text;
}
}  // namespace

TEST(Xml, EncodingComesFromTheDocument) {
    const std::pair<std::string, std::string> cases[] = {
        {"<r><t>手机</t></r>", "手机"},
        {"\xEF\xBB\xBF<r><t>手机</t></r>", "手机"},
        {"<?xml version=\"1.0\" encoding=\"GBK\"?><r><t>\xCA\xD6\xBB\xFA</t></r>", "手机"},
        // 0x80-0xFE lead bytes beyond GB2312's range, declared as gb2312 as some servers do.
        {"<?xml version=\"1.0\" encoding=\"gb2312\"?><r><t>\x81\x40</t></r>", "丂"},
        {Utf16Le(u"\uFEFF<r><t>手机</t></r>"), "手机"},
    };
    for (const auto& [bytes, title] : cases) {
        XmlDocument doc;
        ASSERT_TRUE(doc.Parse(bytes)) << bytes;
        EXPECT_EQ(TextOf(doc, "t"), title);
    }
}

TEST(Xml, MalformedDocumentsFail) {
    for (const char* bad : {"", "\r\n", "<r>", "<r></s>", "text", "<r/><r/>", "<r>\xFF</r>"}) {
        XmlDocument doc;
        EXPECT_FALSE(doc.Parse(bad)) << bad;
        EXPECT_EQ(doc.Root(), nullptr);
    }
}

TEST(Xml, DocumentsWithADtdAreRefusedAndNothingIsLoaded) {
    std::string secret = testing::TempDir() + "quellot_secret.txt";
    std::ofstream(secret) << "SECRET";
    const std::string cases[] = {
        "<!DOCTYPE r [<!ENTITY x SYSTEM \"file://" + secret + "\">]><r><t>&x;</t></r>",
        "<!DOCTYPE r SYSTEM \"file://" + secret + "\"><r><t>a</t></r>",
        "<!DOCTYPE r [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
        "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">]><r><t>&c;&c;&c;&c;</t></r>",
    };
    for (const auto& bytes : cases) {
        XmlDocument doc;
        EXPECT_FALSE(doc.Parse(bytes)) << bytes;
    }
    XmlDocument doc;  // an undeclared entity is simply malformed
    EXPECT_FALSE(doc.Parse("<r><t>&x;</t></r>"));
}

TEST(Xml, ChildrenByNameAndPosition) {
    XmlDocument doc;
    ASSERT_TRUE(doc.Parse(
        "<r xmlns:p=\"urn:p\">\n  <p:a>1</p:a>\n  <b>2</b>\n  <B>3</B>\n  <b>4</b>\n</r>"));
    xmlNode* root = doc.Root();
    std::vector<xmlNode*> children;
    for (xmlNode* n = root->children; n; n = n->next) children.push_back(n);
    ASSERT_EQ(children.size(), 4u);  // whitespace between elements is dropped
    std::string text;
    ASSERT_TRUE(ElementText(ChildElement(root, "p:a"), text));
    EXPECT_EQ(text, "1");
    ASSERT_TRUE(ElementText(ChildElement(root, "a"), text));
    EXPECT_EQ(text, "1");
    ASSERT_TRUE(ElementText(ChildElement(root, "b"), text));
    EXPECT_EQ(text, "2");
    ASSERT_TRUE(ElementText(ChildElement(root, "B"), text));
    EXPECT_EQ(text, "3");
    EXPECT_EQ(ChildElement(root, "q:a"), nullptr);
    EXPECT_EQ(ChildElement(root, "c"), nullptr);
    ASSERT_TRUE(ElementText(children[3], text));
    EXPECT_EQ(text, "4");
}

TEST(Xml, ElementTextOfSimpleAndComplexElements) {
    struct Case {
        const char* element;
        bool ok;
        const char* text;
    };
    const Case cases[] = {
        {"<t>plain</t>", true, "plain"},
        {"<t><![CDATA[<b>x</b> & y]]></t>", true, "<b>x</b> & y"},
        {"<t>a &amp; b &#x624B;</t>", true, "a & b 手"},
        {"<t/>", true, ""},
        {"<t></t>", true, ""},
        {"<t>  </t>", true, "  "},  // a whitespace-only element keeps its whitespace
        {"<t><i>x</i></t>", false, ""},
        {"<t>a<i/>b</t>", false, ""},
        {"<t><!-- c --></t>", false, ""},
        {"<t>a<!-- c -->b</t>", false, ""},
        {"<t><![CDATA[a]]>b</t>", false, ""},
    };
    for (const Case& c : cases) {
        XmlDocument doc;
        ASSERT_TRUE(doc.Parse(std::string("<r>") + c.element + "</r>")) << c.element;
        std::string text;
        EXPECT_EQ(ElementText(ChildElement(doc.Root(), "t"), text), c.ok) << c.element;
        if (c.ok) {
            EXPECT_EQ(text, c.text) << c.element;
        }
    }
    std::string text = "stale";
    EXPECT_TRUE(ElementText(nullptr, text));
    EXPECT_EQ(text, "");
}
