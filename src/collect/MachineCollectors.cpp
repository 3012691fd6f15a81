#include "collect/MachineCollectors.h"

#include "collect/registry/RegistryCollector.h"
#include "collect/services/ServiceCollector.h"

#include <chrono>
#include <thread>

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

SystemCollector MachineCollectors::systemCollector() {
    const SystemSources sources{platform::nativeVolumes(), platform::nativeMachineState(), platform::nativeAccounts(),
                                registry_, host_};
    return SystemCollector(sources, lastCpuSample_, [this](std::uint32_t milliseconds, std::uint32_t pausesLeft) {
        // This pause and those after it.
        if (progress_) progress_->waiting(static_cast<int>(std::uint64_t{milliseconds} * (pausesLeft + 1) / 1000));
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    });
}

void MachineCollectors::getSystem(const std::wstring& item, ReportSink& system) {
    systemCollector().collect(item, system);
}
void MachineCollectors::getUser(const std::wstring& account, ReportSink& system) {
    systemCollector().userGroups(account, system);
}
std::wstring MachineCollectors::systemFigures() { return systemCollector().systemFigures(); }

void MachineCollectors::serviceStatus(const std::wstring& name, ReportSink& service) {
    ServiceCollector(services_, registry_, host_).serviceStatus(name, service);
}

void MachineCollectors::allServices(ReportSink& service) {
    ServiceCollector(services_, registry_, host_).allServices(service);
}