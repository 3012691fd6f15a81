#include "config/XmlNode.h"

#include "text/Utf8.h"

#include <algorithm>

XmlNode::XmlNode(const std::wstring& name) : name_(text::wideToUtf8(name)) {}

std::wstring XmlNode::getName() const { return text::utf8ToWide(name_); }

XmlNode::~XmlNode() {
    if (parent_) parent_->removeChild(this);
}

void XmlNode::attachTo(XmlNodeVector* parent) {
    parent_ = parent;
    if (parent_) parent_->addChild(this);
}

XmlNodeVector::XmlNodeVector(const std::wstring& name, XmlNodeVector* parent) : XmlNode(name) {
    attachTo(parent);
}

XmlNodeVector::~XmlNodeVector() {
    // Children are detached before they are destroyed, so no child walks back
    // into a list that is being torn down; nested elements hand their own
    // children to this loop instead of recursing.
    std::vector<XmlNode*> pending;
    pending.swap(children_);
    while (!pending.empty()) {
        XmlNode* node = pending.back();
        pending.pop_back();
        node->parent_ = nullptr;
        if (auto* element = dynamic_cast<XmlNodeVector*>(node)) {
            pending.insert(pending.end(), element->children_.begin(), element->children_.end());
            element->children_.clear();
        }
        delete node;
    }
}

void XmlNodeVector::removeChild(XmlNode* node) {
    const auto found = std::find(children_.begin(), children_.end(), node);
    if (found != children_.end()) children_.erase(found);
}

XmlNodeVector* XmlNodeVector::findChild(const std::wstring& name) const {
    const std::string wanted = text::wideToUtf8(name);
    for (XmlNode* child : children_) {
        if (child->name_ == wanted) return dynamic_cast<XmlNodeVector*>(child);
    }
    return nullptr;
}

XmlNodeValue::XmlNodeValue(const std::wstring& name, XmlNodeVector* parent) : XmlNode(name) {
    attachTo(parent);
}

void XmlNodeValue::setText(const std::wstring& text) {
    auto source = std::make_shared<const ConfigurationText>(ConfigurationText{text::wideToUtf8(text), TextEncoding::utf8});
    setText(source, source->bytes);
}

void XmlNodeValue::setText(std::shared_ptr<const ConfigurationText> source, std::string_view text) {
    source_ = std::move(source);
    text_ = text;
}
