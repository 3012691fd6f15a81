#include "dispatch/Dispatcher.h"

#include "text/AsciiCase.h"
#include "text/TextFile.h"

#include <cstdint>
#include <new>
#include <vector>

namespace {

// The sections in a fixed order, so a table can name one by its place.
enum SectionIndex { registrySection, fileSection, directorySection, systemSection, serviceSection, sectionCount };

// Where a failed request leaves its trace: its section, in the element its own failures use.
struct FailureElement {
    int function;
    SectionIndex section;
    const wchar_t* element;
};

constexpr FailureElement failureElements[] = {
    {CommandTable::getKey, registrySection, L"key"},
    {CommandTable::getValue, registrySection, L"key"},
    {CommandTable::getFile, fileSection, L"filecontent"},
    {CommandTable::getFileVersion, fileSection, L"searchedproperties"},
    {CommandTable::getDirectories, directorySection, L"directory"},
    {CommandTable::getDirectoriesRecursively, directorySection, L"directory"},
    {CommandTable::getDirectoriesAndFiles, directorySection, L"directory"},
    {CommandTable::getDirectoriesAndFilesRecursively, directorySection, L"directory"},
    {CommandTable::getFiles, fileSection, L"properties"},
    {CommandTable::getSystem, systemSection, L"system"},
    {CommandTable::getUser, systemSection, L"user"},
    {CommandTable::getServiceStatus, serviceSection, L"service"},
};

const FailureElement* failureElementOf(int function) {
    for (const FailureElement& entry : failureElements) {
        if (entry.function == function) return &entry;
    }
    return nullptr;
}

// A request writes its failure element's section; a listing of directories and files writes both.
unsigned sectionsWrittenBy(int function) {
    const FailureElement* entry = failureElementOf(function);
    unsigned sections = entry ? 1u << entry->section : 0u;
    if (function == CommandTable::getDirectoriesAndFiles || function == CommandTable::getDirectoriesAndFilesRecursively) {
        sections |= 1u << fileSection;
    }
    return sections;
}

bool isServed(const CommandTable& commands, const std::wstring& category, const XmlNodeValue& value) {
    return CommandTable::placement(commands.lookup(category), commands.lookup(value.getName())) ==
           CommandTable::Placement::served;
}

// An element whose children are being visited; the children are a snapshot
// taken when the element was reached.
struct Visit {
    std::wstring category;
    std::vector<XmlNode*> children;
    std::size_t next = 0;
};

// Streams an open file's text to the sink in pieces; false when a read fails,
// with part of the text written.
bool copyTextFile(platform::FileStream& file, ReportSink& out) {
    std::vector<char> chunk(std::size_t{1} << 16);
    TextFileDecoder decoder;
    while (!decoder.ended()) {
        std::uint32_t count = 0;
        if (file.read(chunk.data(), static_cast<std::uint32_t>(chunk.size()), count) != 0) return false;
        if (count == 0) break;
        out.writeTextFile(decoder, std::string_view(chunk.data(), count));
    }
    out.endTextFile(decoder);
    return true;
}

// No system names anything longer than Windows' longest path, in UTF-16 units.
constexpr std::size_t longestName = 32767;

// Passes a request's output on, with the whole configured text wherever the
// request wrote the stand-in it was served with (alone or within an element).
class WholeTextSink : public ReportSink {
public:
    WholeTextSink(ReportSink& out, const std::wstring& standIn, const XmlNodeValue& value)
        : out_(out), standIn_(standIn), value_(value) {}

    void write(std::wstring_view text) override {
        for (std::size_t at; (at = text.find(standIn_)) != std::wstring_view::npos;) {
            out_.write(text.substr(0, at));
            value_.textInPieces([this](std::wstring_view piece) { out_.write(piece); });
            text.remove_prefix(at + standIn_.size());
        }
        out_.write(text);
    }
    std::uint64_t tell() const override { return out_.tell(); }
    void truncate(std::uint64_t position) override { out_.truncate(position); }
    void writeTextFile(TextFileDecoder& decoder, std::string_view bytes) override { out_.writeTextFile(decoder, bytes); }
    void endTextFile(TextFileDecoder& decoder) override { out_.endTextFile(decoder); }

private:
    ReportSink& out_;
    const std::wstring& standIn_;
    const XmlNodeValue& value_;
};

struct WholeTextSections {
    WholeTextSections(const ReportSections& out, const std::wstring& standIn, const XmlNodeValue& value)
        : registry(out.registry, standIn, value), file(out.file, standIn, value),
          directory(out.directory, standIn, value), system(out.system, standIn, value),
          service(out.service, standIn, value) {}

    ReportSections sections() { return {registry, file, directory, system, service}; }

    WholeTextSink registry, file, directory, system, service;
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

int Dispatcher::walk(const XmlNodeVector& root, Progress* progress, const std::function<void()>& served) {
    std::size_t total = 0;
    if (progress) {
        forEachRequest(root, [&](const std::wstring& category, const XmlNodeValue& value) {
            if (isServed(commands_, category, value)) ++total;
        });
    }
    std::size_t number = 0;
    int lastCategory = CommandTable::notFound;
    forEachRequest(root, [&](const std::wstring& category, const XmlNodeValue& value) {
        const bool servedHere = isServed(commands_, category, value);
        const auto serveWith = [&](const std::wstring& text, const ReportSections& out) {
            if (progress && servedHere) progress->request(++number, total, value.getName(), text);
            lastCategory = serve(category, value.getName(), text, out);
            if (served && servedHere) served();
        };
        if (value.textLongerThan(longestName)) {
            // A text that long is never widened whole: a stand-in just over the
            // limit fails as the whole text would, and the output gets the whole text back.
            const std::wstring standIn = value.textStart(longestName + 1);
            WholeTextSections whole(sections_, standIn, value);
            serveWith(standIn, whole.sections());
        } else {
            serveWith(value.getText(), sections_);
        }
    });
    if (progress) progress->finished();
    return lastCategory;
}

std::vector<unsigned> Dispatcher::sectionPlan(const XmlNodeVector& root) {
    const CommandTable commands;
    std::vector<unsigned> plan;
    forEachRequest(root, [&](const std::wstring& category, const XmlNodeValue& value) {
        if (isServed(commands, category, value)) plan.push_back(sectionsWrittenBy(commands.lookup(value.getName())));
    });
    return plan;
}

int Dispatcher::dispatch(const std::wstring& category, const std::wstring& function, const std::wstring& value) {
    return dispatch(category, function, value, sections_);
}

int Dispatcher::dispatch(const std::wstring& category, const std::wstring& function, const std::wstring& value,
                         const ReportSections& out) {
    const int categoryCode = commands_.lookup(category);
    const int functionCode = commands_.lookup(function);
    if (CommandTable::placement(categoryCode, functionCode) != CommandTable::Placement::served) return categoryCode;
    switch (functionCode) {
    case CommandTable::getKey: collectors_.getKey(value, out.registry); break;
    case CommandTable::getValue: collectors_.getValue(value, out.registry); break;
    case CommandTable::getFile: embedFile(value, out.file); break;
    case CommandTable::getFileVersion: collectors_.getFileVersion(value, out.file); break;
    case CommandTable::getDirectories: collectors_.getDirectories(value, out.directory); break;
    case CommandTable::getDirectoriesRecursively: collectors_.getDirectoriesRecursively(value, out.directory); break;
    case CommandTable::getDirectoriesAndFiles:
        collectors_.getDirectoriesAndFiles(value, out.directory, out.file);
        break;
    case CommandTable::getDirectoriesAndFilesRecursively:
        collectors_.getDirectoriesAndFilesRecursively(value, out.directory, out.file);
        break;
    case CommandTable::getFiles: collectors_.getFiles(value, out.file); break;
    case CommandTable::getFilesRecursively: collectors_.getFilesRecursively(value); break;
    case CommandTable::getSystem: collectors_.getSystem(value, out.system); break;
    case CommandTable::getUser: collectors_.getUser(value, out.system); break;
    case CommandTable::getServiceStatus:
        // Any case of "all" selects every service; a single service keeps its name as written.
        if (text::upperAscii(value) == L"ALL") {
            collectors_.allServices(out.service);
        } else {
            collectors_.serviceStatus(value, out.service);
        }
        break;
    }
    return categoryCode;
}

int Dispatcher::serve(const std::wstring& category, const std::wstring& function, const std::wstring& value,
                      const ReportSections& out) {
    ReportSink* const sections[sectionCount] = {&out.registry, &out.file, &out.directory, &out.system, &out.service};
    std::uint64_t held[sectionCount];
    for (int i = 0; i < sectionCount; ++i) held[i] = sections[i]->tell();
    const wchar_t* failure = nullptr;
    try {
        return dispatch(category, function, value, out);
    } catch (const std::bad_alloc&) {
        failure = L"Not enough memory resources are available to process this command.";
    } catch (...) {
        failure = L"Unexpected error";
    }
    // No half-written element of the failed request stays behind.
    for (int i = 0; i < sectionCount; ++i) sections[i]->truncate(held[i]);
    // What the request took is given back by now, so there is room for its element.
    if (const FailureElement* entry = failureElementOf(commands_.lookup(function))) {
        try {
            *sections[entry->section] << L"<" << entry->element << L" name=\"" << value << L"\">" << failure << L"</"
                                      << entry->element << L">\n";
        } catch (const std::bad_alloc&) {
            // Not even the element fits: the request is lost, the run and its report are not.
        }
    }
    return commands_.lookup(category);
}

// The file is streamed through its section, so its size costs no memory. A
// file that fails to be read to its end counts as one that cannot be read: its
// element is taken back, never left with a shorter text.
void Dispatcher::embedFile(const std::wstring& path, ReportSink& out) {
    const std::uint64_t start = out.tell();
    platform::ErrorCode error = platform::error::success;
    const auto file = platform::holdsNul(path) ? nullptr : files_.openForReading(path, error);
    if (file) {
        out << L"<filecontent name=\"" << path << L"\" noparse=\"TRUE\">\n";
        if (copyTextFile(*file, out)) {
            out << L"</filecontent>\n";
            return;
        }
        out.truncate(start);
    }
    out << L"<filecontent name=\"" << path << L"\">File not found</filecontent>\n";
}
