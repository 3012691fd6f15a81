#pragma once
#include "config/XmlNode.h"
#include "dispatch/Collectors.h"
#include "dispatch/CommandTable.h"
#include "dispatch/ReportSections.h"
#include "platform/FileSystem.h"

// Walks the configuration tree depth-first and routes every value element
// (category = its parent's name, function = its name, value = its text) to the
// collector that serves it; misplaced or unknown requests are skipped silently.
class Dispatcher {
public:
    Dispatcher(Collectors& collectors, const platform::FileSystem& files, ReportSections sections)
        : collectors_(collectors), files_(files), sections_(sections) {}

    // Returns the category code of the last request, or notFound when there was none.
    int walk(const XmlNodeVector& root);
    // Returns the category code of the request.
    int dispatch(const std::wstring& category, const std::wstring& function, const std::wstring& value);

private:
    void embedFile(const std::wstring& path);

    Collectors& collectors_;
    const platform::FileSystem& files_;
    ReportSections sections_;
    const CommandTable commands_;
};
