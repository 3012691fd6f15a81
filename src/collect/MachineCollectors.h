#pragma once
#include "collect/files/DirectoryCollector.h"
#include "collect/system/SystemCollector.h"
#include "dispatch/Collectors.h"
#include "dispatch/Progress.h"
#include "platform/Native.h"

// The collectors of the running machine, wired to the native platform layer.
class MachineCollectors : public Collectors {
public:
    // Told the seconds left while the processor load is sampled.
    void setProgress(Progress* progress) { progress_ = progress; }

    void getKey(const std::wstring& path, ReportSink& registry) override;
    void getValue(const std::wstring& path, ReportSink& registry) override;
    void getFileVersion(const std::wstring& path, ReportSink& file) override;
    void getDirectories(const std::wstring& path, ReportSink& directory) override;
    void getDirectoriesRecursively(const std::wstring& path, ReportSink& directory) override;
    void getDirectoriesAndFiles(const std::wstring& path, ReportSink& directory, ReportSink& file) override;
    void getDirectoriesAndFilesRecursively(const std::wstring& path, ReportSink& directory,
                                           ReportSink& file) override;
    void getFiles(const std::wstring& path, ReportSink& file) override;
    void getFilesRecursively(const std::wstring& path) override;
    void getSystem(const std::wstring& item, ReportSink& system) override;
    void getUser(const std::wstring& account, ReportSink& system) override;
    void serviceStatus(const std::wstring& name, ReportSink& service) override;
    void allServices(ReportSink& service) override;
    std::wstring systemFigures() override;

private:
    platform::Host& host_ = platform::nativeHost();
    platform::Registry& registry_ = platform::nativeRegistry();
    platform::FileQueries& fileQueries_ = platform::nativeFileQueries();
    files::DirectoryCollector directories_{fileQueries_, host_, platform::nativeFileSystem().separator()};
    SystemCollector systemCollector();
    CpuSample lastCpuSample_;
    Progress* progress_ = nullptr;
    platform::Services& services_ = platform::nativeServices();
};
