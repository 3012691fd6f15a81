#include "read/ReportSource.h"

#include "archive/EngineLibrary.h"
#include "archive/SevenZipException.h"
#include "archive/StreamWrappers.h"
#include "text/Utf8.h"

#include <algorithm>
#include <exception>
#include <vector>

namespace report {
namespace {

using namespace SevenZip::intl;

constexpr unsigned char archiveSignature[6] = {'7', 'z', 0xBC, 0xAF, 0x27, 0x1C};
constexpr std::uint32_t chunkSize = 1u << 20;
// Below this an archive holds too little to share among threads, and setting
// them up for it costs more than its decoding (several times as much under Wine).
constexpr std::uint64_t smallArchive = 1u << 16;

std::string narrow(const std::wstring& wide) { return text::wideToUtf8(wide); }

// The engine's extraction of the one item, written straight into the parser.
// A parser failure stops the engine and is thrown again once it has returned.
class ParsingExtraction final : public IArchiveExtractCallback, public ISequentialOutStream {
public:
    explicit ParsingExtraction(ReportParser& parser) : parser_(parser) {}
    ParsingExtraction(const ParsingExtraction&) = delete;
    ParsingExtraction& operator=(const ParsingExtraction&) = delete;

    HResult SEVENZIP_CALL QueryInterface(const Guid& iid, void** object) override {
        if (iid == IID_IUnknown || iid == IID_IArchiveExtractCallback) {
            *object = static_cast<IArchiveExtractCallback*>(this);
        } else if (iid == IID_ISequentialOutStream) {
            *object = static_cast<ISequentialOutStream*>(this);
        } else {
            *object = nullptr;
            return E_NoInterface;
        }
        AddRef();
        return S_Ok;
    }
    RefCount SEVENZIP_CALL AddRef() override { return references_.increment(); }
    RefCount SEVENZIP_CALL Release() override { return references_.release(this); }
    HResult SEVENZIP_CALL SetTotal(std::uint64_t) override { return S_Ok; }
    HResult SEVENZIP_CALL SetCompleted(const std::uint64_t*) override { return S_Ok; }
    HResult SEVENZIP_CALL GetStream(std::uint32_t, ISequentialOutStream** stream, std::int32_t) override {
        *stream = static_cast<ISequentialOutStream*>(this);
        AddRef();
        return S_Ok;
    }
    HResult SEVENZIP_CALL PrepareOperation(std::int32_t) override { return S_Ok; }
    HResult SEVENZIP_CALL SetOperationResult(std::int32_t result) override {
        operationResult_ = result;
        return S_Ok;
    }
    HResult SEVENZIP_CALL Write(const void* data, std::uint32_t size, std::uint32_t* processedSize) override {
        if (processedSize) *processedSize = 0;
        try {
            parser_.feed(static_cast<const char*>(data), size);
        } catch (...) {
            failure_ = std::current_exception();
            return E_Abort;
        }
        if (processedSize) *processedSize = size;
        return S_Ok;
    }

    void rethrowFailure() const {
        if (failure_) std::rethrow_exception(failure_);
    }
    std::int32_t operationResult() const { return operationResult_; }

private:
    friend class SevenZip::intl::ReferenceCount;
    ~ParsingExtraction() = default;

    ReferenceCount references_;
    ReportParser& parser_;
    std::exception_ptr failure_;
    std::int32_t operationResult_ = 0;
};

// Opens the archive without a password: an engine that asks for one (the
// archive's names are encrypted too) is told no, and the asking is noted.
class PasswordRefusal final : public IArchiveOpenCallback, public ICryptoGetTextPassword {
public:
    PasswordRefusal() = default;
    PasswordRefusal(const PasswordRefusal&) = delete;
    PasswordRefusal& operator=(const PasswordRefusal&) = delete;

    HResult SEVENZIP_CALL QueryInterface(const Guid& iid, void** object) override {
        if (iid == IID_IUnknown || iid == IID_IArchiveOpenCallback) {
            *object = static_cast<IArchiveOpenCallback*>(this);
        } else if (iid == IID_ICryptoGetTextPassword) {
            *object = static_cast<ICryptoGetTextPassword*>(this);
        } else {
            *object = nullptr;
            return E_NoInterface;
        }
        AddRef();
        return S_Ok;
    }
    RefCount SEVENZIP_CALL AddRef() override { return references_.increment(); }
    RefCount SEVENZIP_CALL Release() override { return references_.release(this); }
    HResult SEVENZIP_CALL SetTotal(const std::uint64_t*, const std::uint64_t*) override { return S_Ok; }
    HResult SEVENZIP_CALL SetCompleted(const std::uint64_t*, const std::uint64_t*) override { return S_Ok; }
    HResult SEVENZIP_CALL CryptoGetTextPassword(wchar_t** password) override {
        *password = nullptr;
        asked_ = true;
        return E_Abort;
    }

    bool asked() const { return asked_; }

private:
    friend class SevenZip::intl::ReferenceCount;
    ~PasswordRefusal() = default;

    ReferenceCount references_;
    bool asked_ = false;
};

constexpr const char* protectedByPassword = "Archiv ist durch ein Kennwort geschuetzt";

void check(HResult result, const wchar_t* operation) {
    if (result == S_False) throw ReportError("Archiv nicht lesbar: kein vollstaendiges 7z-Archiv");
    if (result != S_Ok) throw ReportError("Archiv nicht lesbar: " + narrow(SevenZip::resultMessage(operation, result)));
}

SEVENZIP_ENGINE_CALLS bool isSet(IInArchive& archive, PropertyId property) {
    PropVariant value;
    return archive.GetProperty(0, property, &value) == S_Ok && value.vt == VT_Bool && value.boolVal != 0;
}

// Only a hint: an engine that does not take it decodes as it would.
SEVENZIP_ENGINE_CALLS void decodeInOneThread(IInArchive& archive) {
    ComPointer<ISetProperties> properties;
    if (archive.QueryInterface(IID_ISetProperties, reinterpret_cast<void**>(properties.receive())) != S_Ok ||
        !properties)
        return;
    const wchar_t* names[] = {L"mt"};
    PropVariant values[1];
    values[0].vt = VT_UI4;
    values[0].ulVal = 1;
    properties->SetProperties(names, values, 1);
}

}  // namespace

struct ArchiveReaders::Kept {
    explicit Kept(platform::DynamicLibraries& libraries) : libraries(libraries), engine(libraries) {}

    // The reader for one way of decoding, made at its first use.
    SEVENZIP_ENGINE_CALLS IInArchive& reader(bool oneThread) {
        ComPointer<IInArchive>& kept = oneThread ? oneThreadReader : parallelReader;
        if (kept) return *kept;
        try {
            if (!engine.isLoaded()) engine.load(libraries.engineFileName());
            engine.createArchiveReader(kept.receive());
        } catch (const SevenZip::SevenZipException& error) {
            throw ReportError("7-Zip-Engine nicht verfuegbar: " + narrow(error.message()));
        }
        if (oneThread) decodeInOneThread(*kept);
        return *kept;
    }

    platform::DynamicLibraries& libraries;
    SevenZip::EngineLibrary engine;
    ComPointer<IInArchive> oneThreadReader, parallelReader;
};

ArchiveReaders::ArchiveReaders(platform::DynamicLibraries& libraries)
    : kept_(std::make_unique<Kept>(libraries)) {}

ArchiveReaders::~ArchiveReaders() = default;

namespace {

// Leaves the reader ready for the next archive, however this one ended.
class ReaderClosing {
public:
    explicit ReaderClosing(IInArchive& archive) : archive_(archive) {}
    ReaderClosing(const ReaderClosing&) = delete;
    ReaderClosing& operator=(const ReaderClosing&) = delete;
    SEVENZIP_ENGINE_CALLS ~ReaderClosing() { archive_.Close(); }

private:
    IInArchive& archive_;
};

SEVENZIP_ENGINE_CALLS void extractArchive(std::unique_ptr<platform::FileStream> file, ArchiveReaders& readers,
                                          Decoding decoding, ReportParser& parser) {
    std::uint64_t size = 0;
    const bool oneThread = decoding == Decoding::oneThread ||
                           (file->size(size) == platform::error::success && size < smallArchive);
    IInArchive& archive = readers.kept().reader(oneThread);
    const ReaderClosing closing(archive);
    ComPointer<InStreamWrapper> input(new InStreamWrapper(std::move(file)));
    const std::uint64_t scanLimit = 1u << 16;
    ComPointer<PasswordRefusal> opening(new PasswordRefusal);
    const HResult opened = archive.Open(input.get(), &scanLimit, opening.get());
    if (opening->asked()) throw ReportError(protectedByPassword);
    check(opened, L"Open");
    std::uint32_t count = 0;
    check(archive.GetNumberOfItems(&count), L"GetNumberOfItems");
    if (count != 1 || isSet(archive, kpidIsDir))
        throw ReportError("Archiv enthaelt " + std::to_string(count) + " Eintraege statt genau eines Berichts");
    // The engine is given no password: it would only fail to decode.
    if (isSet(archive, kpidEncrypted)) throw ReportError(protectedByPassword);
    ComPointer<ParsingExtraction> extraction(new ParsingExtraction(parser));
    const std::uint32_t index = 0;
    const HResult result = archive.Extract(&index, 1, 0, extraction.get());
    extraction->rethrowFailure();
    check(result, L"Extract");
    if (extraction->operationResult() != 0)
        throw ReportError("Archiv beschaedigt (Ergebnis " + std::to_string(extraction->operationResult()) + ")");
}

void readText(platform::FileStream& file, ReportParser& parser) {
    std::vector<char> buffer(chunkSize);
    for (;;) {
        std::uint32_t read = 0;
        if (file.read(buffer.data(), chunkSize, read) != platform::error::success)
            throw ReportError("Datei nicht lesbar");
        if (read == 0) return;
        parser.feed(buffer.data(), read);
    }
}

// Whether the file, read from its start, is a 7z archive (by its signature, not its name).
bool holdsArchive(platform::FileStream& file) {
    unsigned char start[sizeof archiveSignature] = {};
    std::uint32_t read = 0;
    std::uint64_t position = 0;
    if (file.seek(0, platform::FileStream::fromBegin, position) != platform::error::success ||
        file.read(start, sizeof start, read) != platform::error::success ||
        file.seek(0, platform::FileStream::fromBegin, position) != platform::error::success)
        throw ReportError("Datei nicht lesbar");
    return read == sizeof start && std::equal(start, start + sizeof start, archiveSignature);
}

}  // namespace

bool readReport(const std::wstring& path, const platform::FileSystem& files, platform::DynamicLibraries& libraries,
                ReportParser& parser, Decoding decoding, const seal::Opener* opener) {
    platform::ErrorCode error = platform::error::success;
    std::unique_ptr<platform::FileStream> file = files.openForReading(path, error);
    if (!file) throw ReportError("Datei nicht lesbar: " + narrow(path));
    return readReport(std::move(file), libraries, parser, decoding, opener);
}

bool readReport(std::unique_ptr<platform::FileStream> file, platform::DynamicLibraries& libraries, ReportParser& parser,
                Decoding decoding, const seal::Opener* opener) {
    ArchiveReaders readers(libraries);
    return readReport(std::move(file), readers, parser, decoding, opener);
}

bool readReport(std::unique_ptr<platform::FileStream> file, ArchiveReaders& readers, ReportParser& parser,
                Decoding decoding, const seal::Opener* opener) {
    OpenedReport report = openReport(std::move(file), opener);
    const bool archive = report.archive;
    readReport(std::move(report), readers, parser, decoding);
    return archive;
}

OpenedReport openReport(std::unique_ptr<platform::FileStream> file, const seal::Opener* opener) {
    try {
        file = seal::unsealed(std::move(file), opener);
    } catch (const seal::SealError& error) {
        throw ReportError(error.what());
    }
    const bool archive = holdsArchive(*file);
    return {std::move(file), archive};
}

void readReport(OpenedReport report, ArchiveReaders& readers, ReportParser& parser, Decoding decoding) {
    if (report.archive)
        extractArchive(std::move(report.file), readers, decoding, parser);
    else
        readText(*report.file, parser);
    parser.finish();
}

}  // namespace report
