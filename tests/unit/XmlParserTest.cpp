#include "config/XmlParser.h"

#include "config/CommandTable.h"
#include "fakes/Configurations.h"

#include <gtest/gtest.h>

#include <random>
#include <regex>

namespace {

// The tree as one line: elements as name{children}, values as name="text".
std::wstring dump(const XmlNode* node) {
    if (!node) return L"(null)";
    if (const auto* value = dynamic_cast<const XmlNodeValue*>(node)) {
        return node->getName() + L"=\"" + value->getText() + L"\"";
    }
    std::wstring text = node->getName() + L"{";
    for (const XmlNode* child : static_cast<const XmlNodeVector*>(node)->getChildren()) text += dump(child) + L";";
    return text + L"}";
}

std::wstring parsed(const std::wstring& text) { return dump(XmlParser().parse(configurationOf(text)).get()); }

// The parse as plainly described: erase the front, search again with the regular expression.
XmlNodeVector* literalParse(std::wstring text, XmlNodeVector* parent,
                            std::vector<std::unique_ptr<XmlNodeVector>>& topLevel) {
    for (std::size_t b; (b = text.find(L"<!--")) != std::wstring::npos;) {
        const std::size_t e = text.find(L"-->", b);
        text.erase(b, e == std::wstring::npos ? std::wstring::npos : e + 3 - b);
    }
    const std::wregex pattern(L"(<)([^/][[:alpha:]]+)(>)");
    const CommandTable commands;
    XmlNodeVector* result = nullptr;
    std::wsmatch match;
    while (std::regex_search(text, match, pattern)) {
        const std::wstring tag = match.str(0);
        const std::wstring name = tag.substr(1, tag.size() - 2);
        const std::wstring rest = match.suffix().str();
        const std::wstring endTag = L"</" + name + L">";
        const std::size_t end = rest.find(endTag);
        if (end == std::wstring::npos) return nullptr;
        const std::wstring content = rest.substr(0, end);
        if (std::regex_search(content, pattern)) {
            XmlNodeVector* node = parent && commands.isGroupingName(name) ? parent->findChild(name) : nullptr;
            if (!node) node = new XmlNodeVector(name, parent);
            if (!parent) topLevel.emplace_back(node);
            literalParse(content, node, topLevel);
            result = node;
        } else if (parent) {
            (new XmlNodeValue(name, parent))->setText(content);
        }
        text.erase(0, static_cast<std::size_t>(match.prefix().length()) + tag.size() + content.size() + endTag.size());
    }
    return result;
}

std::wstring literallyParsed(const std::wstring& text) {
    std::vector<std::unique_ptr<XmlNodeVector>> topLevel;
    return dump(literalParse(text, nullptr, topLevel));
}

}  // namespace

TEST(XmlParser, BuildsTheRequestTree) {
    EXPECT_EQ(parsed(L"<?xml version=\"1.0\"?>\n<config>\n <Registry><getKey>HKEY_LOCAL_MACHINE\\SOFTWARE\\X</getKey>"
                     L"</Registry>\n</config>\n"),
              L"config{Registry{getKey=\"HKEY_LOCAL_MACHINE\\SOFTWARE\\X\";};}");
    EXPECT_EQ(parsed(L"<config><File><getFile> C:\\a.txt \n</getFile><getFile>&amp;</getFile></File></config>"),
              L"config{File{getFile=\" C:\\a.txt \n\";getFile=\"&amp;\";};}");
}

TEST(XmlParser, MergesRepeatedCategoriesIntoTheFirst) {
    EXPECT_EQ(parsed(L"<config><Registry><getKey>A</getKey></Registry><File><getFile>F</getFile></File>"
                     L"<Registry><getValue>B</getValue></Registry><aa><getKey>C</getKey></aa>"
                     L"<aa><getKey>D</getKey></aa></config>"),
              L"config{Registry{getKey=\"A\";getValue=\"B\";};File{getFile=\"F\";};aa{getKey=\"C\";};"
              L"aa{getKey=\"D\";};}");
    // A value that comes first takes the name: later groups of that name merge into nothing.
    EXPECT_EQ(parsed(L"<config><File>v</File><File><getFile>A</getFile></File><File><getFile>B</getFile></File>"
                     L"</config>"),
              L"config{File=\"v\";File{getFile=\"A\";};File{getFile=\"B\";};}");
}

TEST(XmlParser, TagsAreLetterNamesOfTwoCharactersOrMore) {
    EXPECT_EQ(parsed(L"<config><System><getUser/><getUser></getUser><getFile2>x</getFile2><a>y</a>"
                     L"<1abc>z</1abc></System></config>"),
              L"config{System{getUser=\"\";1abc=\"z\";};}");
    // Latin-1 letters count as letters, as the classic classification has them.
    EXPECT_EQ(parsed(L"<config><Gr\u00FC\u00DFe><x\u00E9>1</x\u00E9></Gr\u00FC\u00DFe></config>"),
              L"config{Gr\u00FC\u00DFe{x\u00E9=\"1\";};}");
}

TEST(XmlParser, RootIsTheLastTopLevelElementWithChildren) {
    EXPECT_EQ(parsed(L"<config version=\"1\"><Registry><getKey>A</getKey></Registry>"
                     L"<File><getFile>B</getFile></File></config>"),
              L"File{getFile=\"B\";}");
    EXPECT_EQ(parsed(L"<getKey>X</getKey>"), L"(null)");
    EXPECT_EQ(parsed(L""), L"(null)");
    EXPECT_EQ(parsed(L"\u00EF\u00BB\u00BF<config><File><getFile>a</getFile></File></config>"),
              L"config{File{getFile=\"a\";};}");
}

TEST(XmlParser, MissingEndTagsCutTheirLevel) {
    EXPECT_EQ(parsed(L"<config><Registry><getKey>A</getKey></Registry>"), L"(null)");
    EXPECT_EQ(parsed(L"<config><File><getFile>a</getFile><getFile>b</File><Service><xy>1</xy></Service></config>"),
              L"config{File{getFile=\"a\";};Service{xy=\"1\";};}");
    EXPECT_EQ(parsed(L"<config><Registry><Registry><getKey>X</getKey></Registry></Registry></config>"),
              L"config{Registry{};}");
}

TEST(XmlParser, CommentsAreRemovedFirst) {
    EXPECT_EQ(parsed(L"<config><File><getFile>A<!-- note -->B</getFile><!-- <getFile>C</getFile> --></File>"
                     L"</config>"),
              L"config{File{getFile=\"AB\";};}");
    EXPECT_EQ(parsed(L"<config><File><getFile>A<!-- cut</getFile></File></config>"), L"(null)");
    EXPECT_EQ(XmlParser::removeComments("a<!-->b<!--->c<!<!--x-->--y-->d"), "abcd");
}

TEST(XmlParser, AgreesWithTheLiteralParseOnRandomTexts) {
    const std::vector<std::wstring> pieces = {
        L"<config>", L"</config>", L"<Registry>", L"</Registry>", L"<File>", L"</File>", L"<ab>", L"</ab>",
        L"<getKey>", L"</getKey>", L"<<ab>", L"</<ab>", L"<!--", L"-->", L"<", L">", L"/", L"-", L"!",
        L"x", L" ", L"\n", L"<a>", L"</a>", L"<1b>", L"</1b>", L"<ab/>", L"<>ab>", L"</>ab>"};
    std::mt19937 random(20261207);
    for (int round = 0; round < 20000; ++round) {
        std::wstring text;
        const int count = static_cast<int>(random() % 40);
        for (int i = 0; i < count; ++i) text += pieces[random() % pieces.size()];
        ASSERT_EQ(parsed(text), literallyParsed(text)) << "text: " << std::string(text.begin(), text.end());
    }
}

TEST(XmlParser, DeepNestingNeitherCrashesNorStalls) {
    const int depth = 100000;
    std::vector<std::wstring> names;
    for (int level = 0; level < depth; ++level) {
        std::wstring name = L"n";
        for (int rest = level; rest > 0 || name.size() < 2; rest /= 26) name += static_cast<wchar_t>(L'a' + rest % 26);
        names.push_back(name);
    }
    std::wstring text;
    for (const auto& name : names) text += L"<" + name + L">";
    text += L"<getKey>deep</getKey>";
    for (auto name = names.rbegin(); name != names.rend(); ++name) text += L"</" + *name + L">";
    const auto root = XmlParser().parse(configurationOf(text));
    ASSERT_TRUE(root);
    const XmlNode* node = root.get();
    int levels = 0;
    while (const auto* element = dynamic_cast<const XmlNodeVector*>(node)) {
        node = element->getChildren().front();
        ++levels;
    }
    EXPECT_EQ(levels, depth);
    EXPECT_EQ(static_cast<const XmlNodeValue*>(node)->getText(), L"deep");
}
