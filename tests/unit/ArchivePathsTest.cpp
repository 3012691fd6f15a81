#include "archive/PathFunctions.h"
#include "archive/PathScanner.h"
#include "fakes/FakeArchivePlatform.h"

#include <gtest/gtest.h>

using namespace SevenZip::intl;

TEST(ArchivePaths, SplitAtTheLastSeparatorOfEitherKind) {
    EXPECT_EQ(directoryPart(L"c:\\out\\r.xml", L'\\'), L"c:\\out\\");
    EXPECT_EQ(directoryPart(L"c:\\out/sub\\r.xml", L'\\'), L"c:\\out/sub\\");
    EXPECT_EQ(directoryPart(L"c:\\out\\", L'\\'), L"c:\\out\\");
    EXPECT_EQ(directoryPart(L"r.xml", L'\\'), L"");
    EXPECT_EQ(fileNamePart(L"c:\\out/r.xml", L'\\'), L"r.xml");
    EXPECT_EQ(fileNamePart(L"c:\\out\\", L'\\'), L"");
    EXPECT_EQ(fileNamePart(L"r.xml", L'\\'), L"r.xml");
    // Where the backslash is no separator it is part of the name.
    EXPECT_EQ(directoryPart(L"/tmp/a\\b.xml", L'/'), L"/tmp/");
    EXPECT_EQ(fileNamePart(L"/tmp/a\\b.xml", L'/'), L"a\\b.xml");
}

TEST(ArchivePaths, CombineAddsTheSeparatorOnlyWhereMissing) {
    EXPECT_EQ(combinePath(L"", L"r.xml", L'\\'), L"r.xml");
    EXPECT_EQ(combinePath(L"c:\\out\\", L"r.xml", L'\\'), L"c:\\out\\r.xml");
    EXPECT_EQ(combinePath(L"c:\\out/", L"r.xml", L'\\'), L"c:\\out/r.xml");
    EXPECT_EQ(combinePath(L"c:\\out", L"r.xml", L'\\'), L"c:\\out\\r.xml");
    EXPECT_EQ(combinePath(L"/tmp", L"r.xml", L'/'), L"/tmp/r.xml");
}

TEST(ArchivePaths, RelativePathNeedsAStrictlyLongerExactContinuation) {
    EXPECT_EQ(relativePath(L"c:\\out\\", L"c:\\out\\sub\\r.xml"), L"sub\\r.xml");
    EXPECT_EQ(relativePath(L"", L"c:\\out\\r.xml"), L"c:\\out\\r.xml");
    EXPECT_EQ(relativePath(L"c:\\out\\", L"c:\\out\\"), L"");
    EXPECT_EQ(relativePath(L"C:\\OUT\\", L"c:\\out\\r.xml"), L"");
    EXPECT_EQ(relativePath(L"c:\\other\\", L"c:\\out\\r.xml"), L"");
}

namespace {

// Records every hook in the order the scanner calls it.
class RecordingCallback : public PathScanner::Callback {
public:
    void beginScan() override { calls.push_back(L"begin"); }
    void endScan() override { calls.push_back(L"end"); }
    bool shouldDescend(const FileEntry& directory) override {
        calls.push_back(L"descend? " + directory.path);
        return descend;
    }
    void enterDirectory(const std::wstring& directory) override { calls.push_back(L"enter " + directory); }
    void leaveDirectory(const std::wstring& directory) override { calls.push_back(L"leave " + directory); }
    void examineFile(const FileEntry& file, bool& exit) override {
        calls.push_back(L"file " + file.path);
        exit = file.name == stopAt;
    }

    std::vector<std::wstring> calls;
    bool descend = true;
    std::wstring stopAt;
};

class ArchiveScanner : public ::testing::Test {
protected:
    ArchiveScanner() {
        files.directories = {L".", L"c:", L"c:\\root", L"c:\\root\\a", L"c:\\root\\a\\deep", L"c:\\root\\b",
                             L"c:\\root\\empty", L"c:\\root\\b\\up"};
        files.links = {L"c:\\root\\b\\up"};
        for (const wchar_t* path : {L"c:\\root\\1.xml", L"c:\\root\\2.txt", L"c:\\root\\a\\3.xml",
                                    L"c:\\root\\a\\deep\\4.xml", L"c:\\root\\b\\5.xml"}) {
            files.files[path] = "x";
        }
    }

    FakeFileStreams files;
    PathScanner scanner{files};
};

}  // namespace

TEST_F(ArchiveScanner, VisitsBreadthFirstWithHooksAroundEachDirectoryThatMatched) {
    RecordingCallback callback;
    scanner.scan(L"c:\\root", L"*.xml", callback);
    const std::vector<std::wstring> expected = {
        L"begin",
        L"enter c:\\root", L"file c:\\root\\1.xml", L"leave c:\\root",
        L"descend? c:\\root\\a", L"descend? c:\\root\\b", L"descend? c:\\root\\empty",
        L"enter c:\\root\\a", L"file c:\\root\\a\\3.xml", L"leave c:\\root\\a",
        L"descend? c:\\root\\a\\deep",
        L"enter c:\\root\\b", L"file c:\\root\\b\\5.xml", L"leave c:\\root\\b",
        // The link back up is not followed; the empty directory matched nothing, so no hooks.
        L"enter c:\\root\\a\\deep", L"file c:\\root\\a\\deep\\4.xml", L"leave c:\\root\\a\\deep",
        L"end"};
    EXPECT_EQ(callback.calls, expected);
}

TEST_F(ArchiveScanner, ExitStopsTheWholeScanAtOnce) {
    RecordingCallback callback;
    callback.stopAt = L"3.xml";
    scanner.scan(L"c:\\root", L"*.xml", callback);
    EXPECT_EQ(callback.calls.at(callback.calls.size() - 2), L"file c:\\root\\a\\3.xml");
    EXPECT_EQ(callback.calls.back(), L"end");

    RecordingCallback flat;
    flat.descend = false;
    scanner.scan(L"c:\\root", L"*", flat);
    EXPECT_EQ(std::count(flat.calls.begin(), flat.calls.end(), L"enter c:\\root\\a"), 0);
}

TEST_F(ArchiveScanner, CollectsEntriesWithTheirListedFacts) {
    ScannerCallback all(true, false);
    scanner.scan(L"c:\\root", L"*", all);
    ASSERT_EQ(all.files().size(), 5u);
    const FileEntry& first = all.files().front();
    EXPECT_EQ(first.name, L"1.xml");
    EXPECT_EQ(first.path, L"c:\\root\\1.xml");
    EXPECT_EQ(first.creationTime, 11u);
    EXPECT_EQ(first.lastAccessTime, 12u);
    EXPECT_EQ(first.lastWriteTime, 13u);
    EXPECT_EQ(first.size, 1u);
    EXPECT_EQ(first.attributes, 0x20u);
    EXPECT_FALSE(first.isDirectory);

    ScannerCallback firstOnly(true, true);
    scanner.scan(L"c:\\root", L"?.xml", firstOnly);
    EXPECT_EQ(firstOnly.files().size(), 1u);
}

TEST_F(ArchiveScanner, EmptinessCountsFilesAnywhereBelowOnly) {
    EXPECT_FALSE(scanner.isEmpty(L"c:\\root"));
    EXPECT_TRUE(scanner.isEmpty(L"c:\\root\\empty"));
    files.files.erase(L"c:\\root\\a\\3.xml");
    EXPECT_FALSE(scanner.isEmpty(L"c:\\root\\a"));
    files.files.erase(L"c:\\root\\a\\deep\\4.xml");
    EXPECT_TRUE(scanner.isEmpty(L"c:\\root\\a"));
    EXPECT_TRUE(scanner.isEmpty(L"c:\\missing"));
}
