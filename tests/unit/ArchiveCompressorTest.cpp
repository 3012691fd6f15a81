#include "archive/EngineLibrary.h"
#include "archive/SevenZipCompressor.h"
#include "archive/SevenZipException.h"
#include "fakes/FakeArchivePlatform.h"
#include "fakes/FakePlatform.h"

#include <gtest/gtest.h>

using namespace SevenZip;

namespace {

std::wstring messageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const SevenZipException& failure) {
        return failure.message();
    }
    return L"(nothing thrown)";
}

class ArchiveCompressor : public ::testing::Test {
protected:
    ArchiveCompressor() {
        fakeEngineJob = &job;
        files.directories = {L".", L"c:", L"c:\\out", L"c:\\data", L"c:\\data\\sub", L"c:\\data\\none",
                             L"c:\\data\\none\\deeper"};
        files.files[L"c:\\out\\r.xml"] = "<report/>";
        files.files[L"c:\\data\\a.txt"] = "alpha";
        files.files[L"c:\\data\\b.log"] = "beta";
        files.files[L"c:\\data\\sub\\c.txt"] = "gamma";
        library.load(L"engine.dll");
    }
    ~ArchiveCompressor() override { fakeEngineJob = nullptr; }

    FakeEngineJob job;
    FakeFileStreams files;
    FakeDynamicLibraries libraries;
    EngineLibrary library{libraries};
};

}  // namespace

TEST(ArchiveMessages, CarryTheOperationAndTheCodeInTheirFixedForms) {
    EXPECT_EQ(lastErrorMessage(L"LoadLibrary", 4294967295u), L"LoadLibrary: GetLastError = 4294967295");
    EXPECT_EQ(resultMessage(L"CreateObject", static_cast<std::int32_t>(0x80040111)),
              L"CreateObject: HRESULT = 0x80040111");
    EXPECT_EQ(resultMessage(L"Create archive", 0x1A), L"Create archive: HRESULT = 0x0000001A");
    EXPECT_EQ(formatMessage(L"File \"%s\" does not exist", L"c:\\r.xml"), L"File \"c:\\r.xml\" does not exist");
}

TEST_F(ArchiveCompressor, LoaderHoldsALibraryOnlyWithItsExport) {
    EngineLibrary empty(libraries);
    intl::IOutArchive* untouched = reinterpret_cast<intl::IOutArchive*>(&empty);
    EXPECT_EQ(messageOf([&] { empty.createArchiveHandler(&untouched); }), L"Library is not loaded");
    EXPECT_EQ(untouched, reinterpret_cast<intl::IOutArchive*>(&empty));
    EXPECT_FALSE(empty.release());

    EXPECT_EQ(messageOf([&] { empty.load(L"7zx86.dll"); }), L"LoadLibrary: GetLastError = 126");
    libraries.hasCreateObject = false;
    const int loadedBefore = libraries.loaded;
    EXPECT_EQ(messageOf([&] { empty.load(L"engine.dll"); }),
              L"Loaded library is missing required CreateObject function");
    EXPECT_FALSE(empty.isLoaded());
    EXPECT_EQ(libraries.loaded, loadedBefore);

    job.createResult = static_cast<intl::HResult>(0x80040111);
    intl::ComPointer<intl::IOutArchive> handler;
    EXPECT_EQ(messageOf([&] { library.createArchiveHandler(handler.receive()); }),
              L"CreateObject: HRESULT = 0x80040111");
    EXPECT_TRUE(library.release());
    EXPECT_EQ(libraries.loaded, 0);
}

TEST_F(ArchiveCompressor, OneFileGoesInUnderItsFullPathAtLevelTwo) {
    SevenZipCompressor(library, L"c:\\out\\r.tavisk", files).compressFile(L"c:\\out\\r.xml");
    EXPECT_EQ(job.propertyNames, std::vector<std::wstring>{L"x"});
    EXPECT_EQ(job.level, 2u);
    EXPECT_EQ(job.itemPaths, std::vector<std::wstring>{L"c:\\out\\r.xml"});
    EXPECT_EQ(job.itemContents, std::vector<std::string>{"<report/>"});
    EXPECT_EQ(files.files.at(L"c:\\out\\r.tavisk").substr(0, 4), "FAKE");
    EXPECT_EQ(files.files.count(L"c:\\out\\r.tavisk.part"), 0u);

    // A bare name is looked for in the current directory and stored as it is.
    files.files[L"bare.xml"] = "bare";
    job.itemPaths.clear();
    SevenZipCompressor(library, L"c:\\out\\bare.tavisk", files).compressFile(L"bare.xml");
    EXPECT_EQ(job.itemPaths, std::vector<std::wstring>{L"bare.xml"});
}

// Another file matching them would be packed and its contents disclosed.
TEST_F(ArchiveCompressor, WildcardsInTheFileNameStandForThemselves) {
    SevenZipCompressor compressor(library, L"c:\\out\\r.tavisk", files);
    files.files[L"c:\\out\\a*.xml"] = "<report/>";
    files.files[L"c:\\out\\a!.xml"] = "secret";  // listed first
    compressor.compressFile(L"c:\\out\\a*.xml");
    EXPECT_EQ(job.itemContents, std::vector<std::string>{"<report/>"});
    EXPECT_EQ(messageOf([&] { compressor.compressFile(L"c:\\out\\?.xml"); }),
              L"File \"c:\\out\\?.xml\" does not exist");
}

TEST_F(ArchiveCompressor, MissingFileOrDirectoryFailsBeforeTheEngineIsAsked) {
    SevenZipCompressor compressor(library, L"c:\\out\\r.tavisk", files);
    EXPECT_EQ(messageOf([&] { compressor.compressFile(L"c:\\out\\none.xml"); }),
              L"File \"c:\\out\\none.xml\" does not exist");
    EXPECT_EQ(messageOf([&] { compressor.compressFile(L"c:\\out"); }), L"File \"c:\\out\" does not exist");
    EXPECT_EQ(messageOf([&] { compressor.compressDirectory(L"c:\\nowhere", true); }),
              L"Directory \"c:\\nowhere\" does not exist");
    EXPECT_EQ(messageOf([&] { compressor.compressAllFiles(L"c:\\out\\r.xml", true); }),
              L"Directory \"c:\\out\\r.xml\" does not exist");
    EXPECT_EQ(messageOf([&] { compressor.compressFiles(L"c:\\data\\none", L"*", true); }),
              L"Directory \"c:\\data\\none\" is empty");
    EXPECT_EQ(job.handlersCreated, 0);
    EXPECT_EQ(files.files.count(L"c:\\out\\r.tavisk"), 0u);
}

TEST_F(ArchiveCompressor, DirectoryOperationsNameItemsFromTheirStartingPoint) {
    SevenZipCompressor compressor(library, L"c:\\out\\d.tavisk", files);
    compressor.compressDirectory(L"c:\\data", true);
    EXPECT_EQ(job.itemPaths, (std::vector<std::wstring>{L"data\\a.txt", L"data\\b.log", L"data\\sub\\c.txt"}));
    EXPECT_EQ(job.itemContents, (std::vector<std::string>{"alpha", "beta", "gamma"}));

    job.itemPaths.clear();
    compressor.compressDirectory(L"c:\\data\\", false);
    EXPECT_EQ(job.itemPaths, (std::vector<std::wstring>{L"data\\a.txt", L"data\\b.log"}));

    job.itemPaths.clear();
    compressor.compressFiles(L"c:\\data", L"*.txt", true);
    EXPECT_EQ(job.itemPaths, (std::vector<std::wstring>{L"a.txt", L"sub\\c.txt"}));

    job.itemPaths.clear();
    compressor.compressAllFiles(L"c:\\data\\", false);
    EXPECT_EQ(job.itemPaths, (std::vector<std::wstring>{L"a.txt", L"b.log"}));
}

TEST_F(ArchiveCompressor, FailuresLeaveNoBrokenArchiveAndKeepAnOlderOne) {
    files.files[L"c:\\out\\r.tavisk"] = "older archive";
    SevenZipCompressor compressor(library, L"c:\\out\\r.tavisk", files);

    job.updateResult = intl::E_Abort;
    EXPECT_EQ(messageOf([&] { compressor.compressFile(L"c:\\out\\r.xml"); }), L"Create archive: HRESULT = 0x80004004");
    job.updateResult = intl::S_Ok;
    files.unreadable = {L"c:\\out\\r.xml"};
    files.unreadableError = platform::error::sharingViolation;
    EXPECT_EQ(messageOf([&] { compressor.compressFile(L"c:\\out\\r.xml"); }), L"Create archive: HRESULT = 0x80070020");
    files.unreadable.clear();
    job.supportsProperties = false;
    EXPECT_EQ(messageOf([&] { compressor.compressFile(L"c:\\out\\r.xml"); }),
              L"Archive does not support setting compression properties");
    EXPECT_EQ(files.files.at(L"c:\\out\\r.tavisk"), "older archive");
    EXPECT_EQ(files.files.count(L"c:\\out\\r.tavisk.part"), 0u);

    job.supportsProperties = true;
    SevenZipCompressor elsewhere(library, L"c:\\gone\\r.tavisk", files);
    EXPECT_EQ(messageOf([&] { elsewhere.compressFile(L"c:\\out\\r.xml"); }),
              L"Could not create archive \"c:\\gone\\r.tavisk\"");
    files.directories.insert(L"c:\\out\\taken.tavisk");
    SevenZipCompressor occupied(library, L"c:\\out\\taken.tavisk", files);
    EXPECT_EQ(messageOf([&] { occupied.compressFile(L"c:\\out\\r.xml"); }),
              L"Could not create archive \"c:\\out\\taken.tavisk\"");
    EXPECT_EQ(files.files.count(L"c:\\out\\taken.tavisk.part"), 0u);
}

