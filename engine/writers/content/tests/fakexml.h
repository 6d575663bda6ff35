// An in-memory stand-in for the XML layer that records exactly what the
// content classes ask of it (element order, attribute order, text), so the
// tests can compare one line of markup. Element wrappers made by
// appendChildElement have no sibling link, as in the real layer; trees built
// with Parsed() do, as a decoded template has.
#pragma once

#include "engine/layout/utf8.h"
#include "engine/writers/xml/ixml.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace fakexml {

class Attribute : public Tolvik::IXMLAttribute {
public:
    Attribute(std::string n, std::string v) : name(std::move(n)), value(std::move(v)) {}
    int setStrValue(const std::wstring& v) override { value = utf8::FromWide(v); return 0; }
    int setStrValue(const std::string& v) override { value = v; return 0; }
    std::string getName() override { return name; }
    std::string getStrValue() override { return value; }

    std::string name;
    std::string value;
};

class Element : public Tolvik::IXMLElement {
public:
    explicit Element(std::string n) : name(std::move(n)) {}

    int setStrValue(const std::wstring& v, bool cdata) override
    {
        return setStrValue(utf8::FromWide(v), cdata);
    }
    int setStrValue(const std::string& v, bool) override
    {
        text = v;
        return 1;
    }
    Tolvik::IXMLAttribute* addAttribute(const std::wstring& n, const std::wstring& v) override
    {
        return addAttribute(utf8::FromWide(n), utf8::FromWide(v), "UTF-8");
    }
    Tolvik::IXMLAttribute* addAttribute(const std::string& n, const std::string& v,
                                        const std::string&) override
    {
        attributes.push_back(std::make_unique<Attribute>(n, v));
        return attributes.back().get();
    }
    Tolvik::IXMLElement* appendChildElement(const std::string& n) override
    {
        children.push_back(std::make_unique<Element>(n));
        return children.back().get();
    }
    Tolvik::IXMLElement* addChildElement(const std::string& n) override
    {
        return appendChildElement(n);
    }
    std::string getName() override { return name; }
    std::string getStrValue() override { return text; }
    Tolvik::IXMLAttribute* getAttribute(const std::string& n) override
    {
        for (auto& a : attributes) {
            if (a->name == n)
                return a.get();
        }
        return nullptr;
    }
    Tolvik::IXMLElement* getFirstChild() override
    {
        return children.empty() ? nullptr : children.front().get();
    }
    Tolvik::IXMLElement* getFirstSibling() override { return sibling; }
    std::vector<Tolvik::IXMLElement*> getAllChildElements() override
    {
        std::vector<Tolvik::IXMLElement*> out;
        for (auto& c : children)
            out.push_back(c.get());
        return out;
    }
    std::vector<Tolvik::IXMLElement*> getChildElementsByName(const std::string& n) override
    {
        std::vector<Tolvik::IXMLElement*> out;
        for (auto& c : children) {
            if (c->name == n)
                out.push_back(c.get());
        }
        return out;
    }
    Tolvik::IXMLElement* getChildElement(const std::string& n) override
    {
        for (auto& c : children) {
            if (c->name == n)
                return c.get();
        }
        return nullptr;
    }
    // <name a="v">children text</name>, nothing escaped.
    std::string enCode() override
    {
        std::string s = "<" + name;
        for (auto& a : attributes)
            s += " " + a->name + "=\"" + a->value + "\"";
        s += ">";
        for (auto& c : children)
            s += c->enCode();
        return s + text + "</" + name + ">";
    }
    // The markup of the children only.
    std::string inner()
    {
        std::string s;
        for (auto& c : children)
            s += c->enCode();
        return s;
    }

    std::string name;
    std::string text;
    std::vector<std::unique_ptr<Attribute>> attributes;
    std::vector<std::unique_ptr<Element>> children;
    Element* sibling = nullptr;
};

// Adds children as a parsed document has them: each linked to the next.
inline Element* Parsed(Element* parent, const std::string& name)
{
    parent->children.push_back(std::make_unique<Element>(name));
    Element* added = parent->children.back().get();
    if (parent->children.size() > 1)
        parent->children[parent->children.size() - 2]->sibling = added;
    return added;
}

class Document : public Tolvik::IXMLDocument {
public:
    explicit Document(const std::string& rootName) : root(std::make_unique<Element>(rootName)) {}
    Document() = default;   // no tree
    Tolvik::IXMLElement* getRootElement() override { return root.get(); }
    std::string enCode() override { return root ? root->enCode() : ""; }
    int saveToFile(std::wstring) override { return 1; }
    int saveToFile(std::string) override { return 1; }

    std::unique_ptr<Element> root;
};

} // namespace fakexml
