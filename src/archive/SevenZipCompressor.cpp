#include "archive/SevenZipCompressor.h"

#include "archive/ArchiveUpdateCallback.h"
#include "archive/LentStream.h"
#include "archive/PathFunctions.h"
#include "archive/SevenZipException.h"
#include "archive/StreamWrappers.h"

#include <algorithm>
#include <limits>

namespace SevenZip {

using namespace intl;

namespace {

const std::wstring unfinishedSuffix = L".part";

std::wstring withoutTrailingSeparators(std::wstring path, wchar_t separator) {
    while (path.size() > 1 && (path.back() == L'/' || path.back() == separator)) path.pop_back();
    return path;
}

}  // namespace

void SevenZipCompressor::compressDirectory(const std::wstring& directory, bool includeSubdirectories) {
    const wchar_t separator = files_.separator();
    const std::wstring parent = directoryPart(withoutTrailingSeparators(directory, separator), separator);
    compressDirectoryTree(directory, L"*", includeSubdirectories, parent);
}

void SevenZipCompressor::compressFiles(const std::wstring& directory, const std::wstring& searchPattern,
                                       bool recursive) {
    compressDirectoryTree(directory, searchPattern, recursive, combinePath(directory, L"", files_.separator()));
}

void SevenZipCompressor::compressAllFiles(const std::wstring& directory, bool recursive) {
    compressFiles(directory, L"*", recursive);
}

void SevenZipCompressor::compressFile(const std::wstring& path) {
    const wchar_t separator = files_.separator();
    const std::wstring name = fileNamePart(path, separator);
    // Wildcards in the name stand for themselves: packing another file that
    // happens to match would disclose its contents.
    const bool literal = name.find_first_of(L"*?") == std::wstring::npos;
    ScannerCallback found(false, literal);
    PathScanner(files_).scan(directoryPart(path, separator), name, found);
    const auto named = std::find_if(found.files().begin(), found.files().end(),
                                    [&](const FileEntry& file) { return literal || file.name == name; });
    if (named == found.files().end()) throw SevenZipException(formatMessage(L"File \"%s\" does not exist", path));
    writeArchive(L"", {*named});
}

void SevenZipCompressor::compressDirectoryTree(const std::wstring& directory, const std::wstring& pattern,
                                               bool recursive, const std::wstring& prefix) {
    if (!files_.isDirectory(directory)) {
        throw SevenZipException(formatMessage(L"Directory \"%s\" does not exist", directory));
    }
    const PathScanner scanner(files_);
    if (scanner.isEmpty(directory)) throw SevenZipException(formatMessage(L"Directory \"%s\" is empty", directory));
    ScannerCallback found(recursive, false);
    scanner.scan(directory, pattern, found);
    writeArchive(prefix, found.files());
}

namespace {

SEVENZIP_ENGINE_CALLS void setCompressionProperties(IOutArchive& archive) {
    ComPointer<ISetProperties> properties;
    if (archive.QueryInterface(IID_ISetProperties, reinterpret_cast<void**>(properties.receive())) != S_Ok ||
        !properties) {
        throw SevenZipException(L"Archive does not support setting compression properties");
    }
    const wchar_t* names[] = {L"x"};
    PropVariant values[1];
    values[0].vt = VT_UI4;
    values[0].ulVal = compressionLevel;
    const HResult result = properties->SetProperties(names, values, 1);
    if (result != S_Ok) throw SevenZipException(resultMessage(L"Setting compression properties", result));
}

}  // namespace

SEVENZIP_ENGINE_CALLS void writeArchive(const EngineLibrary& library, const std::wstring& directoryPrefix,
                                        const std::vector<FileEntry>& entries, const ItemOpener& open,
                                        platform::FileStream& output) {
    if (entries.size() > std::numeric_limits<std::uint32_t>::max()) {
        throw SevenZipException(resultMessage(L"Create archive", E_InvalidArg));
    }
    ComPointer<IOutArchive> archive;
    library.createArchiveHandler(archive.receive());
    setCompressionProperties(*archive);
    const ComPointer<OutStreamWrapper> stream(new OutStreamWrapper(std::make_unique<LentStream>(output)));
    const ComPointer<ArchiveUpdateCallback> callback(new ArchiveUpdateCallback(directoryPrefix, entries, library, open));
    const HResult result = archive->UpdateItems(stream.get(), static_cast<std::uint32_t>(entries.size()), callback.get());
    if (result != S_Ok) throw SevenZipException(resultMessage(L"Create archive", result));
}

// The archive is written beside its final place and moved there only when
// complete, so a failure neither leaves a broken archive nor destroys an older one.
void SevenZipCompressor::writeArchive(const std::wstring& directoryPrefix, const std::vector<FileEntry>& entries) {
    const std::wstring unfinishedPath = archivePath_ + unfinishedSuffix;
    platform::ErrorCode error = platform::error::success;
    auto file = files_.createForWriting(unfinishedPath, error);
    if (!file) throw SevenZipException(formatMessage(L"Could not create archive \"%s\"", archivePath_));
    try {
        SevenZip::writeArchive(library_, directoryPrefix, entries,
                               [this](const FileEntry& entry, platform::ErrorCode& failure) {
                                   return files_.openForReading(entry.path, failure);
                               },
                               *file);
    } catch (const SevenZipException&) {
        file.reset();
        files_.removeFile(unfinishedPath);
        throw;
    }
    file.reset();
    if (files_.replaceFile(unfinishedPath, archivePath_) != platform::error::success) {
        files_.removeFile(unfinishedPath);
        throw SevenZipException(formatMessage(L"Could not create archive \"%s\"", archivePath_));
    }
}

}  // namespace SevenZip
