#include "collect/MachineCollectors.h"

#include "collect/registry/RegistryCollector.h"

void MachineCollectors::getKey(const std::wstring& path, ReportSink& registry) {
    const RegistryRoot root(registry_, path);
    RegistryCollector(registry_, host_).getKey(root, path, registry);
}

void MachineCollectors::getValue(const std::wstring& path, ReportSink& registry) {
    const RegistryRoot root(registry_, path);
    RegistryCollector(registry_, host_).getValue(root, path, registry);
}

void MachineCollectors::getFileVersion(const std::wstring& path, ReportSink& file) {
    files::getFileVersion(fileQueries_, path, file);
}

void MachineCollectors::getDirectories(const std::wstring& path, ReportSink& directory) {
    directories_.getDirectories(path, directory);
}

void MachineCollectors::getDirectoriesRecursively(const std::wstring& path, ReportSink& directory) {
    directories_.getDirectoriesRecursively(path, directory);
}

void MachineCollectors::getDirectoriesAndFiles(const std::wstring& path, ReportSink& directory,
                                               ReportSink& file) {
    directories_.getDirectoriesAndFiles(path, directory, file);
}

void MachineCollectors::getDirectoriesAndFilesRecursively(const std::wstring& path, ReportSink& directory,
                                                          ReportSink& file) {
    directories_.getDirectoriesAndFilesRecursively(path, directory, file);
}

void MachineCollectors::getFiles(const std::wstring& path, ReportSink& file) {
    directories_.getFiles(path, file);
}

void MachineCollectors::getFilesRecursively(const std::wstring& path) { directories_.getFilesRecursively(path); }

// Collectors not yet built write nothing.
void MachineCollectors::getSystem(const std::wstring&, ReportSink&) {}
void MachineCollectors::getUser(const std::wstring&, ReportSink&) {}
void MachineCollectors::serviceStatus(const std::wstring&, ReportSink&) {}
void MachineCollectors::allServices(ReportSink&) {}
std::wstring MachineCollectors::systemFigures() { return L""; }
