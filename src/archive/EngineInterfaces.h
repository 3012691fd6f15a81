#pragma once
// The engine's published binary interfaces: identifiers, method orders and value
// layouts, declared here so that the engine's own headers are not needed.
#include <cstdint>
#include <cstring>

#if defined(_WIN32) && !defined(_WIN64)
#define SEVENZIP_CALL __stdcall
#else
#define SEVENZIP_CALL
#endif

// The engine's objects carry its own type information, not that of the interfaces
// declared here, so the sanitizer's dynamic-type check is off for calls into them.
#if defined(__clang__)
#define SEVENZIP_ENGINE_CALLS __attribute__((no_sanitize("vptr")))
#else
#define SEVENZIP_ENGINE_CALLS
#endif

namespace SevenZip::intl {

// 32 bits on every target; C's long is 64 bits on Linux.
using HResult = std::int32_t;
using RefCount = std::uint32_t;

inline constexpr HResult S_Ok = 0;
inline constexpr HResult S_False = 1;
inline constexpr HResult E_NotImpl = static_cast<HResult>(0x80004001);
inline constexpr HResult E_NoInterface = static_cast<HResult>(0x80004002);
inline constexpr HResult E_Abort = static_cast<HResult>(0x80004004);
inline constexpr HResult E_Fail = static_cast<HResult>(0x80004005);
inline constexpr HResult E_OutOfMemory = static_cast<HResult>(0x8007000E);
inline constexpr HResult E_InvalidArg = static_cast<HResult>(0x80070057);

// A Win32 error code in the Win32 facility; codes that already read as results pass unchanged.
constexpr HResult resultFromWin32(std::uint32_t code) {
    const auto asResult = static_cast<HResult>(code);
    return asResult <= 0 ? asResult : static_cast<HResult>(0x80070000u | (code & 0xFFFFu));
}

struct Guid {
    std::uint32_t data1;
    std::uint16_t data2;
    std::uint16_t data3;
    std::uint8_t data4[8];

    bool operator==(const Guid& other) const { return std::memcmp(this, &other, sizeof(Guid)) == 0; }
};

// The engine's identifiers share one pattern: group and sub-identifier in the last bytes.
constexpr Guid engineGuid(std::uint8_t group, std::uint8_t sub) {
    return {0x23170F69, 0x40C1, 0x278A, {0, 0, 0, group, 0, sub, 0, 0}};
}

inline constexpr Guid CLSID_CFormat7z = {0x23170F69, 0x40C1, 0x278A, {0x10, 0, 0, 0x01, 0x10, 0x07, 0, 0}};
inline constexpr Guid IID_IUnknown = {0, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr Guid IID_ISequentialInStream = engineGuid(0x03, 0x01);
inline constexpr Guid IID_ISequentialOutStream = engineGuid(0x03, 0x02);
inline constexpr Guid IID_IInStream = engineGuid(0x03, 0x03);
inline constexpr Guid IID_IOutStream = engineGuid(0x03, 0x04);
inline constexpr Guid IID_IStreamGetSize = engineGuid(0x03, 0x06);
inline constexpr Guid IID_ICompressProgressInfo = engineGuid(0x04, 0x04);
inline constexpr Guid IID_ICryptoGetTextPassword = engineGuid(0x05, 0x10);
inline constexpr Guid IID_ICryptoGetTextPassword2 = engineGuid(0x05, 0x11);
inline constexpr Guid IID_ISetProperties = engineGuid(0x06, 0x03);
inline constexpr Guid IID_IArchiveUpdateCallback = engineGuid(0x06, 0x80);
inline constexpr Guid IID_IOutArchive = engineGuid(0x06, 0xA0);
inline constexpr Guid IID_IArchiveOpenCallback = engineGuid(0x06, 0x10);
inline constexpr Guid IID_IArchiveExtractCallback = engineGuid(0x06, 0x20);
inline constexpr Guid IID_IInArchive = engineGuid(0x06, 0x60);

enum VarType : std::uint16_t { VT_Empty = 0, VT_Bstr = 8, VT_Bool = 11, VT_UI4 = 19, VT_UI8 = 21, VT_FileTime = 64 };

enum PropertyId : std::uint32_t {
    kpidPath = 3,
    kpidIsDir = 6,
    kpidSize = 7,
    kpidAttrib = 9,
    kpidCTime = 10,
    kpidATime = 11,
    kpidMTime = 12,
    kpidEncrypted = 15,
    kpidIsAnti = 21,
};

inline constexpr std::int16_t variantTrue = -1;

// The system's variant: the value at offset 8; 24 bytes on 64-bit Windows, 16 elsewhere.
struct PropVariant {
    std::uint16_t vt = VT_Empty;
    std::uint16_t reserved1 = 0;
    std::uint16_t reserved2 = 0;
    std::uint16_t reserved3 = 0;
    union {
        std::int16_t boolVal;
        std::uint32_t ulVal;
        std::uint64_t uhVal;  // also a file time, low half first
        wchar_t* bstrVal;
#if defined(_WIN32)
        struct {
            std::uint32_t size;
            void* data;
        } blob;  // gives the union its system size
#endif
    };
};
#if defined(_WIN64)
static_assert(sizeof(PropVariant) == 24);
#else
static_assert(sizeof(PropVariant) == 16);
#endif

// No virtual destructor: the engine's tables hold exactly these slots, in this order.
class IUnknown {
public:
    virtual HResult SEVENZIP_CALL QueryInterface(const Guid& iid, void** object) = 0;
    virtual RefCount SEVENZIP_CALL AddRef() = 0;
    virtual RefCount SEVENZIP_CALL Release() = 0;

protected:
    ~IUnknown() = default;
};

class ISequentialInStream : public IUnknown {
public:
    virtual HResult SEVENZIP_CALL Read(void* data, std::uint32_t size, std::uint32_t* processedSize) = 0;

protected:
    ~ISequentialInStream() = default;
};

class IInStream : public ISequentialInStream {
public:
    virtual HResult SEVENZIP_CALL Seek(std::int64_t offset, std::uint32_t origin, std::uint64_t* newPosition) = 0;

protected:
    ~IInStream() = default;
};

class IStreamGetSize : public IUnknown {
public:
    virtual HResult SEVENZIP_CALL GetSize(std::uint64_t* size) = 0;

protected:
    ~IStreamGetSize() = default;
};

class ISequentialOutStream : public IUnknown {
public:
    virtual HResult SEVENZIP_CALL Write(const void* data, std::uint32_t size, std::uint32_t* processedSize) = 0;

protected:
    ~ISequentialOutStream() = default;
};

class IOutStream : public ISequentialOutStream {
public:
    virtual HResult SEVENZIP_CALL Seek(std::int64_t offset, std::uint32_t origin, std::uint64_t* newPosition) = 0;
    virtual HResult SEVENZIP_CALL SetSize(std::uint64_t newSize) = 0;

protected:
    ~IOutStream() = default;
};

class IProgress : public IUnknown {
public:
    virtual HResult SEVENZIP_CALL SetTotal(std::uint64_t total) = 0;
    virtual HResult SEVENZIP_CALL SetCompleted(const std::uint64_t* completeValue) = 0;

protected:
    ~IProgress() = default;
};

class IArchiveUpdateCallback : public IProgress {
public:
    virtual HResult SEVENZIP_CALL GetUpdateItemInfo(std::uint32_t index, std::int32_t* newData,
                                                    std::int32_t* newProperties, std::uint32_t* indexInArchive) = 0;
    virtual HResult SEVENZIP_CALL GetProperty(std::uint32_t index, std::uint32_t propertyId, PropVariant* value) = 0;
    virtual HResult SEVENZIP_CALL GetStream(std::uint32_t index, ISequentialInStream** inStream) = 0;
    virtual HResult SEVENZIP_CALL SetOperationResult(std::int32_t operationResult) = 0;

protected:
    ~IArchiveUpdateCallback() = default;
};

class ICryptoGetTextPassword : public IUnknown {
public:
    virtual HResult SEVENZIP_CALL CryptoGetTextPassword(wchar_t** password) = 0;

protected:
    ~ICryptoGetTextPassword() = default;
};

class ICryptoGetTextPassword2 : public IUnknown {
public:
    virtual HResult SEVENZIP_CALL CryptoGetTextPassword2(std::int32_t* passwordIsDefined, wchar_t** password) = 0;

protected:
    ~ICryptoGetTextPassword2() = default;
};

class ICompressProgressInfo : public IUnknown {
public:
    virtual HResult SEVENZIP_CALL SetRatioInfo(const std::uint64_t* inSize, const std::uint64_t* outSize) = 0;

protected:
    ~ICompressProgressInfo() = default;
};

class ISetProperties : public IUnknown {
public:
    virtual HResult SEVENZIP_CALL SetProperties(const wchar_t* const* names, const PropVariant* values,
                                                std::uint32_t count) = 0;

protected:
    ~ISetProperties() = default;
};

class IOutArchive : public IUnknown {
public:
    virtual HResult SEVENZIP_CALL UpdateItems(ISequentialOutStream* outStream, std::uint32_t count,
                                              IArchiveUpdateCallback* callback) = 0;
    virtual HResult SEVENZIP_CALL GetFileTimeType(std::uint32_t* type) = 0;

protected:
    ~IOutArchive() = default;
};

class IArchiveOpenCallback : public IUnknown {
public:
    virtual HResult SEVENZIP_CALL SetTotal(const std::uint64_t* files, const std::uint64_t* bytes) = 0;
    virtual HResult SEVENZIP_CALL SetCompleted(const std::uint64_t* files, const std::uint64_t* bytes) = 0;

protected:
    ~IArchiveOpenCallback() = default;
};

class IArchiveExtractCallback : public IProgress {
public:
    virtual HResult SEVENZIP_CALL GetStream(std::uint32_t index, ISequentialOutStream** outStream,
                                            std::int32_t askExtractMode) = 0;
    virtual HResult SEVENZIP_CALL PrepareOperation(std::int32_t askExtractMode) = 0;
    virtual HResult SEVENZIP_CALL SetOperationResult(std::int32_t operationResult) = 0;

protected:
    ~IArchiveExtractCallback() = default;
};

class IInArchive : public IUnknown {
public:
    virtual HResult SEVENZIP_CALL Open(IInStream* stream, const std::uint64_t* maxCheckStartPosition,
                                       IArchiveOpenCallback* openCallback) = 0;
    virtual HResult SEVENZIP_CALL Close() = 0;
    virtual HResult SEVENZIP_CALL GetNumberOfItems(std::uint32_t* count) = 0;
    virtual HResult SEVENZIP_CALL GetProperty(std::uint32_t index, std::uint32_t propertyId, PropVariant* value) = 0;
    virtual HResult SEVENZIP_CALL Extract(const std::uint32_t* indices, std::uint32_t count, std::int32_t testMode,
                                          IArchiveExtractCallback* callback) = 0;
    // The remaining slots (archive properties) are not called.

protected:
    ~IInArchive() = default;
};

using CreateObjectFunction = HResult(SEVENZIP_CALL*)(const Guid* classId, const Guid* interfaceId, void** object);

// Holds one reference to an engine-facing object and gives it back at the end.
template <typename Interface>
class ComPointer {
public:
    ComPointer() = default;
    // Takes a reference of its own, as the creator of a new object does.
    SEVENZIP_ENGINE_CALLS explicit ComPointer(Interface* object) : object_(object) {
        if (object_) object_->AddRef();
    }
    ComPointer(const ComPointer&) = delete;
    ComPointer& operator=(const ComPointer&) = delete;
    ~ComPointer() { reset(); }

    SEVENZIP_ENGINE_CALLS void reset() {
        if (object_) object_->Release();
        object_ = nullptr;
    }
    // For an out parameter whose callee hands over a reference it already took.
    Interface** receive() {
        reset();
        return &object_;
    }
    Interface* get() const { return object_; }
    Interface* operator->() const { return object_; }
    Interface& operator*() const { return *object_; }
    explicit operator bool() const { return object_ != nullptr; }

private:
    Interface* object_ = nullptr;
};

}  // namespace SevenZip::intl
