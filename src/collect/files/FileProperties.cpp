#include "collect/files/FileProperties.h"

#include "platform/FileSystem.h"

#include <iterator>

namespace files {
namespace {

using platform::VersionResource;

constexpr std::uint64_t intervalsPerSecond = 10000000;
constexpr std::int64_t secondsFrom1601To1970 = 11644473600;

std::wstring versionText(std::uint32_t most, std::uint32_t least) {
    std::wstring text;
    for (const std::uint32_t part : {most >> 16, most & 0xFFFF, least >> 16, least & 0xFFFF}) {
        if (!text.empty()) text += L'.';
        appendNumber(text, part);
    }
    return text;
}

Failure classifyFailure(platform::ErrorCode code) {
    switch (code) {
    case platform::error::success: return Failure::none;
    // The codes the system's file stream reports as "no such file or directory".
    case platform::error::fileNotFound:
    case platform::error::pathNotFound:
    case 15:   // invalid drive
    case platform::error::noMoreFiles:
    case 53:   // bad network path
    case 67:   // bad network name
    case platform::error::badPathname:
    case platform::error::filenameTooLong: return Failure::notFound;
    case platform::error::invalidParameter:
    case 123:  // invalid name, such as one holding wildcards
        return Failure::invalidParameter;
    case platform::error::badFileType: return Failure::notRegularFile;
    default: return Failure::other;
    }
}

platform::FileExamination examineFile(platform::FileQueries& queries, const std::wstring& path) {
    if (path.empty()) return platform::FileExamination::failed(platform::error::invalidParameter);
    if (platform::holdsNul(path)) return platform::FileExamination::failed(platform::error::fileNotFound);
    return queries.examine(path);
}

}  // namespace

std::int64_t secondsSince1970(platform::FileTime time) {
    return static_cast<std::int64_t>(time / intervalsPerSecond) - secondsFrom1601To1970;
}

void appendNumber(std::wstring& out, std::int64_t number) {
    wchar_t digits[20];
    wchar_t* first = std::end(digits);
    // Negative numbers are counted in the negative range, which holds the smallest one too.
    std::int64_t rest = number;
    do {
        const auto digit = rest % 10;
        *--first = static_cast<wchar_t>(L'0' + (digit < 0 ? -digit : digit));
        rest /= 10;
    } while (rest != 0);
    if (number < 0) out += L'-';
    out.append(first, std::end(digits));
}

std::wstring FileProperties::productVersion() const {
    switch (version) {
    case VersionResource::none: return L"none";
    case VersionResource::withoutFixedBlock: return L"";
    case VersionResource::withFixedBlock: return versionText(versionNumbers.productMost, versionNumbers.productLeast);
    }
    return L"";
}

std::wstring FileProperties::fileVersion() const {
    switch (version) {
    case VersionResource::none: return L"none";
    case VersionResource::withoutFixedBlock: return L"";
    case VersionResource::withFixedBlock: return versionText(versionNumbers.fileMost, versionNumbers.fileLeast);
    }
    return L"";
}

std::wstring FileProperties::failureText() const {
    const std::wstring heading = L"Problem getting File information: \n";
    switch (failure) {
    case Failure::none: return L"";
    case Failure::notFound: return heading + L"File " + path + L" not found.\n";
    case Failure::invalidParameter: return heading + L"Invalid parameter to _stat.\n";
    case Failure::notRegularFile: return heading + L"Not a regular file (a pipe, device or socket).\n";
    case Failure::other: return heading + L"Unexpected error in _stat\n";
    }
    return L"";
}

FileProperties fileProperties(std::wstring path, const platform::FileExamination& examination) {
    FileProperties properties;
    properties.path = std::move(path);
    properties.failure = classifyFailure(examination.failure);
    if (properties.failure != Failure::none) return properties;
    properties.lastWriteTime = secondsSince1970(examination.times.lastWrite);
    properties.creationTime = secondsSince1970(examination.times.creation);
    properties.size = examination.size;
    properties.version = examination.version;
    properties.versionNumbers = examination.fixed;
    return properties;
}

bool canOpenForReading(platform::FileQueries& queries, const std::wstring& path) {
    return !path.empty() && !platform::holdsNul(path) && queries.openForReading(path) == platform::error::success;
}

FileProperties readFileProperties(platform::FileQueries& queries, const std::wstring& path) {
    return fileProperties(path, examineFile(queries, path));
}

void getFileVersion(platform::FileQueries& queries, const std::wstring& path, ReportSink& file) {
    const FileProperties properties = readFileProperties(queries, path);
    std::wstring element = L"<searchedproperties name=\"" + path + L"\">";
    switch (properties.failure) {
    case Failure::none:
        for (const std::int64_t number : {properties.lastWriteTime, properties.creationTime, properties.size}) {
            appendNumber(element, number);
            element += L'|';
        }
        if (properties.version == VersionResource::withFixedBlock) {
            element += properties.fileVersion() + L'|' + properties.productVersion();
        }
        break;
    case Failure::notFound: element += L"File not found."; break;
    case Failure::invalidParameter: element += L"Invalid parameter"; break;
    case Failure::notRegularFile:
    case Failure::other: element += L"Unexpected error"; break;
    }
    file << element << L"</searchedproperties>\n";
}

}  // namespace files
