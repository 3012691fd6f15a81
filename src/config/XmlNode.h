#pragma once
#include <string>
#include <vector>

class XmlNodeVector;

// A configuration element: either an XmlNodeVector with children or an
// XmlNodeValue with one text. The kind is told by a downcast.
class XmlNode {
public:
    explicit XmlNode(std::wstring name) : name_(std::move(name)) {}
    XmlNode(const XmlNode&) = delete;
    XmlNode& operator=(const XmlNode&) = delete;
    virtual ~XmlNode();

    std::wstring getName() const { return name_; }

protected:
    // Appends this node to the parent's children and records the parent.
    void attachTo(XmlNodeVector* parent);

private:
    friend class XmlNodeVector;
    const std::wstring name_;
    XmlNodeVector* parent_ = nullptr;
};

class XmlNodeVector : public XmlNode {
public:
    XmlNodeVector(std::wstring name, XmlNodeVector* parent);
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
    XmlNodeValue(std::wstring name, XmlNodeVector* parent);

    std::wstring getText() const { return text_; }
    const std::wstring& text() const { return text_; }
    void setText(std::wstring text) { text_ = std::move(text); }

private:
    std::wstring text_;
};
