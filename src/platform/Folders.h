#pragma once
#include "platform/ErrorCode.h"
#include "platform/FileStreams.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// A folder held open for a search below it. Every step goes from the open
// folder and never through a link, so neither the length of a path nor the
// depth of a tree limits the search, and no link swapped in leads it elsewhere.
class OpenFolder {
public:
    virtual ~OpenFolder() = default;

    // The folder's entries without "." and ".."; false, with the error set,
    // when it cannot be listed.
    virtual bool entries(std::vector<ListedEntry>& found, ErrorCode& error) = 0;
    // A folder inside this one; nothing, with the error set, for a link or anything but a folder.
    virtual std::unique_ptr<OpenFolder> folder(const std::wstring& name, ErrorCode& error) = 0;
    // A regular file inside this one, opened for reading; never through a link.
    virtual std::unique_ptr<FileStream> file(const std::wstring& name, ErrorCode& error) = 0;
};

// Opens folders for searching.
class Folders {
public:
    virtual ~Folders() = default;

    // The folder a path names (a link as the path's last part is followed:
    // the user named it); nothing, with the error set, otherwise.
    virtual std::unique_ptr<OpenFolder> open(const std::wstring& path, ErrorCode& error) = 0;
    // How many folders a search may keep open for later, beside everything else a
    // process opens: a quarter of the descriptors where they are few.
    virtual std::size_t holdable() const = 0;
};

}  // namespace platform
