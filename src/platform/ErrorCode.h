#pragma once
#include <cstdint>

namespace platform {

// Failures cross the platform boundary as Win32 error codes on every target,
// because the report carries Windows error texts.
using ErrorCode = std::uint32_t;

namespace error {
inline constexpr ErrorCode success = 0;
inline constexpr ErrorCode invalidFunction = 1;
inline constexpr ErrorCode fileNotFound = 2;
inline constexpr ErrorCode pathNotFound = 3;
inline constexpr ErrorCode tooManyOpenFiles = 4;
inline constexpr ErrorCode accessDenied = 5;
inline constexpr ErrorCode invalidHandle = 6;
inline constexpr ErrorCode notEnoughMemory = 8;
inline constexpr ErrorCode noMoreFiles = 18;
inline constexpr ErrorCode writeProtect = 19;
inline constexpr ErrorCode sharingViolation = 32;
inline constexpr ErrorCode fileExists = 80;
inline constexpr ErrorCode invalidParameter = 87;
inline constexpr ErrorCode diskFull = 112;
inline constexpr ErrorCode insufficientBuffer = 122;
inline constexpr ErrorCode invalidName = 123;
inline constexpr ErrorCode badPathname = 161;
inline constexpr ErrorCode moduleNotFound = 126;
inline constexpr ErrorCode negativeSeek = 131;
inline constexpr ErrorCode badExeFormat = 193;
inline constexpr ErrorCode filenameTooLong = 206;
// Answers what is neither a regular file nor a directory: a pipe, device or socket.
inline constexpr ErrorCode badFileType = 222;
inline constexpr ErrorCode moreData = 234;
inline constexpr ErrorCode operationAborted = 995;
inline constexpr ErrorCode noMoreItems = 259;
inline constexpr ErrorCode serviceDoesNotExist = 1060;
inline constexpr ErrorCode timeout = 1460;
inline constexpr ErrorCode rpcServerUnavailable = 1722;
inline constexpr ErrorCode rpcCallFailed = 1726;
inline constexpr ErrorCode ioDevice = 1117;
inline constexpr ErrorCode cantResolveFilename = 1921;
inline constexpr ErrorCode userNotFound = 2221;
}  // namespace error

}  // namespace platform
