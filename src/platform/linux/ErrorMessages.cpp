#include "platform/linux/ErrorMessages.h"

#include <cerrno>

namespace platform::linux_layer {

std::wstring windowsMessage(ErrorCode code) {
    switch (code) {
    case error::invalidFunction: return L"Incorrect function.\r\n";
    case error::fileNotFound: return L"The system cannot find the file specified.\r\n";
    case error::pathNotFound: return L"The system cannot find the path specified.\r\n";
    case error::accessDenied: return L"Access is denied.\r\n";
    case error::invalidHandle: return L"The handle is invalid.\r\n";
    case error::notEnoughMemory: return L"Not enough memory resources are available to process this command.\r\n";
    case error::noMoreFiles: return L"There are no more files.\r\n";
    case error::sharingViolation:
        return L"The process cannot access the file because it is being used by another process.\r\n";
    case error::invalidParameter: return L"The parameter is incorrect.\r\n";
    case error::insufficientBuffer: return L"The data area passed to a system call is too small.\r\n";
    case error::moreData: return L"More data is available.\r\n";
    case error::serviceDoesNotExist: return L"The specified service does not exist as an installed service.\r\n";
    case error::userNotFound: return L"The user name could not be found.\r\n";
    default: return L"";
    }
}

ErrorCode fromErrno(int errnoValue) {
    switch (errnoValue) {
    case 0: return error::success;
    case ENOENT: return error::fileNotFound;
    case ENOTDIR: return error::pathNotFound;
    case EACCES:
    case EPERM:
    case EISDIR: return error::accessDenied;
    case EBADF: return error::invalidHandle;
    case ENOMEM: return error::notEnoughMemory;
    case EBUSY:
    case ETXTBSY: return error::sharingViolation;
    case EINVAL:
    case ENAMETOOLONG: return error::invalidParameter;
    default: return error::invalidFunction;
    }
}

}  // namespace platform::linux_layer
