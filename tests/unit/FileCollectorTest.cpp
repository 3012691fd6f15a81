#include "collect/files/DirectoryCollector.h"
#include "collect/files/FileProperties.h"

#include "fakes/FakeFileQueries.h"
#include "fakes/FakePlatform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

namespace {

using platform::DirectoryEntry;
using platform::FileExamination;
using platform::FileTime;
using platform::FileTimes;
using platform::VersionResource;

constexpr FileTime at(std::int64_t secondsSince1970) {
    return static_cast<FileTime>(secondsSince1970 + 11644473600) * 10000000;
}

FileExamination file(std::int64_t size, VersionResource version = VersionResource::none) {
    FileExamination examination;
    examination.times = {at(1430000000), at(1420000000)};
    examination.size = size;
    examination.version = version;
    if (version == VersionResource::withFixedBlock) examination.fixed = {0x0002012C, 0x000401F4, 0x000A0000, 0x00000001};
    return examination;
}

DirectoryEntry directory(const std::wstring& name, std::int64_t seconds = 1400000000) {
    return {name, true, FileTimes{at(seconds), at(seconds - 1)}};
}

DirectoryEntry plainFile(const std::wstring& name) { return {name, false, {}}; }

struct Files : ::testing::Test {
    std::wstring fileVersion(const std::wstring& path) {
        TextSink text;
        files::getFileVersion(queries, path, text);
        return text.take();
    }

    FakeFileQueries queries;
    FakeHost host;
    files::DirectoryCollector collector{queries, host, L'\\'};
    TextSink directoryText;
    TextSink fileText;
};

// A holds B (which holds C with the file f) and D.
struct Tree : Files {
    Tree() {
        auto& a = queries.addDirectory(L"A\\");
        a.entries = {directory(L"."), directory(L".."), directory(L"B", 1), directory(L"D", 3)};
        a.ownTimes = FileTimes{at(100), at(50)};
        a.identity = platform::DirectoryIdentity{1, 1};
        queries.addDirectory(L"A\\B\\").entries = {directory(L"."), directory(L".."), directory(L"C", 2)};
        queries.addDirectory(L"A\\B\\C\\").entries = {directory(L"."), directory(L".."), plainFile(L"f")};
        queries.addDirectory(L"A\\D\\");
        queries.files[L"A\\B\\C\\f"] = file(7);
    }
};

}  // namespace

TEST_F(Files, VersionNumbersAreFourSixteenBitPartsInFull) {
    queries.files[L"C:\\app.exe"] = file(4096, VersionResource::withFixedBlock);
    EXPECT_EQ(fileVersion(L"C:\\app.exe"),
              L"<searchedproperties name=\"C:\\app.exe\">1430000000|1420000000|4096|2.300.4.500|10.0.0.1"
              L"</searchedproperties>\n");
    const auto properties = files::readFileProperties(queries, L"C:\\app.exe");
    EXPECT_EQ(properties.fileVersion(), L"2.300.4.500");
    EXPECT_EQ(properties.productVersion(), L"10.0.0.1");
}

TEST_F(Files, FilesWithoutVersionEndWithTheSizeAndABar) {
    queries.files[L"plain.txt"] = file(0);
    queries.files[L"nofixed.dll"] = file(2, VersionResource::withoutFixedBlock);
    queries.files[L"huge.bin"] = file(std::int64_t{3} << 30);
    EXPECT_EQ(fileVersion(L"plain.txt"), L"<searchedproperties name=\"plain.txt\">1430000000|1420000000|0|</searchedproperties>\n");
    EXPECT_EQ(fileVersion(L"nofixed.dll"),
              L"<searchedproperties name=\"nofixed.dll\">1430000000|1420000000|2|</searchedproperties>\n");
    EXPECT_EQ(fileVersion(L"huge.bin"),
              L"<searchedproperties name=\"huge.bin\">1430000000|1420000000|3221225472|</searchedproperties>\n");
    EXPECT_EQ(files::readFileProperties(queries, L"plain.txt").fileVersion(), L"none");
    EXPECT_EQ(files::readFileProperties(queries, L"nofixed.dll").productVersion(), L"");
}

TEST_F(Files, FailuresBecomeTheirTexts) {
    const std::pair<platform::ErrorCode, const wchar_t*> cases[] = {
        {2, L"File not found."},      {3, L"File not found."},      {206, L"File not found."},
        {87, L"Invalid parameter"},   {123, L"Invalid parameter"},  {5, L"Unexpected error"},
        {32, L"Unexpected error"},    {1, L"Unexpected error"},
    };
    for (const auto& [code, text] : cases) {
        queries.files[L"x&<y"] = FileExamination::failed(code);
        EXPECT_EQ(fileVersion(L"x&<y"), std::wstring(L"<searchedproperties name=\"x&<y\">") + text +
                                            L"</searchedproperties>\n")
            << code;
    }
    EXPECT_EQ(fileVersion(L""), L"<searchedproperties name=\"\">Invalid parameter</searchedproperties>\n");
    // A NUL would cut the path short: it names no file.
    queries.files[L"short"] = file(1);
    const std::wstring cut(L"short\0.txt", 10);
    EXPECT_EQ(fileVersion(cut), L"<searchedproperties name=\"" + cut + L"\">File not found.</searchedproperties>\n");
    EXPECT_TRUE(queries.examined.size() == std::size(cases)) << "an empty path is never handed to the system";

    const std::wstring heading = L"Problem getting File information: \n";
    queries.files[L"gone"] = FileExamination::failed(2);
    queries.files[L"bad"] = FileExamination::failed(87);
    queries.files[L"locked"] = FileExamination::failed(32);
    EXPECT_EQ(files::readFileProperties(queries, L"gone").failureText(), heading + L"File gone not found.\n");
    EXPECT_EQ(files::readFileProperties(queries, L"bad").failureText(), heading + L"Invalid parameter to _stat.\n");
    const auto locked = files::readFileProperties(queries, L"locked");
    EXPECT_EQ(locked.failureText(), heading + L"Unexpected error in _stat\n");
    EXPECT_EQ(locked.size, 0);
    EXPECT_EQ(locked.fileVersion(), L"none");
}

TEST_F(Files, OpenTest) {
    queries.files[L"readable"] = file(1);
    EXPECT_TRUE(files::canOpenForReading(queries, L"readable"));
    EXPECT_FALSE(files::canOpenForReading(queries, L"missing"));
    EXPECT_FALSE(files::canOpenForReading(queries, L""));
}

TEST(FileTimes, CountsSince1601BecomeSecondsSince1970) {
    std::wstring numbers;
    for (const std::int64_t number : {std::int64_t{0}, std::int64_t{-7}, INT64_MIN, INT64_MAX}) {
        files::appendNumber(numbers, number);
        numbers += L' ';
    }
    EXPECT_EQ(numbers, L"0 -7 -9223372036854775808 9223372036854775807 ");
    EXPECT_EQ(files::secondsSince1970(0), -11644473600);
    EXPECT_EQ(files::secondsSince1970(at(0)), 0);
    EXPECT_EQ(files::secondsSince1970(at(1430000000) + 9999999), 1430000000);
    EXPECT_EQ(files::secondsSince1970(at(-2) + 5000000), -2);
}

TEST_F(Files, FlatListingsSplitOneListingInListingOrder) {
    auto& temp = queries.addDirectory(L"C:\\Temp\\");
    temp.entries = {directory(L"."),         directory(L".."),        plainFile(L"b.dll"), directory(L"sub"),
                    plainFile(L".profile"),  plainFile(L"a&<b.txt"), plainFile(L"locked"), directory(L"zero", -11644473600)};
    temp.entries.back().times = FileTimes{};
    queries.files[L"C:\\Temp\\b.dll"] = file(10, VersionResource::withFixedBlock);
    queries.files[L"C:\\Temp\\.profile"] = file(0);
    queries.files[L"C:\\Temp\\a&<b.txt"] = file(3);
    queries.files[L"C:\\Temp\\locked"] = FileExamination::failed(32);

    collector.getDirectoriesAndFiles(L"C:\\Temp", directoryText, fileText);
    EXPECT_EQ(directoryText.text(), L"<directory name=\"C:\\Temp\\sub\">1400000000|1399999999</directory>\n"
                             L"<directory name=\"C:\\Temp\\zero\">-11644473600|-11644473600</directory>\n");
    const std::wstring files =
        L"<properties name=\"C:\\Temp\\b.dll\">1430000000|1420000000|10|2.300.4.500|10.0.0.1</properties>\n"
        L"<properties name=\"C:\\Temp\\.profile\">1430000000|1420000000|0|none|none</properties>\n"
        L"<properties name=\"C:\\Temp\\a&<b.txt\">1430000000|1420000000|3|none|none</properties>\n"
        L"<properties name=\"C:\\Temp\\locked\">Problem getting File information: \nUnexpected error in _stat\n"
        L"</properties>\n";
    EXPECT_EQ(fileText.text(), files);

    // A trailing separator gives the same entry paths; another separator does not count.
    TextSink directories;
    TextSink filesAgain;
    collector.getDirectories(L"C:\\Temp\\", directories);
    collector.getFiles(L"C:\\Temp\\", filesAgain);
    EXPECT_EQ(directories.text(), directoryText.text());
    EXPECT_EQ(filesAgain.text(), files);
    queries.addDirectory(L"C:\\Temp/\\").entries = {directory(L"x")};
    TextSink slashed;
    collector.getDirectories(L"C:\\Temp/", slashed);
    EXPECT_EQ(slashed.text(), L"<directory name=\"C:\\Temp/\\x\">1400000000|1399999999</directory>\n");
}

TEST_F(Files, MissingDirectoriesGiveEachMemberItsText) {
    queries.files[L"C:\\file.txt"] = file(1);
    queries.addDirectory(L"C:\\");
    for (const std::wstring& value : {std::wstring(L"C:\\nothing"), std::wstring(L"C:\\file.txt"), std::wstring(),
                                     std::wstring(L"C:\\\0x", 5)}) {
        TextSink directories;
        TextSink files;
        TextSink recursiveDirectories;
        TextSink recursiveFiles;
        TextSink flatDirectories;
        TextSink flatFiles;
        TextSink onlyFiles;
        collector.getDirectories(value, directories);
        collector.getDirectoriesRecursively(value, recursiveDirectories);
        collector.getDirectoriesAndFiles(value, flatDirectories, flatFiles);
        collector.getDirectoriesAndFilesRecursively(value, recursiveDirectories, recursiveFiles);
        collector.getFiles(value, onlyFiles);
        const std::wstring name = L" name=\"" + value + L"\">";
        EXPECT_EQ(directories.text(), L"<directory" + name + L"Does not exist</directory>\n");
        EXPECT_EQ(recursiveDirectories.text(), L"<directory" + name + L"Directory does not Exist</directory>\n");
        EXPECT_EQ(recursiveFiles.text(), L"");
        EXPECT_EQ(flatDirectories.text(), L"<directory" + name + L"Directory could not be found</directory>\n");
        EXPECT_EQ(flatFiles.text(), L"<properties" + name + L"Directory could not be found</properties>\n");
        EXPECT_EQ(onlyFiles.text(), L"<properties" + name + L"Directory not found</properties>\n");
    }
}

TEST_F(Tree, DirectoriesRecursivelyInPostOrder) {
    collector.getDirectoriesRecursively(L"A", directoryText);
    EXPECT_EQ(directoryText.text(), L"<directory name=\"A\\B\\C\\\">0|0</directory>\n"
                             L"<directory name=\"A\\B\\\">0|0</directory>\n"
                             L"<directory name=\"A\\D\\\">0|0</directory>\n"
                             L"<directory name=\"A\">100|50</directory>\n");
    directoryText.take();
    collector.getDirectoriesRecursively(L"A\\D\\", directoryText);
    EXPECT_EQ(directoryText.text(), L"<directory name=\"A\\D\\\">0|0</directory>\n");
}

TEST_F(Tree, DirectoriesAndFilesRecursivelyInPreOrder) {
    queries.directories[L"A\\B\\"].entries.push_back(plainFile(L"g"));
    queries.files[L"A\\B\\g"] = file(8);
    collector.getDirectoriesAndFilesRecursively(L"A", directoryText, fileText);
    EXPECT_EQ(directoryText.text(), L"<directory name=\"A\\B\">1|0</directory>\n"
                             L"<directory name=\"A\\B\\C\">2|1</directory>\n"
                             L"<directory name=\"A\\D\">3|2</directory>\n");
    EXPECT_EQ(fileText.text(), L"<properties name=\"A\\B\\C\\f\">1430000000|1420000000|7|none|none</properties>\n"
                        L"<properties name=\"A\\B\\g\">1430000000|1420000000|8|none|none</properties>\n");

    TextSink directoriesAgain;
    TextSink filesAgain;
    collector.getDirectoriesAndFilesRecursively(L"A\\", directoriesAgain, filesAgain);
    EXPECT_EQ(directoriesAgain.text() + filesAgain.text(), directoryText.text() + fileText.text());
}

TEST_F(Tree, LinksBackUpTheTreeAreListedButNotEntered) {
    queries.directories[L"A\\D\\"].entries = {directory(L"up")};
    queries.directories[L"A\\D\\up\\"] = queries.directories[L"A\\"];
    queries.directories[L"A\\D\\up\\"].ownTimes = FileTimes{at(7), at(6)};

    collector.getDirectoriesRecursively(L"A", directoryText);
    EXPECT_EQ(directoryText.text(), L"<directory name=\"A\\B\\C\\\">0|0</directory>\n"
                             L"<directory name=\"A\\B\\\">0|0</directory>\n"
                             L"<directory name=\"A\\D\\up\\\">7|6</directory>\n"
                             L"<directory name=\"A\\D\\\">0|0</directory>\n"
                             L"<directory name=\"A\">100|50</directory>\n");
    TextSink directories;
    collector.getDirectoriesAndFilesRecursively(L"A", directories, fileText);
    const std::wstring& listed = directories.text();
    EXPECT_EQ(listed.substr(listed.rfind(L"<directory")), L"<directory name=\"A\\D\\up\">1400000000|1399999999</directory>\n");
    EXPECT_EQ(std::count(listed.begin(), listed.end(), L'\n'), 4);
}

// Links and directories reached again are listed as entries but never entered,
// so reconverging links cannot multiply the walk.
TEST_F(Tree, EachDirectoryIsEnteredOnceAndNeverThroughALink) {
    auto link = directory(L"link", 5);
    link.isLink = true;
    queries.directories[L"A\\D\\"].entries = {link, directory(L"again")};
    queries.directories[L"A\\D\\link\\"].entries = {directory(L"inside")};
    queries.directories[L"A\\D\\again\\"] = queries.directories[L"A\\B\\"];
    queries.directories[L"A\\B\\"].identity = queries.directories[L"A\\D\\again\\"].identity = platform::DirectoryIdentity{1, 2};
    queries.directories[L"A\\D\\again\\"].ownTimes = FileTimes{at(9), at(8)};

    collector.getDirectoriesRecursively(L"A", directoryText);
    EXPECT_EQ(directoryText.text(), L"<directory name=\"A\\B\\C\\\">0|0</directory>\n"
                             L"<directory name=\"A\\B\\\">0|0</directory>\n"
                             L"<directory name=\"A\\D\\link\\\">5|4</directory>\n"
                             L"<directory name=\"A\\D\\again\\\">9|8</directory>\n"
                             L"<directory name=\"A\\D\\\">0|0</directory>\n"
                             L"<directory name=\"A\">100|50</directory>\n");
    TextSink directories;
    collector.getDirectoriesAndFilesRecursively(L"A", directories, fileText);
    EXPECT_EQ(directories.text(), L"<directory name=\"A\\B\">1|0</directory>\n"
                           L"<directory name=\"A\\B\\C\">2|1</directory>\n"
                           L"<directory name=\"A\\D\">3|2</directory>\n"
                           L"<directory name=\"A\\D\\link\">5|4</directory>\n"
                           L"<directory name=\"A\\D\\again\">1400000000|1399999999</directory>\n");
    EXPECT_EQ(std::count(queries.listed.begin(), queries.listed.end(), L"A\\D\\link\\"), 0);
}

// A directory that cannot be read never just vanishes from the report, and one
// that vanished meanwhile gets no invented times.
TEST_F(Tree, DirectoriesThatVanishOrCannotBeListed) {
    // B is listed, then gone before it is entered; D cannot be listed; E is gone before its times are read.
    queries.directories[L"A\\"].entries.push_back({L"E", true, std::nullopt});
    queries.directories.erase(L"A\\B\\");
    queries.directories[L"A\\D\\"].ownTimes.reset();
    queries.directories[L"A\\D\\"].failure = 5;
    collector.getDirectoriesRecursively(L"A", directoryText);
    EXPECT_EQ(directoryText.text(), L"<directory name=\"A\\B\\\">0|0</directory>\n"
                             L"<directory name=\"A\\D\\\">Directory could not be read: message 5</directory>\n"
                             L"<directory name=\"A\\E\\\">0|0</directory>\n"
                             L"<directory name=\"A\">100|50</directory>\n");

    // A file that is listed, then gone before it is examined.
    queries.directories[L"A\\D\\"].entries = {plainFile(L"gone")};
    TextSink directories;
    collector.getDirectoriesAndFilesRecursively(L"A", directories, fileText);
    EXPECT_EQ(directories.text(), L"<directory name=\"A\\B\">1|0</directory>\n"
                           L"<directory name=\"A\\D\">3|2</directory>\n"
                           L"<directory name=\"A\\D\\\">Directory could not be read: message 5</directory>\n"
                           L"<directory name=\"A\\E\">0|0</directory>\n");
    EXPECT_EQ(fileText.text(), L"<properties name=\"A\\D\\gone\">Problem getting File information: \nFile A\\D\\gone not found.\n"
                        L"</properties>\n");

    // The flat members name the directory where its missing-directory element would stand.
    TextSink flat;
    TextSink flatFiles;
    collector.getDirectories(L"A\\D", flat);
    collector.getDirectoriesAndFiles(L"A\\D", flat, flatFiles);
    collector.getFiles(L"A\\D", flatFiles);
    const std::wstring reason = L" name=\"A\\D\">Directory could not be read: message 5</";
    EXPECT_EQ(flat.text(), L"<directory" + reason + L"directory>\n<directory" + reason + L"directory>\n");
    const std::wstring gone = L"<properties name=\"A\\D\\gone\">Problem getting File information: \nFile "
                              L"A\\D\\gone not found.\n</properties>\n";
    EXPECT_EQ(flatFiles.text(), gone + L"<properties" + reason + L"properties>\n" + gone + L"<properties" + reason +
                                    L"properties>\n");
}

TEST_F(Tree, SearchingForFilesRecursivelyCostsNothing) {
    collector.getFilesRecursively(L"A\\*.txt");
    EXPECT_EQ(queries.calls, 0);
}
