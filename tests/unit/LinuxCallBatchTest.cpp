#include "platform/linux/CallBatch.h"
#include "platform/linux/Descriptor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using platform::linux_layer::CallBatch;
using platform::linux_layer::Descriptor;

// Where the kernel offers no ring both batches make their calls one by one, and still must agree.
TEST(LinuxCallBatch, ResultsAreTheSameThroughTheRingAndCallByCall) {
    const fs::path folder = fs::temp_directory_path() / ("tavisk-batch-" + std::to_string(getpid()));
    fs::create_directories(folder);
    std::ofstream(folder / "data") << "0123456789";
    const Descriptor directory(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));

    for (const bool withRing : {true, false}) {
        SCOPED_TRACE(withRing ? "through the ring" : "call by call");
        CallBatch calls(withRing);
        // More calls than the ring holds at once.
        std::vector<int> opened(300);
        for (int& result : opened) calls.openAt(directory.get(), "data", O_RDONLY | O_CLOEXEC, result);
        int missing = 0;
        calls.openAt(directory.get(), "missing", O_RDONLY | O_CLOEXEC, missing);
        calls.complete();
        EXPECT_EQ(missing, -ENOENT);
        ASSERT_TRUE(std::all_of(opened.begin(), opened.end(), [](int result) { return result >= 0; }));

        char middle[4] = {};
        char beyond[4] = {};
        int middleRead = -1;
        int beyondRead = -1;
        calls.readAt(opened.front(), middle, sizeof middle, 3, middleRead);
        calls.readAt(opened.front(), beyond, sizeof beyond, 100, beyondRead);
        calls.complete();
        EXPECT_EQ(middleRead, 4);
        EXPECT_EQ(std::string(middle, sizeof middle), "3456");
        EXPECT_EQ(beyondRead, 0);

        for (const int descriptor : opened) calls.close(descriptor);
        calls.complete();
        EXPECT_EQ(fcntl(opened.back(), F_GETFD), -1) << "closed";
    }
    fs::remove_all(folder);
}

}  // namespace
