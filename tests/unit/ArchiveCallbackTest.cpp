#include "archive/ArchiveUpdateCallback.h"
#include "archive/StreamWrappers.h"
#include "fakes/FakeArchivePlatform.h"

#include <gtest/gtest.h>

using namespace SevenZip::intl;

namespace {

class ArchiveCallback : public ::testing::Test {
protected:
    ArchiveCallback() {
        files.directories = {L".", L"c:\\out", L"c:\\out\\sub"};
        files.files[L"c:\\out\\r.xml"] = "report";
        entries = {FileEntry{L"r.xml", 3, 1, 2, 6, 0x20, false, L"c:\\out\\r.xml"},
                   FileEntry{L"sub", 0, 0, 0, 0, 0x10, true, L"c:\\out\\sub"}};
        library.load(L"engine.dll");
        callback.reset();
        *callback.receive() = create(L"c:\\out\\");
    }

    ArchiveUpdateCallback* create(const std::wstring& prefix) {
        auto* created = new ArchiveUpdateCallback(prefix, entries, library,
                                                  [this](const FileEntry& entry, platform::ErrorCode& error) {
                                                      return files.openForReading(entry.path, error);
                                                  });
        created->AddRef();
        return created;
    }

    PropVariant property(std::uint32_t index, std::uint32_t id, HResult expected = S_Ok) {
        PropVariant value;
        EXPECT_EQ(callback->GetProperty(index, id, &value), expected) << id;
        return value;
    }

    FakeFileStreams files;
    FakeDynamicLibraries libraries;
    SevenZip::EngineLibrary library{libraries};
    std::vector<FileEntry> entries;
    ComPointer<ArchiveUpdateCallback> callback;
};

}  // namespace

TEST_F(ArchiveCallback, AnswersExactlyItsThreeInterfacesWithTheirOwnViews) {
    void* view = nullptr;
    ASSERT_EQ(callback->QueryInterface(IID_IArchiveUpdateCallback, &view), S_Ok);
    EXPECT_EQ(view, static_cast<IArchiveUpdateCallback*>(callback.get()));
    ASSERT_EQ(callback->QueryInterface(IID_IUnknown, &view), S_Ok);
    EXPECT_EQ(view, static_cast<IArchiveUpdateCallback*>(callback.get()));
    ASSERT_EQ(callback->QueryInterface(IID_ICryptoGetTextPassword2, &view), S_Ok);
    EXPECT_EQ(view, static_cast<ICryptoGetTextPassword2*>(callback.get()));
    ASSERT_EQ(callback->QueryInterface(IID_ICompressProgressInfo, &view), S_Ok);
    EXPECT_EQ(view, static_cast<ICompressProgressInfo*>(callback.get()));
    // Each answer took a reference: four given back leave the test's own.
    for (int i = 0; i < 4; ++i) callback->Release();
    for (const Guid& other : {IID_IOutStream, engineGuid(0x00, 0x05), engineGuid(0x06, 0x83)}) {
        view = &view;
        EXPECT_EQ(callback->QueryInterface(other, &view), E_NoInterface);
        EXPECT_EQ(view, nullptr);
    }
    EXPECT_EQ(callback->AddRef(), 2u);
    EXPECT_EQ(callback->Release(), 1u);
}

TEST_F(ArchiveCallback, DescribesEveryEntryAsNewWithItsProperties) {
    std::int32_t newData = 0;
    std::int32_t newProperties = 0;
    std::uint32_t indexInArchive = 0;
    EXPECT_EQ(callback->GetUpdateItemInfo(0, &newData, &newProperties, &indexInArchive), S_Ok);
    EXPECT_EQ(newData, 1);
    EXPECT_EQ(newProperties, 1);
    EXPECT_EQ(indexInArchive, 0xFFFFFFFFu);

    PropVariant path = property(0, kpidPath);
    ASSERT_EQ(path.vt, VT_Bstr);
    EXPECT_STREQ(path.bstrVal, L"r.xml");
    delete[] path.bstrVal;
    EXPECT_EQ(property(0, kpidIsDir).boolVal, 0);
    EXPECT_EQ(property(1, kpidIsDir).vt, VT_Bool);
    EXPECT_EQ(property(1, kpidIsDir).boolVal, -1);
    const PropVariant size = property(0, kpidSize);
    EXPECT_EQ(size.vt, VT_UI8);
    EXPECT_EQ(size.uhVal, 6u);
    const PropVariant attributes = property(1, kpidAttrib);
    EXPECT_EQ(attributes.vt, VT_UI4);
    EXPECT_EQ(attributes.ulVal, 0x10u);
    EXPECT_EQ(property(0, kpidCTime).vt, VT_FileTime);
    EXPECT_EQ(property(0, kpidCTime).uhVal, 1u);
    EXPECT_EQ(property(0, kpidATime).uhVal, 2u);
    EXPECT_EQ(property(0, kpidMTime).uhVal, 3u);
    EXPECT_EQ(property(0, 4).vt, VT_Empty);
}

TEST_F(ArchiveCallback, AntiItemIsFalseForAnyIndexWhileOtherPropertiesCheckTheIndex) {
    const PropVariant anti = property(99, kpidIsAnti);
    EXPECT_EQ(anti.vt, VT_Bool);
    EXPECT_EQ(anti.boolVal, 0);
    PropVariant untouched;
    untouched.vt = 0x7777;
    EXPECT_EQ(callback->GetProperty(2, kpidPath, &untouched), E_InvalidArg);
    EXPECT_EQ(untouched.vt, 0x7777);
    ISequentialInStream* stream = nullptr;
    EXPECT_EQ(callback->GetStream(2, &stream), E_InvalidArg);
}

TEST_F(ArchiveCallback, PathAndEmptyPasswordAreEngineStringsOrOutOfMemory) {
    *callback.receive() = create(L"");
    PropVariant path = property(0, kpidPath);
    EXPECT_STREQ(path.bstrVal, L"c:\\out\\r.xml");
    delete[] path.bstrVal;
    std::int32_t passwordDefined = 1;
    wchar_t* noPassword = nullptr;
    EXPECT_EQ(callback->CryptoGetTextPassword2(&passwordDefined, &noPassword), S_Ok);
    EXPECT_EQ(passwordDefined, 0);
    ASSERT_NE(noPassword, nullptr);
    EXPECT_STREQ(noPassword, L"");
    delete[] noPassword;

    libraries.failAllocation = true;
    EXPECT_EQ(property(0, kpidPath, E_OutOfMemory).vt, VT_Empty);
    std::int32_t defined = 1;
    wchar_t* password = nullptr;
    EXPECT_EQ(callback->CryptoGetTextPassword2(&defined, &password), E_OutOfMemory);
}

TEST_F(ArchiveCallback, StreamsOpenFilesOnlyAndFailuresNeverReadAsSuccess) {
    ISequentialInStream* stream = nullptr;
    EXPECT_EQ(callback->GetStream(1, &stream), S_Ok);
    EXPECT_EQ(stream, nullptr);

    ASSERT_EQ(callback->GetStream(0, &stream), S_Ok);
    char buffer[16] = {};
    std::uint32_t read = 0;
    EXPECT_EQ(stream->Read(buffer, sizeof buffer, &read), S_Ok);
    EXPECT_EQ(std::string(buffer, read), "report");
    EXPECT_EQ(stream->Release(), 0u);

    files.unreadable = {L"c:\\out\\r.xml"};
    files.unreadableError = platform::error::sharingViolation;
    EXPECT_EQ(callback->GetStream(0, &stream), static_cast<HResult>(0x80070020));
    files.unreadableError = platform::error::success;
    EXPECT_EQ(callback->GetStream(0, &stream), E_Fail);
    EXPECT_EQ(stream, nullptr);
}

TEST(ArchiveStreams, AdaptersForwardToTheFileAndAnswerTheirInterfaces) {
    std::string bytes = "0123456789";
    auto* input = new InStreamWrapper(std::make_unique<FakeFileStreams::Stream>(bytes));
    ComPointer<InStreamWrapper> in(input);
    void* view = nullptr;
    ASSERT_EQ(in->QueryInterface(IID_IStreamGetSize, &view), S_Ok);
    std::uint64_t size = 0;
    EXPECT_EQ(static_cast<IStreamGetSize*>(view)->GetSize(&size), S_Ok);
    EXPECT_EQ(size, 10u);
    static_cast<IStreamGetSize*>(view)->Release();
    ASSERT_EQ(in->QueryInterface(IID_IInStream, &view), S_Ok);
    static_cast<IInStream*>(view)->Release();
    EXPECT_EQ(in->QueryInterface(IID_IOutStream, &view), E_NoInterface);

    std::uint64_t position = 0;
    EXPECT_EQ(in->Seek(-3, 2, &position), S_Ok);
    EXPECT_EQ(position, 7u);
    char buffer[8] = {};
    EXPECT_EQ(in->Read(buffer, sizeof buffer, nullptr), S_Ok);
    EXPECT_EQ(std::string(buffer, 3), "789");
    EXPECT_EQ(in->Seek(-1, 0, &position), static_cast<HResult>(0x80070083));
    EXPECT_EQ(in->Seek(0, 3, nullptr), E_InvalidArg);

    std::string written;
    ComPointer<OutStreamWrapper> out(new OutStreamWrapper(std::make_unique<FakeFileStreams::Stream>(written)));
    ASSERT_EQ(out->QueryInterface(IID_IOutStream, &view), S_Ok);
    static_cast<IOutStream*>(view)->Release();
    EXPECT_EQ(out->QueryInterface(IID_IInStream, &view), E_NoInterface);
    std::uint32_t count = 0;
    EXPECT_EQ(out->Write("abcdef", 6, &count), S_Ok);
    EXPECT_EQ(count, 6u);
    // The engine rewinds without asking for the position to finish the archive's start.
    EXPECT_EQ(out->Seek(0, 0, nullptr), S_Ok);
    EXPECT_EQ(out->Write("AB", 2, nullptr), S_Ok);
    EXPECT_EQ(out->SetSize(4), S_Ok);
    EXPECT_EQ(written, "ABcd");
}
