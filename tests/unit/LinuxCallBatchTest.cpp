#include "platform/linux/CallBatch.h"
#include "platform/linux/Descriptor.h"
#include "platform/Native.h"

#include <gtest/gtest.h>

#include <linux/filter.h>
#include <linux/seccomp.h>
#include <csignal>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>

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

// A filter that refuses io_uring_enter after the ring is set up (as a container's
// seccomp profile may): every call is still made, none reported as failed.
TEST(LinuxCallBatch, CallsARingRefusesToTakeAreMadeOneByOne) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        CallBatch calls;
        sock_filter refuseEnter[] = {
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_io_uring_enter, 0, 1),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EBUSY),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        };
        const sock_fprog program{static_cast<unsigned short>(std::size(refuseEnter)), refuseEnter};
        if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 || prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0) {
            _exit(2);
        }
        std::vector<int> opened(300, -1);
        for (int& result : opened) calls.openAt(AT_FDCWD, "/dev/null", O_RDONLY | O_CLOEXEC, result);
        calls.complete();
        _exit(std::all_of(opened.begin(), opened.end(), [](int result) { return result >= 0; }) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

// A pipe swapped in for a listed file after its name was read is seen as a
// pipe before anything opens it: a writer waiting for a reader keeps waiting.
TEST(LinuxListing, APipeSwappedInForAListedFileIsNeverOpened) {
    const fs::path folder = fs::temp_directory_path() / ("tavisk-swap-" + std::to_string(getpid()));
    fs::create_directories(folder);
    const fs::path name = folder / "file";
    std::ofstream(name) << "contents";
    const std::string prefix = folder.string() + "/";
    const auto listing = platform::nativeFileQueries().list(std::wstring(prefix.begin(), prefix.end()));
    platform::DirectoryEntry entry;
    ASSERT_TRUE(listing->next(entry));
    fs::remove(name);
    ASSERT_EQ(mkfifo(name.c_str(), 0600), 0);
    const pid_t writer = fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) _exit(open(name.c_str(), O_WRONLY) >= 0 ? 0 : 1);
    usleep(200000);  // the writer waits in its open

    EXPECT_EQ(listing->examineEntry(L"").failure, platform::error::badFileType);
    usleep(200000);
    EXPECT_EQ(waitpid(writer, nullptr, WNOHANG), 0) << "the writer still waits";
    kill(writer, SIGKILL);
    waitpid(writer, nullptr, 0);
    fs::remove_all(folder);
}

// Where others may rename the entries of a folder, a pipe exchanged with a
// listed file again and again while the file is examined is never opened.
TEST(LinuxListing, APipeExchangedWithAFileInAFolderOthersMayChangeIsNeverOpened) {
    struct Folder {
        const char* what;
        mode_t mode;
        uid_t owner;  // 0 for the running user's own
    };
    const Folder folders[] = {
        {"writable by all", 0777, 0}, {"writable by its group", 0775, 0}, {"of another user", 0755, 65534}};
    const fs::path base = fs::temp_directory_path() / ("tavisk-exchange-" + std::to_string(getpid()));
    for (const Folder& shared : folders) {
        SCOPED_TRACE(shared.what);
        if (shared.owner != 0 && geteuid() != 0) continue;  // only the administrator gives folders away
        const fs::path folder = base / "shared";
        fs::create_directories(folder);
        ASSERT_EQ(chmod(folder.c_str(), shared.mode), 0);
        if (shared.owner != 0) {
            ASSERT_EQ(chown(folder.c_str(), shared.owner, shared.owner), 0);
        }
        std::ofstream(folder / "file") << std::string(100, 'x');  // large enough to be opened for a version
        // Small files examined in the same batch hold the pipe's chance open a while.
        for (int small = 0; small < 60; ++small) std::ofstream(folder / ("small" + std::to_string(small)));
        ASSERT_EQ(mkfifo((folder / "pipe").c_str(), 0600), 0);
        fs::create_hard_link(folder / "pipe", base / "writer-end");
        const pid_t writer = fork();
        ASSERT_GE(writer, 0);
        if (writer == 0) _exit(open((base / "writer-end").c_str(), O_WRONLY) >= 0 ? 0 : 1);
        const pid_t exchanger = fork();
        ASSERT_GE(exchanger, 0);
        if (exchanger == 0) {
            const std::string file = folder / "file";
            const std::string pipe = folder / "pipe";
            for (;;) renameat2(AT_FDCWD, file.c_str(), AT_FDCWD, pipe.c_str(), RENAME_EXCHANGE);
        }

        const std::string prefix = folder.string() + "/";
        for (int round = 0; round < 300 && waitpid(writer, nullptr, WNOHANG) == 0; ++round) {
            const auto listing = platform::nativeFileQueries().list(std::wstring(prefix.begin(), prefix.end()));
            platform::DirectoryEntry entry;
            while (listing->next(entry)) listing->examineEntry(L"");
        }
        EXPECT_EQ(waitpid(writer, nullptr, WNOHANG), 0) << "the writer still waits";
        for (const pid_t child : {writer, exchanger}) {
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
        }
        fs::remove_all(base);
    }
}

}  // namespace
