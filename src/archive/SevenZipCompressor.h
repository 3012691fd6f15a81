#pragma once
#include "archive/ArchiveUpdateCallback.h"
#include "archive/EngineLibrary.h"
#include "archive/PathScanner.h"
#include "platform/FileStreams.h"

#include <string>
#include <vector>

namespace SevenZip {

// The compression level of every archive the tool writes.
inline constexpr unsigned compressionLevel = 2;

// Writes a new archive of the entries into the output through the engine, item
// paths relative to the prefix, bytes from the opener. Throws SevenZipException.
void writeArchive(const EngineLibrary& library, const std::wstring& directoryPrefix,
                  const std::vector<intl::FileEntry>& entries, const intl::ItemOpener& open,
                  platform::FileStream& output);

// Packs files into a new 7z archive through the engine. Failures throw SevenZipException.
class SevenZipCompressor {
public:
    // The library must stay loaded while the compressor lives.
    SevenZipCompressor(EngineLibrary& library, std::wstring archivePath, platform::FileStreams& files)
        : library_(library), archivePath_(std::move(archivePath)), files_(files) {}
    virtual ~SevenZipCompressor() = default;

    // Item paths start with the directory's own name.
    virtual void compressDirectory(const std::wstring& directory, bool includeSubdirectories);
    // Item paths are relative to the directory.
    virtual void compressFiles(const std::wstring& directory, const std::wstring& searchPattern, bool recursive);
    virtual void compressAllFiles(const std::wstring& directory, bool recursive);
    // The first file matching the path; its item path is the path as found.
    virtual void compressFile(const std::wstring& path);

private:
    void compressDirectoryTree(const std::wstring& directory, const std::wstring& pattern, bool recursive,
                               const std::wstring& prefix);
    void writeArchive(const std::wstring& directoryPrefix, const std::vector<intl::FileEntry>& entries);

    EngineLibrary& library_;
    std::wstring archivePath_;
    platform::FileStreams& files_;
};

}  // namespace SevenZip
