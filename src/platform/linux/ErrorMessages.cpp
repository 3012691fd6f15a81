#include "platform/linux/ErrorMessages.h"

#include <cerrno>

namespace platform::linux_layer {

std::wstring windowsMessage(ErrorCode code) {
    switch (code) {
    case error::invalidFunction: return L"Incorrect function.\r\n";
    case error::fileNotFound: return L"The system cannot find the file specified.\r\n";
    case error::pathNotFound: return L"The system cannot find the path specified.\r\n";
    case error::tooManyOpenFiles: return L"The system cannot open the file.\r\n";
    case error::accessDenied: return L"Access is denied.\r\n";
    case error::invalidHandle: return L"The handle is invalid.\r\n";
    case error::notEnoughMemory: return L"Not enough memory resources are available to process this command.\r\n";
    case error::noMoreFiles: return L"There are no more files.\r\n";
    case error::writeProtect: return L"The media is write protected.\r\n";
    case error::sharingViolation:
        return L"The process cannot access the file because it is being used by another process.\r\n";
    case error::fileExists: return L"The file exists.\r\n";
    case error::invalidParameter: return L"The parameter is incorrect.\r\n";
    case error::diskFull: return L"There is not enough space on the disk.\r\n";
    case error::insufficientBuffer: return L"The data area passed to a system call is too small.\r\n";
    case error::invalidName: return L"The filename, directory name, or volume label syntax is incorrect.\r\n";
    case error::badPathname: return L"The specified path is invalid.\r\n";
    case error::moduleNotFound: return L"The specified module could not be found.\r\n";
    case error::negativeSeek:
        return L"An attempt was made to move the file pointer before the beginning of the file.\r\n";
    case error::badExeFormat: return L"%1 is not a valid Win32 application.\r\n";
    case error::filenameTooLong: return L"The filename or extension is too long.\r\n";
    case error::badFileType: return L"The file type being saved or retrieved has been blocked.\r\n";
    case error::ioDevice: return L"The request could not be performed because of an I/O device error.\r\n";
    case error::cantResolveFilename: return L"The name of the file cannot be resolved by the system.\r\n";
    case error::moreData: return L"More data is available.\r\n";
    case error::noMoreItems: return L"No more data is available.\r\n";
    case error::serviceDoesNotExist: return L"The specified service does not exist as an installed service.\r\n";
    case error::timeout: return L"This operation returned because the timeout period expired.\r\n";
    case error::rpcServerUnavailable: return L"The RPC server is unavailable.\r\n";
    case error::rpcCallFailed: return L"The remote procedure call failed.\r\n";
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
    case EMFILE:
    case ENFILE: return error::tooManyOpenFiles;
    case EIO: return error::ioDevice;
    case ELOOP: return error::cantResolveFilename;
    case ENOMEM: return error::notEnoughMemory;
    case EBUSY:
    case ETXTBSY: return error::sharingViolation;
    case EINVAL: return error::invalidParameter;
    case EEXIST: return error::fileExists;
    case ENAMETOOLONG: return error::filenameTooLong;
    case EFBIG:
    case EROFS: return error::writeProtect;
    case ENOSPC:
    case EDQUOT: return error::diskFull;
    default: return error::invalidFunction;
    }
}

}  // namespace platform::linux_layer
