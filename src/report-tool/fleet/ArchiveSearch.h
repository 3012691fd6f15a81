#pragma once
#include "platform/FileStreams.h"

#include <string>
#include <vector>

namespace fleet {

// The archives that paths name (UTF-8), in order: a file as it is, a folder
// searched below it too for ".tavisk" and ".tavisk.p7m" files, as the role's fetch folder holds
// them (FOLDER/HOST/HOST.tavisk), in name order.
std::vector<std::wstring> archivesNamed(const std::vector<std::string>& paths, const platform::FileStreams& streams);

}  // namespace fleet
