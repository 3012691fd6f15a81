#pragma once
#include "text/TextFile.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class XmlNodeVector;

// A configuration element: either an XmlNodeVector with children or an
// XmlNodeValue with one text. The kind is told by a downcast.
class XmlNode {
public:
    explicit XmlNode(const std::wstring& name);
    XmlNode(const XmlNode&) = delete;
    XmlNode& operator=(const XmlNode&) = delete;
    virtual ~XmlNode();

    std::wstring getName() const;

protected:
    // Appends this node to the parent's children and records the parent.
    void attachTo(XmlNodeVector* parent);

private:
    friend class XmlNodeVector;
    // UTF-8: short names, the most of them, then take no memory of their own.
    const std::string name_;
    XmlNodeVector* parent_ = nullptr;
};

class XmlNodeVector : public XmlNode {
public:
    XmlNodeVector(const std::wstring& name, XmlNodeVector* parent);
    // Destroys every child; deep trees are torn down without deep recursion.
    ~XmlNodeVector() override;

    void addChild(XmlNode* node) { children_.push_back(node); }
    // Removes the first entry equal to the node; does not destroy it.
    void removeChild(XmlNode* node);
    std::vector<XmlNode*> getChildren() const { return children_; }
    // The first child with this name when it is an element; null when it is a value or absent.
    XmlNodeVector* findChild(const std::wstring& name) const;

private:
    std::vector<XmlNode*> children_;
};

class XmlNodeValue : public XmlNode {
public:
    XmlNodeValue(const std::wstring& name, XmlNodeVector* parent);

    std::wstring getText() const { return source_ ? decodeText(text_, source_->encoding) : std::wstring(); }
    // For texts too long to widen whole: whether there are more than `count`
    // characters, the first `count` of them, and the whole text in pieces.
    bool textLongerThan(std::size_t count) const { return leadingText(count).size() < text_.size(); }
    std::wstring textStart(std::size_t count) const {
        return source_ ? decodeText(leadingText(count), source_->encoding) : std::wstring();
    }
    void textInPieces(const std::function<void(std::wstring_view piece)>& take) const {
        if (source_) decodeTextInPieces(text_, source_->encoding, take);
    }
    void setText(const std::wstring& text);
    // The text as a part of the configuration text it was read from, shared
    // with the other values instead of copied: a configuration costs memory once.
    void setText(std::shared_ptr<const ConfigurationText> source, std::string_view text);

private:
    std::string_view leadingText(std::size_t count) const {
        return source_ ? leadingCharacters(text_, source_->encoding, count) : text_;
    }

    std::shared_ptr<const ConfigurationText> source_;
    std::string_view text_;
};
