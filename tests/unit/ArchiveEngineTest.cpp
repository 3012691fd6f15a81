// The archive layer against the real engine and real files of this machine.
#include "archive/EngineLibrary.h"
#include "archive/SevenZipCompressor.h"
#include "platform/Native.h"
#include "platform/linux/Utf16.h"
#include "text/Utf8.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

std::string commandOutput(const std::string& command) {
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        while (const std::size_t count = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, count);
        pclose(pipe);
    }
    return output;
}

class ArchiveEngine : public ::testing::Test {
protected:
    ArchiveEngine() {
        root_ = std::filesystem::temp_directory_path() / ("tavisk-engine-" + std::to_string(::getpid()));
        std::filesystem::create_directories(root_ / "data" / "sub");
        write(root_ / "data" / "a.txt", "alpha");
        write(root_ / "data" / "sub" / "smile-\xF0\x9F\x98\x80.txt", "gamma");
        library_.load(platform::nativeDynamicLibraries().engineFileName());
    }
    ~ArchiveEngine() override { std::filesystem::remove_all(root_); }

    static void write(const std::filesystem::path& path, const std::string& bytes) { std::ofstream(path) << bytes; }
    std::wstring path(const std::string& relative) const { return text::utf8ToWide((root_ / relative).string()); }
    // The item paths as the command-line 7-Zip lists them, and whether it tests the archive OK.
    std::string listing(const std::string& archive) const {
        return commandOutput("7zz l -slt '" + (root_ / archive).string() + "' | grep '^Path = ' | tail -n +2");
    }
    bool testsOk(const std::string& archive) const {
        return commandOutput("7zz t '" + (root_ / archive).string() + "'").find("Everything is Ok") !=
               std::string::npos;
    }

    std::filesystem::path root_;
    SevenZip::EngineLibrary library_{platform::nativeDynamicLibraries()};
};

}  // namespace

TEST(ArchiveEngineStrings, CharactersBeyondSixteenBitsBecomeSurrogatePairs) {
    EXPECT_EQ(platform::linux_layer::utf16Units(L"a\U0001F600\u00E4"),
              (std::wstring{L'a', wchar_t(0xD83D), wchar_t(0xDE00), L'\u00E4'}));
}

TEST_F(ArchiveEngine, DirectoryOperationsWriteArchivesTheEngineItselfAccepts) {
    SevenZip::SevenZipCompressor(library_, path("tree.7z"), platform::nativeFileStreams())
        .compressDirectory(path("data"), true);
    EXPECT_EQ(listing("tree.7z"), "Path = data/a.txt\nPath = data/sub/smile-\xF0\x9F\x98\x80.txt\n");
    EXPECT_TRUE(testsOk("tree.7z"));

    SevenZip::SevenZipCompressor(library_, path("flat.7z"), platform::nativeFileStreams())
        .compressAllFiles(path("data/"), false);
    EXPECT_EQ(listing("flat.7z"), "Path = a.txt\n");

    SevenZip::SevenZipCompressor(library_, path("pattern.7z"), platform::nativeFileStreams())
        .compressFiles(path("data"), L"smile-*", true);
    EXPECT_EQ(listing("pattern.7z"), "Path = sub/smile-\xF0\x9F\x98\x80.txt\n");
    EXPECT_EQ(commandOutput("7zz e -so '" + (root_ / "pattern.7z").string() + "' 2>/dev/null"), "gamma");
    EXPECT_FALSE(std::filesystem::exists(root_ / "pattern.7z.part"));
}
