#include "collect/MachineCollectors.h"

// Collectors not yet built write nothing.
void MachineCollectors::getKey(const std::wstring&, std::wstring&) {}
void MachineCollectors::getValue(const std::wstring&, std::wstring&) {}
void MachineCollectors::getFileVersion(const std::wstring&, std::wstring&) {}
void MachineCollectors::getDirectories(const std::wstring&, std::wstring&) {}
void MachineCollectors::getDirectoriesRecursively(const std::wstring&, std::wstring&) {}
void MachineCollectors::getDirectoriesAndFiles(const std::wstring&, std::wstring&, std::wstring&) {}
void MachineCollectors::getDirectoriesAndFilesRecursively(const std::wstring&, std::wstring&, std::wstring&) {}
void MachineCollectors::getFiles(const std::wstring&, std::wstring&) {}
void MachineCollectors::getFilesRecursively(const std::wstring&) {}
void MachineCollectors::getSystem(const std::wstring&, std::wstring&) {}
void MachineCollectors::getUser(const std::wstring&, std::wstring&) {}
void MachineCollectors::serviceStatus(const std::wstring&, std::wstring&) {}
void MachineCollectors::allServices(std::wstring&) {}
std::wstring MachineCollectors::systemFigures() { return L""; }
