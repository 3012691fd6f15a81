#include "dispatch/Dispatcher.h"

#include "driver/TextFile.h"

#include <algorithm>
#include <vector>

namespace {

std::wstring upperAscii(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; });
    return text;
}

// Adds a collector's output to its section; moved while the section is still
// empty, so that the output of a large request is not copied.
void appendOutput(std::wstring& section, std::wstring& output) {
    if (section.empty()) {
        section.swap(output);
    } else {
        section += output;
    }
}

void appendOutput(std::wstring& section, TextSink& output) {
    std::wstring text = output.take();
    appendOutput(section, text);
}

// An element whose children are being visited; the children are a snapshot
// taken when the element was reached.
struct Visit {
    std::wstring category;
    std::vector<XmlNode*> children;
    std::size_t next = 0;
};

}  // namespace

void forEachRequest(const XmlNodeVector& root,
                    const std::function<void(const std::wstring& category, const XmlNodeValue& value)>& visit) {
    // An explicit stack, so that no nesting depth can exhaust the call stack.
    std::vector<Visit> visits;
    visits.push_back({root.getName(), root.getChildren()});
    while (!visits.empty()) {
        Visit& current = visits.back();
        if (current.next == current.children.size()) {
            visits.pop_back();
            continue;
        }
        XmlNode* child = current.children[current.next++];
        if (const auto* element = dynamic_cast<const XmlNodeVector*>(child)) {
            visits.push_back({element->getName(), element->getChildren()});
        } else {
            visit(current.category, *static_cast<const XmlNodeValue*>(child));
        }
    }
}

int Dispatcher::walk(const XmlNodeVector& root, Progress* progress) {
    const auto served = [this](const std::wstring& category, const XmlNodeValue& value) {
        return CommandTable::placement(commands_.lookup(category), commands_.lookup(value.getName())) ==
               CommandTable::Placement::served;
    };
    std::size_t total = 0;
    if (progress) {
        forEachRequest(root, [&](const std::wstring& category, const XmlNodeValue& value) {
            if (served(category, value)) ++total;
        });
    }
    std::size_t number = 0;
    int lastCategory = CommandTable::notFound;
    forEachRequest(root, [&](const std::wstring& category, const XmlNodeValue& value) {
        if (progress && served(category, value)) progress->request(++number, total, value.getName(), value.text());
        lastCategory = dispatch(category, value.getName(), value.text());
    });
    if (progress) progress->finished();
    return lastCategory;
}

int Dispatcher::dispatch(const std::wstring& category, const std::wstring& function, const std::wstring& value) {
    const int categoryCode = commands_.lookup(category);
    const int functionCode = commands_.lookup(function);
    if (CommandTable::placement(categoryCode, functionCode) != CommandTable::Placement::served) return categoryCode;
    std::wstring text;
    std::wstring second;
    switch (functionCode) {
    case CommandTable::getKey: collectors_.getKey(value, sections_.registry); break;
    case CommandTable::getValue: collectors_.getValue(value, sections_.registry); break;
    case CommandTable::getFile: embedFile(value); break;
    case CommandTable::getFileVersion:
        collectors_.getFileVersion(value, text);
        appendOutput(sections_.file, text);
        break;
    case CommandTable::getDirectories:
        collectors_.getDirectories(value, text);
        appendOutput(sections_.directory, text);
        break;
    case CommandTable::getDirectoriesRecursively:
        collectors_.getDirectoriesRecursively(value, text);
        appendOutput(sections_.directory, text);
        break;
    case CommandTable::getDirectoriesAndFiles:
        collectors_.getDirectoriesAndFiles(value, text, second);
        appendOutput(sections_.directory, text);
        appendOutput(sections_.file, second);
        break;
    case CommandTable::getDirectoriesAndFilesRecursively:
        collectors_.getDirectoriesAndFilesRecursively(value, text, second);
        appendOutput(sections_.directory, text);
        appendOutput(sections_.file, second);
        break;
    case CommandTable::getFiles:
        collectors_.getFiles(value, text);
        appendOutput(sections_.file, text);
        break;
    case CommandTable::getFilesRecursively: collectors_.getFilesRecursively(value); break;
    case CommandTable::getSystem: {
        TextSink sink;
        collectors_.getSystem(value, sink);
        appendOutput(sections_.system, sink);
        break;
    }
    case CommandTable::getUser: {
        TextSink sink;
        collectors_.getUser(value, sink);
        appendOutput(sections_.system, sink);
        break;
    }
    case CommandTable::getServiceStatus: {
        TextSink sink;
        // Any case of "all" selects every service; a single service keeps its name as written.
        if (upperAscii(value) == L"ALL") {
            collectors_.allServices(sink);
        } else {
            collectors_.serviceStatus(value, sink);
        }
        appendOutput(sections_.service, sink);
        break;
    }
    }
    return categoryCode;
}

void Dispatcher::embedFile(const std::wstring& path) {
    const auto content = readTextFile(files_, path);
    std::wstring& out = sections_.file;
    out += L"<filecontent name=\"";
    out += path;
    if (content) {
        out += L"\" noparse=\"TRUE\">\n";
        out += *content;
        out += L"</filecontent>\n";
    } else {
        out += L"\">File not found</filecontent>\n";
    }
}
