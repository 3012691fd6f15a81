#pragma once
#include "dispatch/ReportSink.h"

#include <string>

// The collectors the dispatcher routes requests to. Each appends finished XML
// elements to the output texts it is handed and never removes anything.
class Collectors {
public:
    virtual ~Collectors() = default;

    virtual void getKey(const std::wstring& path, std::wstring& registryText) = 0;
    virtual void getValue(const std::wstring& path, std::wstring& registryText) = 0;
    virtual void getFileVersion(const std::wstring& path, std::wstring& fileText) = 0;
    virtual void getDirectories(const std::wstring& path, std::wstring& directoryText) = 0;
    virtual void getDirectoriesRecursively(const std::wstring& path, std::wstring& directoryText) = 0;
    virtual void getDirectoriesAndFiles(const std::wstring& path, std::wstring& directoryText,
                                        std::wstring& fileText) = 0;
    virtual void getDirectoriesAndFilesRecursively(const std::wstring& path, std::wstring& directoryText,
                                                   std::wstring& fileText) = 0;
    virtual void getFiles(const std::wstring& path, std::wstring& fileText) = 0;
    virtual void getFilesRecursively(const std::wstring& path) = 0;
    virtual void getSystem(const std::wstring& item, ReportSink& system) = 0;
    virtual void getUser(const std::wstring& account, ReportSink& system) = 0;
    virtual void serviceStatus(const std::wstring& name, ReportSink& service) = 0;
    virtual void allServices(ReportSink& service) = 0;
    // The attribute text of the report's system element.
    virtual std::wstring systemFigures() = 0;
};
