// The XML layer that the writers and the job-list code see: abstract
// documents, elements and attributes with UTF-8 names and values, and the
// process-wide factory that decodes and creates documents. The one
// implementation lives in xercesxml.h.
#pragma once

#include <string>
#include <vector>

namespace Tolvik {

// Thrown by value by the convenience getters below when a child, an
// attribute or a boolean text is missing or malformed.
class IXMLException {
};

class IXMLAttribute {
public:
    IXMLAttribute() = default;
    IXMLAttribute(const IXMLAttribute&) = default;
    IXMLAttribute& operator=(const IXMLAttribute&) = default;
    virtual ~IXMLAttribute() = default;

    // Sets the value (wide text, or UTF-8); returns 0.
    virtual int setStrValue(const std::wstring& value) = 0;
    virtual int setStrValue(const std::string& value) = 0;
    virtual std::string getName() = 0;
    virtual std::string getStrValue() = 0;

    // "true" or "false".
    int setBoolValue(const bool& value);
    // The decimal text of the number.
    int setIntValue(const int& value);
    // True only for the value "true".
    bool getBoolValue();
    // atoi-style reading of the value: the leading digits, 0 without any.
    int getIntValue();
    // name="value", the value escaped so that the text stays well-formed.
    std::string enCode();
};

class IXMLElement {
public:
    IXMLElement() = default;
    IXMLElement(const IXMLElement&) = default;
    IXMLElement& operator=(const IXMLElement&) = default;
    virtual ~IXMLElement() = default;

    // Replaces the element's text when its only child is a text node; else
    // appends a text node, or a CDATA section when `cdata` is set. Returns 1.
    virtual int setStrValue(const std::wstring& value, bool cdata) = 0;
    virtual int setStrValue(const std::string& value, bool cdata) = 0;
    // Sets an attribute (replacing one of the same name in the document) and
    // returns its wrapper; null when the name is not a valid XML name. The
    // narrow form takes UTF-8 and ignores `encoding`.
    virtual IXMLAttribute* addAttribute(const std::wstring& name, const std::wstring& value) = 0;
    virtual IXMLAttribute* addAttribute(const std::string& name, const std::string& value,
                                        const std::string& encoding) = 0;
    // Appends a new child element; null when the name is not valid.
    virtual IXMLElement* appendChildElement(const std::string& name) = 0;
    // As appendChildElement, but "a.b.c" makes a new a, b under it and c
    // under that, and returns c.
    virtual IXMLElement* addChildElement(const std::string& name) = 0;
    virtual std::string getName() = 0;
    // The text when the element's only child is a text node, else "".
    virtual std::string getStrValue() = 0;
    // The first attribute wrapper of that exact name, or null.
    virtual IXMLAttribute* getAttribute(const std::string& name) = 0;
    virtual IXMLElement* getFirstChild() = 0;
    // The next element sibling as it was when this wrapper was made: null
    // for an element appended by the program.
    virtual IXMLElement* getFirstSibling() = 0;
    virtual std::vector<IXMLElement*> getAllChildElements() = 0;
    virtual std::vector<IXMLElement*> getChildElementsByName(const std::string& name) = 0;
    // "" gives the element itself; "a.b" the first b under the first a.
    virtual IXMLElement* getChildElement(const std::string& name) = 0;
    // The element as XML text: child elements first, then its text.
    virtual std::string enCode() = 0;

    int setBoolValue(const bool& value);
    int setIntValue(const int& value);
    // A new child (by appendChildElement or addChildElement) with its text
    // set; null when the child could not be made.
    IXMLElement* appendChildElement(const std::string& name, const std::string& value, bool cdata);
    IXMLElement* addChildElement(const std::string& name, const std::string& value, bool cdata);
    // "true" or "false"; anything else throws IXMLException.
    bool getBoolValue();
    int getIntValue();
    // Values of the child named by a (dotted) path; throw IXMLException when
    // the child is missing.
    std::string getChildStrValue(const std::string& child);
    bool getChildBoolValue(const std::string& child);
    int getChildIntValue(const std::string& child);
    // An attribute of that child; null when either is missing.
    IXMLAttribute* getChildAttribute(const std::string& child, const std::string& attr);
    // That attribute's value; throw IXMLException when either is missing.
    std::string getChildAttrStrValue(const std::string& child, const std::string& attr);
    bool getChildAttrBoolValue(const std::string& child, const std::string& attr);
    int getChildAttrIntValue(const std::string& child, const std::string& attr);
};

class IXMLDocument {
public:
    IXMLDocument() = default;
    IXMLDocument(const IXMLDocument&) = default;
    IXMLDocument& operator=(const IXMLDocument&) = default;
    virtual ~IXMLDocument() = default;

    // Null when the document has no tree (it could not be parsed).
    virtual IXMLElement* getRootElement() = 0;
    virtual std::string enCode() = 0;
    // Writes the document as indented UTF-8 XML; 0 on success, 1 when the
    // document has no tree or the file could not be written completely (an
    // existing file is then left as it was).
    virtual int saveToFile(std::wstring path) = 0;
    virtual int saveToFile(std::string path) = 0;
};

// The process-wide factory over its implementation T. It keeps one document
// at a time: every decode or create deletes the document it held, so a
// document stays valid until the next decode or create, or until release.
// Callers never delete documents.
template <class T>
class IXMLFactory {
public:
    IXMLFactory() { m_Singleton = this; }
    IXMLFactory(const IXMLFactory&) = default;
    IXMLFactory& operator=(const IXMLFactory&) = default;
    virtual ~IXMLFactory() { m_Singleton = nullptr; }

    // Must run before any decode or create, and again after every release.
    virtual void initialize() = 0;
    // Destroys the factory (with its document) and shuts the library down;
    // the next getSingleton makes a fresh, uninitialised factory.
    virtual void release() = 0;
    // Never null; a file that cannot be read or parsed gives a document
    // without tree, and the reason goes to the standard error stream.
    virtual IXMLDocument* DecodeDocumentFromFile(const std::wstring& path) = 0;
    virtual IXMLDocument* DecodeDocumentFromFile(const std::string& path) = 0;
    // A document whose root is an empty element of that name.
    virtual IXMLDocument* CreateDocument(const std::string& rootName) = 0;

    static T& getSingleton()
    {
        if (!m_Singleton)
            new T();
        return static_cast<T&>(*m_Singleton);
    }
    static T* getSingletonPtr() { return static_cast<T*>(m_Singleton); }

protected:
    static IXMLFactory* m_Singleton;
};

template <class T>
IXMLFactory<T>* IXMLFactory<T>::m_Singleton = nullptr;

} // namespace Tolvik
