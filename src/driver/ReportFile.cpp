#include "driver/ReportFile.h"

#include "driver/ReportBuilder.h"

using platform::ErrorCode;
namespace error = platform::error;

ReportFile::~ReportFile() {
    if (created_ && !complete_) remove();
}

ReportFile::Creation ReportFile::create() {
    if (files_.isLink(path_)) return Creation::taken;
    if (files_.exists(path_)) {
        if (!holdsOwnReport()) return Creation::taken;
        files_.removeFile(path_);
    }
    ErrorCode failure = error::success;
    stream_ = files_.createNew(path_, failure);
    if (!stream_) return failure == error::fileExists ? Creation::taken : Creation::failed;
    created_ = true;
    return Creation::created;
}

bool ReportFile::finish(ErrorCode writing) {
    const ErrorCode closing = stream_->close();
    if (writing != error::success || closing != error::success) {
        remove();
        return false;
    }
    complete_ = true;
    return true;
}

bool ReportFile::holdsOwnReport() const {
    ErrorCode failure = error::success;
    const auto file = files_.openForReading(path_, failure);
    if (!file) return false;
    const std::string signature = ReportBuilder::signature();
    std::string head(signature.size(), '\0');
    std::uint32_t count = 0;
    return file->read(head.data(), static_cast<std::uint32_t>(head.size()), count) == error::success &&
           count == head.size() && head == signature;
}

void ReportFile::remove() {
    stream_.reset();
    files_.removeFile(path_);
    created_ = false;
}
