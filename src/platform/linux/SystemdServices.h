#pragma once
#include <optional>
#include <string>

namespace platform::linux_layer {

// The account a service unit runs under, for the registry view's
// HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\<name>\ObjectName;
// nothing when systemd does not know the unit or cannot be asked.
std::optional<std::wstring> serviceAccount(const std::wstring& serviceName);

}  // namespace platform::linux_layer
