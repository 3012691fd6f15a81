#include "archive/ReportPacker.h"
#include "driver/ReportFile.h"

#include "fakes/FakeArchivePlatform.h"
#include "fakes/FakePlatform.h"

#include <gtest/gtest.h>

namespace {

struct ReportPacking : ::testing::Test {
    ReportPacking() { fakeEngineJob = &job; }
    ~ReportPacking() override { fakeEngineJob = nullptr; }

    platform::OwnFile own() {
        platform::ErrorCode error = 0;
        return folder.createOwn(error);
    }

    FakeFileSystem files;
    FakeFolder folder{files, L"c:\\out\\"};
    FakeDynamicLibraries libraries;
    FakeEngineJob job;
};

}  // namespace

// A queue of one byte makes every write wait until the engine has read the
// one before: the engine reads the report as it is written.
TEST_F(ReportPacking, TheEngineReadsTheReportAsItIsWritten) {
    {
        ReportFile report(folder, own(), 1);
        SevenZip::ReportPacker packer(libraries, {L"c:\\out\\r.xml", 0}, report, own().stream);
        for (const char* piece : {"<?xml", " version", "=\"1.0\"?>"}) EXPECT_EQ(report.write(piece), 0u);
        report.complete(0);
        EXPECT_TRUE(packer.finish());
        EXPECT_EQ(files.files.at(L"c:\\out\\own1.tmp"), "<?xml version=\"1.0\"?>");
    }
    EXPECT_EQ(job.itemPaths, std::vector<std::wstring>{L"c:\\out\\r.xml"});
    EXPECT_EQ(job.itemContents, std::vector<std::string>{"<?xml version=\"1.0\"?>"});
    EXPECT_EQ(files.own, std::set<std::wstring>{L"c:\\out\\own2.tmp"}) << "the report goes, the archive is the caller's";
}

// Taking back bytes the engine has read makes it start over from the file.
TEST_F(ReportPacking, TakingBackWhatWasReadPacksTheFileAgain) {
    ReportFile report(folder, own(), 1);
    SevenZip::ReportPacker packer(libraries, {L"r.xml", 0}, report, own().stream);
    EXPECT_EQ(report.write("abc"), 0u);
    EXPECT_EQ(report.write("def"), 0u);  // returns once "abc" was read
    EXPECT_EQ(report.truncate(1), 0u);
    EXPECT_EQ(report.write("XY"), 0u);
    report.complete(0);
    EXPECT_TRUE(packer.finish());
    EXPECT_EQ(job.itemContents.back(), "aXY");
    EXPECT_EQ(files.files.at(L"c:\\out\\own2.tmp").substr(0, 4), "FAKE");
}

// Without an engine, or with a report that failed, nothing waits and nothing is packed.
TEST_F(ReportPacking, NoEngineOrAFailedReportPacksNothing) {
    libraries.hasCreateObject = false;
    {
        ReportFile report(folder, own(), 1);
        SevenZip::ReportPacker packer(libraries, {L"r.xml", 0}, report, own().stream);
        EXPECT_EQ(report.write("abc"), 0u);
        EXPECT_EQ(report.write("def"), 0u);
        report.complete(0);
        EXPECT_FALSE(packer.finish());
    }
    libraries.hasCreateObject = true;
    ReportFile report(folder, own(), 1);
    SevenZip::ReportPacker packer(libraries, {L"r.xml", 0}, report, own().stream);
    EXPECT_EQ(report.write("abc"), 0u);
    report.complete(platform::error::diskFull);
    EXPECT_FALSE(packer.finish());
    EXPECT_EQ(report.keepAs(L"r.xml").value_or(L""), L"r.xml");
    EXPECT_EQ(files.files.at(L"c:\\out\\r.xml"), "abc");
}

// The queue's bytes wrap round the end of its block and come out in order.
TEST(ByteQueue, BytesComeOutInOrderAcrossTheEnd) {
    ByteQueue queue(4);
    char out[4] = {};
    EXPECT_EQ(queue.push("abc"), 3u);
    EXPECT_EQ(queue.pop(out, 2), 2u);
    EXPECT_EQ(queue.push("defg"), 3u) << "room for three";
    EXPECT_TRUE(queue.full());
    queue.dropNewest(1);
    EXPECT_EQ(queue.pop(out, 4), 3u);
    EXPECT_EQ(std::string_view(out, 3), "cde");
    EXPECT_EQ(queue.size(), 0u);
}
