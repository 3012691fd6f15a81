#pragma once
#include "platform/FileSystem.h"

#include <memory>
#include <string>

// The intermediate report on disk. It is created exclusively: a report this
// tool wrote earlier is replaced, but nothing else under the path is ever
// overwritten, deleted or followed, a link included. Unless it was written
// whole, the file is removed again when this object ends, whatever ended it.
class ReportFile {
public:
    enum class Creation { created, taken, failed };

    ReportFile(platform::FileSystem& files, std::wstring path) : files_(files), path_(std::move(path)) {}
    ReportFile(const ReportFile&) = delete;
    ReportFile& operator=(const ReportFile&) = delete;
    ~ReportFile();

    Creation create();
    // Only after the creation succeeded.
    platform::FileStream& stream() { return *stream_; }
    // Closes the file after writing ended with the given result; false, with the
    // file removed, when writing or closing failed.
    bool finish(platform::ErrorCode writing);

private:
    bool holdsOwnReport() const;
    void remove();

    platform::FileSystem& files_;
    const std::wstring path_;
    std::unique_ptr<platform::FileStream> stream_;
    bool created_ = false;
    bool complete_ = false;
};
