#pragma once
#include <string>

// Paths split at "/" and at the platform's separator, whichever comes last; they
// are joined with the platform's separator.
namespace SevenZip::intl {

// Up to and including the last separator; empty without one.
std::wstring directoryPart(const std::wstring& path, wchar_t separator);
// After the last separator; the whole path without one.
std::wstring fileNamePart(const std::wstring& path, wchar_t separator);
std::wstring combinePath(const std::wstring& directory, const std::wstring& name, wchar_t separator);
// The rest of the full path after the prefix (exact, case-sensitive); empty when
// the full path does not continue the prefix.
std::wstring relativePath(const std::wstring& prefix, const std::wstring& fullPath);

}  // namespace SevenZip::intl
