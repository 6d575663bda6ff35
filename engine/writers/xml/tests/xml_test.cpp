#include "engine/layout/jobrecords.h"
#include "engine/layout/utf8.h"
#include "engine/writers/xml/xercesxml.h"

#include "tests/support/testutil.h"

#include <gtest/gtest.h>

#include <clocale>
#include <functional>

namespace {

namespace fs = std::filesystem;
using testutil::Quote;
using testutil::ReadFile;
using testutil::TempDir;
using testutil::WriteFile;
using Tolvik::IXMLAttribute;
using Tolvik::IXMLDocument;
using Tolvik::IXMLElement;
using Tolvik::IXMLException;

// Every test runs under the C locale, with the XML layer brought up and torn
// down around it the way the engine does per job item.
class XmlLayer : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::setlocale(LC_ALL, "C");
        RezovirorInitialize();
    }
    void TearDown() override { RezovirorRelease(); }

    static XercesXMLFactory& Factory() { return XercesXMLFactory::getSingleton(); }

    IXMLDocument* Decode(const std::string& path) { return Factory().DecodeDocumentFromFile(path); }
    IXMLDocument* DecodeText(const std::string& text, const std::string& name = "doc.xml")
    {
        WriteFile(dir.path() / name, text);
        return Decode(dir.str() + name);
    }
    // Runs xmllint on a file; true when it is well-formed.
    static bool WellFormed(const std::string& path)
    {
        int status = -1;
        testutil::Run("xmllint --noout --nonet " + Quote(path) + " 2>&1", &status);
        return status == 0;
    }

    TempDir dir;
};

// --- the edge cases of the element and attribute operations ---------------------

struct ElementCase {
    const char* name;
    std::function<void(IXMLElement* root)> check;
};

const ElementCase kElementCases[] = {
    {"dotted paths create new elements and find the first",
     [](IXMLElement* root) {
         IXMLElement* c = root->addChildElement("a.b.c");
         ASSERT_NE(c, nullptr);
         EXPECT_EQ(c->getName(), "c");
         EXPECT_EQ(root->getChildElement("a.b.c"), c);
         EXPECT_EQ(root->getChildElement(""), root);
         EXPECT_EQ(root->getChildElement("a."), root->getChildElement("a"));
         EXPECT_EQ(root->getChildElement("a.b"), root->getFirstChild()->getFirstChild());
         EXPECT_EQ(root->getChildElement("a.x"), nullptr);
         EXPECT_EQ(root->getChildElement(".a"), nullptr);
         // The same path again makes a second a rather than reusing the first.
         IXMLElement* second = root->addChildElement("a.b", "v", false);
         ASSERT_NE(second, nullptr);
         EXPECT_EQ(root->getChildElementsByName("a").size(), 2u);
         EXPECT_EQ(root->getChildElement("a.b.c"), c);
         EXPECT_EQ(second->getStrValue(), "v");
         EXPECT_EQ(root->enCode(), "<r><a><b><c></c></b></a><a><b>v</b></a></r>");
     }},
    {"CDATA on an empty element and on an element holding text",
     [](IXMLElement* root) {
         IXMLElement* e = root->appendChildElement("e");
         e->setStrValue(std::string("x<y"), true);
         EXPECT_EQ(e->getStrValue(), "");
         EXPECT_EQ(e->enCode(), "<e><![CDATA[x<y]]></e>");
         IXMLElement* t = root->appendChildElement("t", "old", false);
         t->setStrValue(std::string("new"), true);
         EXPECT_EQ(t->getStrValue(), "new");
         EXPECT_EQ(t->enCode(), "<t>new</t>");
         // "]]>" cannot end up inside one section.
         IXMLElement* s = root->appendChildElement("s");
         s->setStrValue(std::string("a]]>b"), true);
         EXPECT_EQ(s->enCode(), "<s>a]]<![CDATA[>b]]></s>");
     }},
    {"an attribute added twice keeps the second value in the document",
     [](IXMLElement* root) {
         IXMLAttribute* first = root->addAttribute("id", "1", "UTF-8");
         ASSERT_NE(first, nullptr);
         ASSERT_NE(root->addAttribute("id", "2", "UTF-8"), nullptr);
         EXPECT_EQ(root->getAttribute("id"), first);
         EXPECT_EQ(root->getAttribute("id")->getStrValue(), "1");
         EXPECT_EQ(root->enCode(), "<r id=\"2\"></r>");
     }},
    {"enCode writes child elements first, then the text",
     [](IXMLElement* root) {
         IXMLElement* p = root->appendChildElement("p");
         p->addAttribute("id", "1", "UTF-8");
         p->setStrValue(std::string("x & y"), false);
         p->appendChildElement("b");
         EXPECT_EQ(p->enCode(), "<p id=\"1\"><b></b><![CDATA[x & y]]></p>");
         IXMLElement* q = root->appendChildElement("q", "plain", false);
         q->addAttribute("t", "a\"b<c", "UTF-8");
         EXPECT_EQ(q->enCode(), "<q t=\"a&quot;b&lt;c\">plain</q>");
     }},
    {"bool and int getters on bad text",
     [](IXMLElement* root) {
         IXMLElement* e = root->appendChildElement("flag", "yes", false);
         EXPECT_THROW(e->getBoolValue(), IXMLException);
         IXMLAttribute* a = e->addAttribute("on", "yes", "UTF-8");
         EXPECT_FALSE(a->getBoolValue());
         a->setBoolValue(true);
         EXPECT_TRUE(a->getBoolValue());
         IXMLElement* n = root->appendChildElement("n", "12abc", false);
         EXPECT_EQ(n->getIntValue(), 12);
         EXPECT_EQ(root->appendChildElement("m", "abc", false)->getIntValue(), 0);
         EXPECT_EQ(root->appendChildElement("big", "99999999999", false)->getIntValue(), INT_MAX);
         EXPECT_EQ(n->addAttribute("k", " 7x", "UTF-8")->getIntValue(), 7);
         IXMLElement* t = root->appendChildElement("t");
         t->setBoolValue(false);
         EXPECT_FALSE(t->getBoolValue());
         t->setIntValue(-5);   // replaces the text
         EXPECT_EQ(t->getStrValue(), "-5");
         EXPECT_TRUE(root->appendChildElement("yes", "true", false) != nullptr);
         EXPECT_TRUE(root->getChildBoolValue("yes"));
         EXPECT_EQ(root->getChildIntValue("n"), 12);
         EXPECT_EQ(root->getChildStrValue("flag"), "yes");
         EXPECT_THROW(root->getChildStrValue("missing"), IXMLException);
         EXPECT_THROW(root->getChildBoolValue("flag"), IXMLException);
     }},
    {"child attribute getters read the child, not the element",
     [](IXMLElement* root) {
         root->addAttribute("v", "root", "UTF-8");
         IXMLElement* c = root->appendChildElement("c");
         c->addAttribute("v", "child", "UTF-8");
         c->addAttribute("n", "42", "UTF-8");
         c->addAttribute("b", "true", "UTF-8");
         root->appendChildElement("c")->addAttribute("v", "second", "UTF-8");
         EXPECT_EQ(root->getChildAttrStrValue("c", "v"), "child");
         EXPECT_EQ(root->getChildAttrIntValue("c", "n"), 42);
         EXPECT_TRUE(root->getChildAttrBoolValue("c", "b"));
         EXPECT_EQ(root->getChildAttribute("c", "none"), nullptr);
         EXPECT_EQ(root->getChildAttribute("none", "v"), nullptr);
         EXPECT_THROW(root->getChildAttrStrValue("c", "none"), IXMLException);
         EXPECT_THROW(root->getChildAttrStrValue("none", "v"), IXMLException);
     }},
    {"appended elements have no sibling link",
     [](IXMLElement* root) {
         IXMLElement* first = root->appendChildElement("x");
         root->appendChildElement("y");
         EXPECT_EQ(first->getFirstSibling(), nullptr);
         EXPECT_EQ(root->getAllChildElements().size(), 2u);
     }},
    {"names that are not XML names give null; text falls back to plain text",
     [](IXMLElement* root) {
         EXPECT_EQ(root->appendChildElement("1bad"), nullptr);
         EXPECT_EQ(root->appendChildElement(""), nullptr);
         EXPECT_EQ(root->addChildElement("a..b"), nullptr);
         EXPECT_EQ(root->addAttribute("a b", "v", "UTF-8"), nullptr);
         EXPECT_EQ(root->addAttribute(std::wstring(L"<"), std::wstring(L"v")), nullptr);
         EXPECT_EQ(root->appendChildElement("bad name", "v", false), nullptr);
         EXPECT_EQ(root->getAllChildElements().size(), 1u);   // the "a" of "a..b"
     }},
};

TEST_F(XmlLayer, ElementEdgeCases)
{
    for (const ElementCase& c : kElementCases) {
        SCOPED_TRACE(c.name);
        IXMLDocument* doc = Factory().CreateDocument("r");
        ASSERT_NE(doc, nullptr);
        ASSERT_NE(doc->getRootElement(), nullptr);
        c.check(doc->getRootElement());
    }
}

TEST_F(XmlLayer, RepeatedAttributeIsSavedWithTheSecondValue)
{
    IXMLDocument* doc = Factory().CreateDocument("r");
    doc->getRootElement()->addAttribute("id", "1", "UTF-8");
    doc->getRootElement()->addAttribute("id", "2", "UTF-8");
    const std::string path = dir.str() + "attr.xml";
    ASSERT_EQ(doc->saveToFile(path), 0);
    EXPECT_EQ(testutil::Run("xmllint --xpath 'string(/r/@id)' " + Quote(path)), "2\n");
}

TEST_F(XmlLayer, ParsedTreeIsWrappedWholeAndWalkedBySiblings)
{
    IXMLDocument* doc = DecodeText(
        "<?xml version=\"1.0\"?>\n<!-- c -->\n<package a=\"1\" b=\"2\">\n"
        "  <metadata><dc:title>T</dc:title><?pi x?></metadata>\n"
        "  <manifest/>\n  text\n  <spine><itemref/></spine>\n</package>\n");
    IXMLElement* root = doc->getRootElement();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->getName(), "package");
    EXPECT_EQ(root->getAttribute("b")->getStrValue(), "2");
    std::vector<std::string> names;
    for (IXMLElement* e = root->getFirstChild(); e; e = e->getFirstSibling())
        names.push_back(e->getName());
    EXPECT_EQ(names, (std::vector<std::string>{"metadata", "manifest", "spine"}));
    EXPECT_EQ(root->getChildStrValue("metadata.dc:title"), "T");
    EXPECT_EQ(root->getChildElement("spine.itemref")->getName(), "itemref");
    // Elements added after parsing are found by the lookups too.
    root->addChildElement("spine2.itemref", "n", false);
    EXPECT_EQ(root->getChildStrValue("spine2.itemref"), "n");
}

TEST_F(XmlLayer, CreatedDocumentSavesAsAnEmptyRoot)
{
    IXMLDocument* doc = Factory().CreateDocument("package");
    const std::string path = dir.str() + "p.xml";
    ASSERT_EQ(doc->saveToFile(path), 0);
    EXPECT_TRUE(WellFormed(path));
    const std::string text = ReadFile(path);
    EXPECT_NE(text.find("encoding=\"UTF-8\""), std::string::npos);
    EXPECT_NE(text.find("<package/>"), std::string::npos) << text;
    // A name that does not make a document gives one without tree.
    testing::internal::CaptureStderr();
    IXMLDocument* bad = Factory().CreateDocument("a b");
    testing::internal::GetCapturedStderr();
    ASSERT_NE(bad, nullptr);
    EXPECT_EQ(bad->getRootElement(), nullptr);
    EXPECT_EQ(bad->saveToFile(dir.str() + "bad.xml"), 1);
    EXPECT_FALSE(fs::exists(dir.path() / "bad.xml"));
}

// Text with markup characters, non-ASCII letters, a character beyond the
// 16-bit range and a control character goes through set, save, xmllint and
// a fresh parse; the control character, which XML 1.0 cannot hold, is
// dropped, everything else comes back as it was.
TEST_F(XmlLayer, SpecialTextRoundTripsThroughAFile)
{
    const std::string text = "Grüße <&>\"' 文 😀\x01 end\ttab\nline";
    const std::string kept = "Grüße <&>\"' 文 😀 end\ttab\nline";
    const std::wstring wide = utf8::ToWide(text);
    const std::string longText(40000, 'x');

    IXMLDocument* doc = Factory().CreateDocument("root");
    IXMLElement* root = doc->getRootElement();
    root->appendChildElement("plain", text, false);
    root->appendChildElement("cdata", text, true);
    root->appendChildElement("wide")->setStrValue(wide, false);
    root->appendChildElement("long", longText, false);
    root->addAttribute("narrow", text, "UTF-8");
    root->addAttribute(std::wstring(L"wide"), wide);
    root->appendChildElement("a")->addAttribute("v", "x", "UTF-8")->setStrValue(wide);
    root->appendChildElement(utf8::FromWide(L"\u00e9l\u00e9ment"), "named", false);
    EXPECT_EQ(root->getChildStrValue("plain"), kept);

    const std::string path = dir.str() + "Grüße 文.xml";
    ASSERT_EQ(doc->saveToFile(utf8::ToWide(path)), 0);
    ASSERT_TRUE(WellFormed(path)) << ReadFile(path);

    IXMLDocument* back = Decode(path);
    IXMLElement* r = back->getRootElement();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->getChildStrValue("plain"), kept);
    EXPECT_EQ(r->getChildStrValue("wide"), kept);
    EXPECT_EQ(r->getChildStrValue("long"), longText);
    EXPECT_EQ(r->getAttribute("narrow")->getStrValue(), kept);
    EXPECT_EQ(r->getAttribute("wide")->getStrValue(), kept);
    EXPECT_EQ(r->getChildAttrStrValue("a", "v"), kept);
    EXPECT_EQ(r->getChildStrValue(utf8::FromWide(L"\u00e9l\u00e9ment")), "named");
    // The CDATA section is parsed back as text (it is the element's only
    // child, and Xerces reports it as a CDATA node), so read it from enCode.
    EXPECT_NE(r->getChildElement("cdata")->enCode().find(kept), std::string::npos);

    // The same document reached through the wide path.
    IXMLDocument* wideBack = Factory().DecodeDocumentFromFile(utf8::ToWide(path));
    ASSERT_NE(wideBack->getRootElement(), nullptr);
    EXPECT_EQ(wideBack->getRootElement()->getChildStrValue("plain"), kept);
}

TEST_F(XmlLayer, InvalidUtf8LosesOnlyTheBadBytes)
{
    IXMLDocument* doc = Factory().CreateDocument("r");
    IXMLElement* e = doc->getRootElement()->appendChildElement("e", "ab\xff\xfe" "cd", false);
    EXPECT_EQ(e->getStrValue(), "ab\xEF\xBF\xBD\xEF\xBF\xBD" "cd");
}

// Text escaped without the DOM parses back, as element text and as an
// attribute value, to what the DOM keeps of the same text.
TEST_F(XmlLayer, EscapedTextParsesBackAsTheDomKeepsIt)
{
    struct Case {
        const char* text;
        const char* kept;
    };
    const Case cases[] = {
        {"plain ascii", "plain ascii"},
        {"<&>\"' a]]>b", "<&>\"' a]]>b"},
        {"tab\tline\nreturn\r end ", "tab\tline\nreturn\r end "},
        {"ctl\x01\x1f gone", "ctl gone"},
        {"Gr\xc3\xbc\xc3\x9f\xc3\xa9 \xe6\x96\x87 \xf0\x9f\x98\x80 & <", "Gr\xc3\xbc\xc3\x9f\xc3\xa9 \xe6\x96\x87 \xf0\x9f\x98\x80 & <"},
        {"ab\xff\xfe" "cd<", "ab\xEF\xBF\xBD\xEF\xBF\xBD" "cd<"},
        {"noncharacter \xef\xbf\xbe.", "noncharacter ."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::string xml = "<r a=\"";
        AppendXmlEscaped(xml, c.text);
        xml += "\">";
        AppendXmlEscaped(xml, c.text);
        xml += "</r>";
        const std::string path = dir.str() + "escaped.xml";
        WriteFile(path, xml);
        IXMLDocument* back = Decode(path);
        ASSERT_NE(back, nullptr);
        IXMLElement* r = back->getRootElement();
        ASSERT_NE(r, nullptr) << xml;
        EXPECT_EQ(r->getStrValue(), c.kept);
        EXPECT_EQ(r->getAttribute("a")->getStrValue(), c.kept);
    }
}

// Files that must not give a tree: each fails with a message and no tree,
// without touching the network or any other file.
TEST_F(XmlLayer, BadInputGivesACleanError)
{
    WriteFile(dir.path() / "secret.txt", "SECRET");
    WriteFile(dir.path() / "local.dtd", "<!ENTITY e \"FROM-DTD\">");
    struct Case {
        const char* name;
        std::string text;
    };
    std::string laughs = "<!DOCTYPE a [<!ENTITY l0 \"ha\">";
    for (int i = 1; i < 12; ++i) {
        laughs += "<!ENTITY l" + std::to_string(i) + " \"";
        for (int k = 0; k < 10; ++k)
            laughs += "&l" + std::to_string(i - 1) + ";";
        laughs += "\">";
    }
    laughs += "]><a>&l11;</a>";
    const Case cases[] = {
        {"unclosed tag", "<a><b></a>"},
        {"not XML", "just text"},
        {"empty file", ""},
        {"DTD at an unreachable URL", "<!DOCTYPE a SYSTEM \"http://10.255.255.1/none.dtd\"><a/>"},
        {"DTD in a local file", "<!DOCTYPE a SYSTEM \"local.dtd\"><a>&e;</a>"},
        {"external entity", "<!DOCTYPE a [<!ENTITY s SYSTEM \"secret.txt\">]><a>&s;</a>"},
        {"external parameter entity",
         "<!DOCTYPE a [<!ENTITY % p SYSTEM \"local.dtd\"> %p;]><a>&e;</a>"},
        {"entity expansion bomb", laughs},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testing::internal::CaptureStderr();
        IXMLDocument* doc = DecodeText(c.text);
        const std::string err = testing::internal::GetCapturedStderr();
        ASSERT_NE(doc, nullptr);
        EXPECT_EQ(doc->getRootElement(), nullptr);
        EXPECT_NE(err.find("Error"), std::string::npos) << err;
    }

    testing::internal::CaptureStderr();
    IXMLDocument* doc = DecodeText("<a><b></a>");
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Fatal Error at file \"" + dir.str() + "doc.xml\", line 1, column"),
              std::string::npos)
        << err;

    testing::internal::CaptureStderr();
    doc = Decode(dir.str() + "missing.xml");
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(doc->getRootElement(), nullptr);

    // A good file right after a bad one parses: each parse is judged alone.
    EXPECT_NE(DecodeText("<a/>")->getRootElement(), nullptr);
    // An internal subset is fine.
    IXMLDocument* internal = DecodeText(
        "<!DOCTYPE a [<!ELEMENT a (#PCDATA)><!ENTITY e \"inner\">]><a>&e;</a>");
    ASSERT_NE(internal->getRootElement(), nullptr);
    EXPECT_EQ(internal->getRootElement()->getStrValue(), "inner");
}

TEST_F(XmlLayer, SaveReportsFailureAndKeepsTheOldFile)
{
    IXMLDocument* doc = Factory().CreateDocument("r");
    EXPECT_EQ(doc->saveToFile(dir.str() + "no/such/folder/x.xml"), 1);
    fs::create_directory(dir.path() / "folder.xml");
    EXPECT_EQ(doc->saveToFile(dir.str() + "folder.xml"), 1);
    EXPECT_EQ(doc->saveToFile(std::string()), 1);

    const std::string path = dir.str() + "kept.xml";
    WriteFile(path, "old");
    ASSERT_EQ(doc->saveToFile(path), 0);
    EXPECT_NE(ReadFile(path).find("<r/>"), std::string::npos);
    // No temporary file is left behind.
    int files = 0;
    for (const auto& e : fs::directory_iterator(dir.path()))
        files += e.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, 1);
}

TEST_F(XmlLayer, DeeplyNestedFileIsWrappedWithoutRecursion)
{
    const int depth = 100000;
    std::string text;
    for (int i = 0; i < depth; ++i)
        text += "<a>";
    for (int i = 0; i < depth; ++i)
        text += "</a>";
    IXMLDocument* doc = DecodeText(text);
    ASSERT_NE(doc->getRootElement(), nullptr);
    EXPECT_NE(doc->getRootElement()->getFirstChild(), nullptr);
}

TEST(XmlFactoryLifecycle, ReleaseDestroysTheFactoryAndUseBeforeInitializeIsSafe)
{
    std::setlocale(LC_ALL, "C");
    // Before initialize, decoding and creating give documents without tree.
    testing::internal::CaptureStderr();
    EXPECT_EQ(XercesXMLFactory::getSingleton().CreateDocument("a")->getRootElement(), nullptr);
    EXPECT_EQ(XercesXMLFactory::getSingleton().DecodeDocumentFromFile(std::string("x.xml"))
                  ->getRootElement(),
              nullptr);
    testing::internal::GetCapturedStderr();
    // Releasing a factory that was never initialised is harmless.
    RezovirorRelease();
    EXPECT_EQ(XercesXMLFactory::getSingletonPtr(), nullptr);

    for (int round = 0; round < 2; ++round) {
        RezovirorInitialize();
        RezovirorInitialize();   // a second call changes nothing
        ASSERT_NE(XercesXMLFactory::getSingletonPtr(), nullptr);
        EXPECT_NE(XercesXMLFactory::getSingleton().CreateDocument("a")->getRootElement(), nullptr);
        RezovirorRelease();
        EXPECT_EQ(XercesXMLFactory::getSingletonPtr(), nullptr);
    }
}

} // namespace
