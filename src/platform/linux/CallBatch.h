#pragma once
#include <cerrno>
#include <cstdint>
#include <memory>
#include <vector>

namespace platform::linux_layer {

// System calls queued together and made in one go: through the kernel's
// submission ring where the kernel offers one, one after another otherwise.
// On a machine where every call is a costly trip into the kernel, a walk that
// opens, reads and closes each file makes a few trips per batch instead of
// several per file. Each result is what the call returns, or minus its errno.
class CallBatch {
public:
    // withRing false makes every call on its own, as where no ring is offered.
    explicit CallBatch(bool withRing = true);
    CallBatch(const CallBatch&) = delete;
    CallBatch& operator=(const CallBatch&) = delete;
    ~CallBatch();

    void openAt(int directory, const char* name, int flags, int& result);
    void readAt(int descriptor, void* buffer, std::uint32_t length, std::uint64_t offset, int& result);
    void close(int descriptor);
    // Makes every queued call; their results are in place when it returns.
    void complete();

private:
    class Ring;
    struct Call {
        enum class Kind : std::uint8_t { openAt, readAt, close } kind;
        // The directory of openAt, the file of the others.
        int descriptor;
        const char* name = nullptr;
        int flags = 0;
        void* buffer = nullptr;
        std::uint32_t length = 0;
        std::uint64_t offset = 0;
        // Where the caller wants the outcome; nothing for close.
        int* result = nullptr;
        int outcome = -ECANCELED;
    };

    // The outcome of a call the kernel never took.
    static constexpr int neverTaken = 1 << 30;

    static int makeAlone(const Call& call);

    std::unique_ptr<Ring> ring_;
    std::vector<Call> queued_;
};

}  // namespace platform::linux_layer
