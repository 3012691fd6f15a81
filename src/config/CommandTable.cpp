#include "config/CommandTable.h"


CommandTable::CommandTable()
    : names_{L"config",
             L"Registry",
             L"getKey",
             L"getValue",
             L"File",
             L"getFile",
             L"getFileVersion",
             L"Directory",
             L"getDirectories",
             L"getDirectoriesRecursively",
             L"getDirectoriesAndFiles",
             L"System",
             L"getSystem",
             L"getDirectoriesAndFilesRecursively",
             L"Service",
             L"getServiceStatus",
             L"getUser",
             L"getFiles",
             L"getFilesRecursively"} {}

int CommandTable::lookup(const std::wstring& name) const {
    for (int code = size - 1; code >= 0; --code) {
        if (names_[static_cast<std::size_t>(code)] == name) return code;
    }
    return notFound;
}

bool CommandTable::isGroupingName(const std::wstring& name) const {
    const int code = lookup(name);
    return code == config || isCategory(code);
}

bool CommandTable::isCategory(int code) {
    switch (code) {
    case registry:
    case file:
    case directory:
    case system:
    case service: return true;
    default: return false;
    }
}

int CommandTable::categoryOf(int functionCode) {
    switch (functionCode) {
    case getKey:
    case getValue: return registry;
    case getFile:
    case getFileVersion: return file;
    case getDirectories:
    case getDirectoriesRecursively:
    case getDirectoriesAndFiles:
    case getDirectoriesAndFilesRecursively:
    case getFiles:
    case getFilesRecursively: return directory;
    case getSystem:
    case getUser: return system;
    case getServiceStatus: return service;
    default: return notFound;
    }
}

CommandTable::Placement CommandTable::placement(int categoryCode, int functionCode) {
    const int required = categoryOf(functionCode);
    if (required == notFound) return Placement::unknownFunction;
    if (required == categoryCode) return Placement::served;
    return isCategory(categoryCode) ? Placement::wrongCategory : Placement::outsideCategory;
}

