#include "collect/MachineCollectors.h"

#include "collect/registry/RegistryCollector.h"
#include "collect/services/ServiceCollector.h"

void MachineCollectors::getKey(const std::wstring& path, std::wstring& registryText) {
    const RegistryRoot root(registry_, path);
    RegistryCollector(registry_, host_).getKey(root, path, registryText);
}

void MachineCollectors::getValue(const std::wstring& path, std::wstring& registryText) {
    const RegistryRoot root(registry_, path);
    RegistryCollector(registry_, host_).getValue(root, path, registryText);
}

void MachineCollectors::getFileVersion(const std::wstring& path, std::wstring& fileText) {
    files::getFileVersion(fileQueries_, path, fileText);
}

void MachineCollectors::getDirectories(const std::wstring& path, std::wstring& directoryText) {
    directories_.getDirectories(path, directoryText);
}

void MachineCollectors::getDirectoriesRecursively(const std::wstring& path, std::wstring& directoryText) {
    directories_.getDirectoriesRecursively(path, directoryText);
}

void MachineCollectors::getDirectoriesAndFiles(const std::wstring& path, std::wstring& directoryText,
                                               std::wstring& fileText) {
    directories_.getDirectoriesAndFiles(path, directoryText, fileText);
}

void MachineCollectors::getDirectoriesAndFilesRecursively(const std::wstring& path, std::wstring& directoryText,
                                                          std::wstring& fileText) {
    directories_.getDirectoriesAndFilesRecursively(path, directoryText, fileText);
}

void MachineCollectors::getFiles(const std::wstring& path, std::wstring& fileText) {
    directories_.getFiles(path, fileText);
}

void MachineCollectors::getFilesRecursively(const std::wstring& path) { directories_.getFilesRecursively(path); }

// Collectors not yet built write nothing.
void MachineCollectors::getSystem(const std::wstring&, ReportSink&) {}
void MachineCollectors::getUser(const std::wstring&, ReportSink&) {}
std::wstring MachineCollectors::systemFigures() { return L""; }

void MachineCollectors::serviceStatus(const std::wstring& name, ReportSink& service) {
    ServiceCollector(services_, registry_, host_).serviceStatus(name, service);
}

void MachineCollectors::allServices(ReportSink& service) {
    ServiceCollector(services_, registry_, host_).allServices(service);
}
