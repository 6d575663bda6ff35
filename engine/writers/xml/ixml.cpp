#include "engine/writers/xml/ixml.h"

#include "engine/layout/strutil.h"

namespace Tolvik {

namespace {

// Escapes the characters that would end or break a quoted attribute value.
std::string EscapeAttribute(const std::string& value)
{
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c; break;
        }
    }
    return out;
}

} // namespace

// --- IXMLAttribute ----------------------------------------------------------

int IXMLAttribute::setBoolValue(const bool& value)
{
    return setStrValue(std::string(value ? "true" : "false"));
}

int IXMLAttribute::setIntValue(const int& value)
{
    return setStrValue(int2str(value));
}

bool IXMLAttribute::getBoolValue()
{
    return getStrValue() == "true";
}

int IXMLAttribute::getIntValue()
{
    return str2int(getStrValue().c_str());
}

std::string IXMLAttribute::enCode()
{
    return getName() + "=\"" + EscapeAttribute(getStrValue()) + "\"";
}

// --- IXMLElement ------------------------------------------------------------

int IXMLElement::setBoolValue(const bool& value)
{
    return setStrValue(std::string(value ? "true" : "false"), false);
}

int IXMLElement::setIntValue(const int& value)
{
    return setStrValue(int2str(value), false);
}

IXMLElement* IXMLElement::appendChildElement(const std::string& name, const std::string& value,
                                             bool cdata)
{
    IXMLElement* child = appendChildElement(name);
    if (child)
        child->setStrValue(value, cdata);
    return child;
}

IXMLElement* IXMLElement::addChildElement(const std::string& name, const std::string& value,
                                          bool cdata)
{
    IXMLElement* child = addChildElement(name);
    if (child)
        child->setStrValue(value, cdata);
    return child;
}

bool IXMLElement::getBoolValue()
{
    const std::string value = getStrValue();
    if (value == "true")
        return true;
    if (value == "false")
        return false;
    throw IXMLException();
}

int IXMLElement::getIntValue()
{
    return str2int(getStrValue().c_str());
}

std::string IXMLElement::getChildStrValue(const std::string& child)
{
    IXMLElement* element = getChildElement(child);
    if (!element)
        throw IXMLException();
    return element->getStrValue();
}

bool IXMLElement::getChildBoolValue(const std::string& child)
{
    IXMLElement* element = getChildElement(child);
    if (!element)
        throw IXMLException();
    return element->getBoolValue();
}

int IXMLElement::getChildIntValue(const std::string& child)
{
    IXMLElement* element = getChildElement(child);
    if (!element)
        throw IXMLException();
    return element->getIntValue();
}

IXMLAttribute* IXMLElement::getChildAttribute(const std::string& child, const std::string& attr)
{
    IXMLElement* element = getChildElement(child);
    return element ? element->getAttribute(attr) : nullptr;
}

std::string IXMLElement::getChildAttrStrValue(const std::string& child, const std::string& attr)
{
    IXMLAttribute* attribute = getChildAttribute(child, attr);
    if (!attribute)
        throw IXMLException();
    return attribute->getStrValue();
}

bool IXMLElement::getChildAttrBoolValue(const std::string& child, const std::string& attr)
{
    IXMLAttribute* attribute = getChildAttribute(child, attr);
    if (!attribute)
        throw IXMLException();
    return attribute->getBoolValue();
}

int IXMLElement::getChildAttrIntValue(const std::string& child, const std::string& attr)
{
    IXMLAttribute* attribute = getChildAttribute(child, attr);
    if (!attribute)
        throw IXMLException();
    return attribute->getIntValue();
}

} // namespace Tolvik
