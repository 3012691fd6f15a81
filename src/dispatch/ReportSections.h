#pragma once
#include <string>

// The five section buffers of the report, filled in the order of the requests.
struct ReportSections {
    std::wstring registry;
    std::wstring file;
    std::wstring directory;
    std::wstring system;
    std::wstring service;
};
