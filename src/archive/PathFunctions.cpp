#include "archive/PathFunctions.h"

namespace SevenZip::intl {
namespace {

std::size_t lastSeparator(const std::wstring& path, wchar_t separator) {
    const wchar_t separators[] = {L'/', separator, L'\0'};
    return path.find_last_of(separators);
}

}  // namespace

std::wstring directoryPart(const std::wstring& path, wchar_t separator) {
    const std::size_t last = lastSeparator(path, separator);
    return last == std::wstring::npos ? std::wstring() : path.substr(0, last + 1);
}

std::wstring fileNamePart(const std::wstring& path, wchar_t separator) {
    const std::size_t last = lastSeparator(path, separator);
    return last == std::wstring::npos ? path : path.substr(last + 1);
}

std::wstring combinePath(const std::wstring& directory, const std::wstring& name, wchar_t separator) {
    if (directory.empty()) return name;
    const wchar_t last = directory.back();
    if (last == L'/' || last == separator) return directory + name;
    return directory + separator + name;
}

std::wstring relativePath(const std::wstring& prefix, const std::wstring& fullPath) {
    if (prefix.size() >= fullPath.size() || fullPath.compare(0, prefix.size(), prefix) != 0) return L"";
    return fullPath.substr(prefix.size());
}

}  // namespace SevenZip::intl
