#include "collect/MachineCollectors.h"

#include "collect/registry/RegistryCollector.h"
#include "collect/services/ServiceCollector.h"

#include <chrono>
#include <thread>

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