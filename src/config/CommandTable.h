#pragma once
#include <array>
#include <string>

// The fixed vocabulary of the configuration: a name's position is its code.
class CommandTable {
public:
    enum Code : int {
        notFound = -1,
        config = 0,
        registry = 1,
        getKey = 2,
        getValue = 3,
        file = 4,
        getFile = 5,
        getFileVersion = 6,
        directory = 7,
        getDirectories = 8,
        getDirectoriesRecursively = 9,
        getDirectoriesAndFiles = 10,
        system = 11,
        getSystem = 12,
        getDirectoriesAndFilesRecursively = 13,
        service = 14,
        getServiceStatus = 15,
        getUser = 16,
        getFiles = 17,
        getFilesRecursively = 18,
    };
    static constexpr int size = 19;

    // Whether a request is served, and why not when it is not.
    enum class Placement { served, unknownFunction, wrongCategory, outsideCategory };

    CommandTable();

    int lookup(const std::wstring& name) const;
    const std::wstring& name(int code) const { return names_.at(static_cast<std::size_t>(code)); }
    // The root and the five categories: repeated elements with these names merge.
    bool isGroupingName(const std::wstring& name) const;
    static bool isCategory(int code);
    // The category a function belongs to, or notFound for names that are no function.
    static int categoryOf(int functionCode);
    static Placement placement(int categoryCode, int functionCode);

private:
    std::array<std::wstring, size> names_;
};
