#pragma once
#include <cstdint>
#include <string>

namespace SevenZip {

// The archive layer's one kind of failure; caught once, by the packaging step.
class SevenZipException {
public:
    explicit SevenZipException(std::wstring message) : message_(std::move(message)) {}
    virtual ~SevenZipException() = default;

    const std::wstring& message() const { return message_; }

private:
    std::wstring message_;
};

// "operation: GetLastError = code", the code as an unsigned decimal.
std::wstring lastErrorMessage(const std::wstring& operation, std::uint32_t code);
// "operation: HRESULT = 0x0000ABCD", eight upper-case hexadecimal digits.
std::wstring resultMessage(const std::wstring& operation, std::int32_t result);
// The template with its one "%s" replaced by the argument.
std::wstring formatMessage(const std::wstring& pattern, const std::wstring& argument);

}  // namespace SevenZip
