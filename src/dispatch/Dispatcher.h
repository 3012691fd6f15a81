#pragma once
#include "config/CommandTable.h"
#include "config/XmlNode.h"
#include "dispatch/Collectors.h"
#include "dispatch/Progress.h"
#include "dispatch/ReportSections.h"
#include "platform/FileSystem.h"

#include <functional>
#include <vector>

// Visits every value element of the tree depth-first, in the order a run serves
// them, with the name of the element that holds it as the category.
void forEachRequest(const XmlNodeVector& root,
                    const std::function<void(const std::wstring& category, const XmlNodeValue& value)>& visit);

// Walks the configuration tree depth-first and routes every value element
// (category = its parent's name, function = its name, value = its text) to the
// collector that serves it; misplaced or unknown requests are skipped silently.
class Dispatcher {
public:
    Dispatcher(Collectors& collectors, const platform::FileSystem& files, ReportSections sections)
        : collectors_(collectors), files_(files), sections_(sections) {}

    // Returns the category code of the last request, or notFound when there was none.
    // `served` hears of each request that was served, once it was.
    int walk(const XmlNodeVector& root, Progress* progress = nullptr, const std::function<void()>& served = {});
    // The sections each request the walk serves may write, in the order served:
    // bit i stands for the i-th section in the report's order.
    static std::vector<unsigned> sectionPlan(const XmlNodeVector& root);
    // Returns the category code of the request.
    int dispatch(const std::wstring& category, const std::wstring& function, const std::wstring& value);

private:
    // Serves one request; whatever it throws, an allocation failure included,
    // becomes an error element in its section and the walk goes on.
    int serve(const std::wstring& category, const std::wstring& function, const std::wstring& value,
              const ReportSections& out);
    int dispatch(const std::wstring& category, const std::wstring& function, const std::wstring& value,
                 const ReportSections& out);
    void embedFile(const std::wstring& path, ReportSink& out);

    Collectors& collectors_;
    const platform::FileSystem& files_;
    ReportSections sections_;
    const CommandTable commands_;
};
