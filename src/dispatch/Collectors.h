#pragma once
#include "dispatch/ReportSink.h"

#include <string>

// The collectors the dispatcher routes requests to. Each writes finished XML
// elements to the sinks it is handed, as it produces them.
class Collectors {
public:
    virtual ~Collectors() = default;

    virtual void getKey(const std::wstring& path, ReportSink& registry) = 0;
    virtual void getValue(const std::wstring& path, ReportSink& registry) = 0;
    virtual void getFileVersion(const std::wstring& path, ReportSink& file) = 0;
    virtual void getDirectories(const std::wstring& path, ReportSink& directory) = 0;
    virtual void getDirectoriesRecursively(const std::wstring& path, ReportSink& directory) = 0;
    virtual void getDirectoriesAndFiles(const std::wstring& path, ReportSink& directory, ReportSink& file) = 0;
    virtual void getDirectoriesAndFilesRecursively(const std::wstring& path, ReportSink& directory,
                                                   ReportSink& file) = 0;
    virtual void getFiles(const std::wstring& path, ReportSink& file) = 0;
    virtual void getFilesRecursively(const std::wstring& path) = 0;
    virtual void getSystem(const std::wstring& item, ReportSink& system) = 0;
    virtual void getUser(const std::wstring& account, ReportSink& system) = 0;
    virtual void serviceStatus(const std::wstring& name, ReportSink& service) = 0;
    virtual void allServices(ReportSink& service) = 0;
    // The attribute text of the report's system element.
    virtual std::wstring systemFigures() = 0;
};
