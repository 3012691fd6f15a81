#pragma once
// In-memory stand-ins for the file streams and for the compression engine, so
// that the archive layer's answers and failure paths can be driven exactly.
#include "archive/EngineInterfaces.h"
#include "fakes/MemoryStream.h"
#include "platform/DynamicLibraries.h"
#include "platform/FileStreams.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

// "*" and "?" as a directory listing understands them.
inline bool wildcardMatch(const wchar_t* pattern, const wchar_t* name) {
    if (*pattern == L'\0') return *name == L'\0';
    if (*pattern == L'*') return wildcardMatch(pattern + 1, name) || (*name && wildcardMatch(pattern, name + 1));
    return *name && (*pattern == L'?' || *pattern == *name) && wildcardMatch(pattern + 1, name + 1);
}

// Files and directories under paths with backslashes; a listing of a directory
// shows "." and ".." first, then its entries in name order.
class FakeFileStreams : public platform::FileStreams {
public:
    using Stream = MemoryStream;

    std::unique_ptr<platform::FileStream> openForReading(const std::wstring& path,
                                                         platform::ErrorCode& error) override {
        const auto found = files.find(path);
        if (found == files.end() || unreadable.count(path)) {
            error = unreadableError;
            return nullptr;
        }
        return std::make_unique<Stream>(found->second);
    }
    std::unique_ptr<platform::FileStream> createForWriting(const std::wstring& path,
                                                           platform::ErrorCode& error) override {
        if (directories.count(parentOf(path)) == 0) {
            error = platform::error::pathNotFound;
            return nullptr;
        }
        files[path].clear();
        return std::make_unique<Stream>(files[path]);
    }
    platform::ErrorCode replaceFile(const std::wstring& source, const std::wstring& target) override {
        if (directories.count(target)) return platform::error::accessDenied;
        files[target] = files[source];
        files.erase(source);
        return 0;
    }
    void removeFile(const std::wstring& path) override { files.erase(path); }
    bool isDirectory(const std::wstring& path) const override {
        return directories.count(path.back() == L'\\' ? path.substr(0, path.size() - 1) : path) > 0;
    }

    std::vector<platform::ListedEntry> list(const std::wstring& pattern) const override {
        const std::wstring directory = parentOf(pattern);
        const std::wstring namePattern = pattern.substr(pattern.rfind(L'\\') + 1);
        std::vector<platform::ListedEntry> entries;
        if (directories.count(directory) == 0) return entries;
        for (const wchar_t* dot : {L".", L".."}) {
            if (wildcardMatch(namePattern.c_str(), dot)) entries.push_back({dot, 0, 0, 0, 0, platform::directoryAttribute});
        }
        std::set<std::wstring> names;
        for (const auto& [path, bytes] : files) {
            if (parentOf(path) == directory) names.insert(path);
        }
        for (const auto& path : directories) {
            if (parentOf(path) == directory && path != directory) names.insert(path);
        }
        for (const std::wstring& path : names) {
            const std::wstring name = path.substr(path.rfind(L'\\') + 1);
            if (!wildcardMatch(namePattern.c_str(), name.c_str())) continue;
            const bool isDirectory = directories.count(path) > 0;
            std::uint32_t attributes = isDirectory ? platform::directoryAttribute : 0x20;
            if (links.count(path)) attributes |= platform::reparsePointAttribute;
            entries.push_back({name, 11, 12, 13, isDirectory ? 0 : files.at(path).size(), attributes});
        }
        return entries;
    }
    wchar_t separator() const override { return L'\\'; }

    // Everything before the last backslash; "." for a bare name.
    static std::wstring parentOf(const std::wstring& path) {
        const std::size_t last = path.rfind(L'\\');
        return last == std::wstring::npos ? L"." : path.substr(0, last);
    }

    std::map<std::wstring, std::string> files;
    std::set<std::wstring> directories{L"."};
    std::set<std::wstring> links;
    std::set<std::wstring> unreadable;
    platform::ErrorCode unreadableError = platform::error::fileNotFound;
};

// Strings as the fake engine frees them.
inline wchar_t* fakeAllocateString(const std::wstring& text) {
    auto* copy = new wchar_t[text.size() + 1];
    std::copy(text.begin(), text.end(), copy);
    copy[text.size()] = L'\0';
    return copy;
}

// What the fake engine saw of one archive job, and how it is to end.
struct FakeEngineJob {
    SevenZip::intl::HResult createResult = SevenZip::intl::S_Ok;
    SevenZip::intl::HResult updateResult = SevenZip::intl::S_Ok;
    bool supportsProperties = true;
    std::vector<std::wstring> propertyNames;
    std::uint32_t level = 0;
    std::vector<std::wstring> itemPaths;
    std::vector<std::string> itemContents;
    int handlersCreated = 0;
};

inline FakeEngineJob* fakeEngineJob = nullptr;

// Walks the callback the way the real engine does: every item's properties,
// then the streams, with the output rewound at the end to finish its header.
class FakeOutArchive final : public SevenZip::intl::IOutArchive, public SevenZip::intl::ISetProperties {
public:
    using HResult = SevenZip::intl::HResult;

    HResult SEVENZIP_CALL QueryInterface(const SevenZip::intl::Guid& iid, void** object) override {
        if (iid == SevenZip::intl::IID_ISetProperties && fakeEngineJob->supportsProperties) {
            *object = static_cast<ISetProperties*>(this);
            AddRef();
            return SevenZip::intl::S_Ok;
        }
        *object = nullptr;
        return SevenZip::intl::E_NoInterface;
    }
    SevenZip::intl::RefCount SEVENZIP_CALL AddRef() override { return ++references_; }
    SevenZip::intl::RefCount SEVENZIP_CALL Release() override {
        const auto remaining = --references_;
        if (remaining == 0) delete this;
        return remaining;
    }
    HResult SEVENZIP_CALL SetProperties(const wchar_t* const* names, const SevenZip::intl::PropVariant* values,
                                        std::uint32_t count) override {
        for (std::uint32_t i = 0; i < count; ++i) {
            fakeEngineJob->propertyNames.push_back(names[i]);
            if (values[i].vt != SevenZip::intl::VT_UI4) return SevenZip::intl::E_InvalidArg;
            fakeEngineJob->level = values[i].ulVal;
        }
        return SevenZip::intl::S_Ok;
    }
    HResult SEVENZIP_CALL UpdateItems(SevenZip::intl::ISequentialOutStream* outStream, std::uint32_t count,
                                      SevenZip::intl::IArchiveUpdateCallback* callback) override;
    HResult SEVENZIP_CALL GetFileTimeType(std::uint32_t* type) override {
        *type = 0;
        return SevenZip::intl::S_Ok;
    }

private:
    ~FakeOutArchive() = default;
    SevenZip::intl::RefCount references_ = 0;
};

inline SevenZip::intl::HResult FakeOutArchive::UpdateItems(SevenZip::intl::ISequentialOutStream* outStream,
                                                           std::uint32_t count,
                                                           SevenZip::intl::IArchiveUpdateCallback* callback) {
    using namespace SevenZip::intl;
    std::vector<bool> isDirectory;
    for (std::uint32_t i = 0; i < count; ++i) {
        PropVariant path;
        PropVariant directory;
        if (callback->GetProperty(i, kpidPath, &path) != S_Ok || path.vt != VT_Bstr) return E_InvalidArg;
        fakeEngineJob->itemPaths.push_back(path.bstrVal);
        delete[] path.bstrVal;
        callback->GetProperty(i, kpidIsDir, &directory);
        isDirectory.push_back(directory.vt == VT_Bool && directory.boolVal != 0);
    }
    IOutStream* output = nullptr;
    if (outStream->QueryInterface(IID_IOutStream, reinterpret_cast<void**>(&output)) != S_Ok) return E_NotImpl;
    const char header[32] = "fake archive start";
    output->Write(header, sizeof header, nullptr);
    for (std::uint32_t i = 0; i < count; ++i) {
        if (isDirectory[i]) continue;
        ISequentialInStream* input = nullptr;
        if (const HResult opened = callback->GetStream(i, &input); opened != S_Ok) {
            output->Release();
            return opened;
        }
        std::string content;
        char buffer[3];
        std::uint32_t read = 0;
        HResult reading = S_Ok;
        while ((reading = input->Read(buffer, sizeof buffer, &read)) == S_Ok && read > 0) content.append(buffer, read);
        input->Release();
        if (reading != S_Ok) {
            output->Release();
            return reading;
        }
        output->Write(content.data(), static_cast<std::uint32_t>(content.size()), nullptr);
        fakeEngineJob->itemContents.push_back(content);
    }
    output->Seek(0, 0, nullptr);
    output->Write("FAKE", 4, nullptr);
    output->Release();
    return fakeEngineJob->updateResult;
}

inline SevenZip::intl::HResult SEVENZIP_CALL fakeCreateObject(const SevenZip::intl::Guid* classId,
                                                              const SevenZip::intl::Guid* interfaceId,
                                                              void** object) {
    *object = nullptr;
    if (!(*classId == SevenZip::intl::CLSID_CFormat7z) || !(*interfaceId == SevenZip::intl::IID_IOutArchive)) {
        return SevenZip::intl::E_NoInterface;
    }
    ++fakeEngineJob->handlersCreated;
    if (fakeEngineJob->createResult != SevenZip::intl::S_Ok) return fakeEngineJob->createResult;
    auto* archive = new FakeOutArchive;
    archive->AddRef();
    *object = static_cast<SevenZip::intl::IOutArchive*>(archive);
    return SevenZip::intl::S_Ok;
}

// One library, "engine.dll", that may lack its export; every other name is missing.
class FakeDynamicLibraries : public platform::DynamicLibraries {
public:
    std::wstring engineFileName() const override { return L"engine.dll"; }
    Library load(const std::wstring& name, platform::ErrorCode& error) override {
        if (name != L"engine.dll") {
            error = platform::error::moduleNotFound;
            return nullptr;
        }
        ++loaded;
        return this;
    }
    void* symbol(Library, const char* name) const override {
        return hasCreateObject && std::string(name) == "CreateObject" ? reinterpret_cast<void*>(&fakeCreateObject)
                                                                       : nullptr;
    }
    bool release(Library) override {
        --loaded;
        return true;
    }
    wchar_t* allocateString(Library, const std::wstring& text) const override {
        return failAllocation ? nullptr : fakeAllocateString(text);
    }

    bool hasCreateObject = true;
    bool failAllocation = false;
    int loaded = 0;
};
