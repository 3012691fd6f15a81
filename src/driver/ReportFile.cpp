#include "driver/ReportFile.h"

#include "archive/LentStream.h"

using platform::ErrorCode;
namespace error = platform::error;

ReportFile::ReportFile(platform::OwnFolder& folder, platform::OwnFile file, std::size_t queueLimit)
    : ReportPipe(queueLimit), folder_(folder), file_(std::move(file)) {}

ReportFile::~ReportFile() {
    if (kept_) return;
    file_.stream.reset();
    folder_.removeOwn(file_.name);
}

ErrorCode ReportFile::write(std::string_view bytes) {
    if (const ErrorCode failure = writeAll(*file_.stream, bytes)) return failure;
    ReportPipe::write(bytes);
    return error::success;
}

std::uint64_t ReportFile::size() const { return ReportPipe::size(); }

ErrorCode ReportFile::truncate(std::uint64_t size) {
    std::uint64_t position = 0;
    if (const ErrorCode failure = file_.stream->setSize(size)) return failure;
    if (const ErrorCode failure = file_.stream->seek(0, platform::FileStream::fromEnd, position)) return failure;
    takeBack(size);
    return error::success;
}

void ReportFile::complete(ErrorCode writing) {
    if (writing != error::success) return abandon();
    ReportPipe::complete();
}

std::optional<std::wstring> ReportFile::keepAs(const std::wstring& name) {
    file_.stream.reset();
    const ErrorCode failure = folder_.publishOwn(file_.name, name, false);
    if (failure == error::success) {
        kept_ = true;
        return name;
    }
    if (failure != error::fileExists) return std::nullopt;
    kept_ = true;
    folder_.keepOwn(file_.name);
    return file_.name;
}

std::unique_ptr<platform::FileStream> ReportFile::openComplete() {
    if (!awaitComplete()) return nullptr;
    std::uint64_t start = 0;
    if (file_.stream->seek(0, platform::FileStream::fromBegin, start) != error::success) return nullptr;
    return std::make_unique<SevenZip::intl::LentStream>(*file_.stream);
}
