#pragma once
#include "platform/Accounts.h"

#include <istream>
#include <vector>

namespace platform::linux_layer {

// The accounts of a passwd file in its order, with their privilege: uid 0 or a
// member (by primary group or by the group file) of sudo, wheel or admin is an
// administrator; nobody, the overflow account, is a guest; everyone else a user.
std::vector<LocalAccount> accountsFromFiles(std::istream& passwd, std::istream& group);

}  // namespace platform::linux_layer
