#pragma once
#include "platform/ErrorCode.h"

#include <string>

namespace platform::linux_layer {

// The account a service unit runs under, or why it cannot be told.
struct ServiceAccount {
    ErrorCode failure = error::success;  // error::serviceDoesNotExist for a unit systemd does not know
    std::wstring name;
};

// The account for the registry view's
// HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\<name>\ObjectName;
// the name is the whole unit name, backslashes and all.
ServiceAccount serviceAccount(const std::wstring& serviceName);

}  // namespace platform::linux_layer
