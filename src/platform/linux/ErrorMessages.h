#pragma once
#include "platform/ErrorCode.h"

#include <string>

namespace platform::linux_layer {

// The English Windows message for the codes this layer produces, so that
// reports read alike on both platforms; empty for other codes.
std::wstring windowsMessage(ErrorCode code);
// The Win32 code that stands for an errno value.
ErrorCode fromErrno(int errnoValue);

}  // namespace platform::linux_layer
