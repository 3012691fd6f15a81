#pragma once
#include "dispatch/ReportSink.h"
#include "platform/FileQueries.h"

#include <cstdint>
#include <string>

namespace files {

// How a file examination failed, as far as the report tells it apart.
enum class Failure : std::uint8_t { none, notFound, invalidParameter, notRegularFile, other };

// Seconds since 1970-01-01 00:00 UTC.
std::int64_t secondsSince1970(platform::FileTime time);

// Appends a number as signed decimal digits; whole trees are written with it.
void appendNumber(std::wstring& out, std::int64_t number);

// The description of one file or directory entry. Whole trees are held as
// lists of these, so the texts are made on demand from compact fields.
struct FileProperties {
    std::int64_t lastWriteTime = 0;
    std::int64_t creationTime = 0;
    std::wstring path;
    std::int64_t size = 0;
    platform::FixedVersion versionNumbers;
    platform::VersionResource version = platform::VersionResource::none;
    Failure failure = Failure::none;
    bool isDirectory = false;

    // "none" without a version resource, empty without a fixed block.
    std::wstring productVersion() const;
    std::wstring fileVersion() const;
    // Empty after success; otherwise its lines, each ending with a line feed.
    std::wstring failureText() const;
};

// The record of a file from its examination.
FileProperties fileProperties(std::wstring path, const platform::FileExamination& examination);

// Both take an empty path for an invalid parameter, as the system's file
// stream does.
bool canOpenForReading(platform::FileQueries& queries, const std::wstring& path);
FileProperties readFileProperties(platform::FileQueries& queries, const std::wstring& path);

// Writes the searchedproperties element of one file.
void getFileVersion(platform::FileQueries& queries, const std::wstring& path, ReportSink& file);

}  // namespace files
