#pragma once
#include "config/ParseObserver.h"
#include "config/XmlNode.h"
#include "text/TextFile.h"

#include <memory>
#include <string>

// Turns the configuration text into its tree. Start tags are "<", one
// character other than "/", then letters only, then ">"; the matching end tag
// is the first "</name>" after the start tag within the enclosing element.
// Repeated root and category elements under one parent merge into the first.
class XmlParser {
public:
    // The last top-level element that holds elements, or null when there is none
    // or a top-level start tag has no end tag. An observer hears what is built
    // and what is left out, with positions in `text`.
    // The text is taken over: comments are removed in place and the values keep
    // their pieces of it, so a configuration is held in memory once.
    std::unique_ptr<XmlNodeVector> parse(ConfigurationText text, ParseObserver* observer = nullptr) const;

    static std::string removeComments(std::string text);
};
