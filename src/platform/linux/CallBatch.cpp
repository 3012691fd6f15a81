#include "platform/linux/CallBatch.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/io_uring.h>
#include <span>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform::linux_layer {

// The kernel's submission and completion rings, mapped into the process.
class CallBatch::Ring {
public:
    // Nothing where the kernel refuses a ring (too old, switched off, filtered
    // out) or lacks one of the calls.
    static std::unique_ptr<Ring> open(unsigned entries) {
        io_uring_params parameters{};
        const int descriptor = static_cast<int>(syscall(SYS_io_uring_setup, entries, &parameters));
        if (descriptor < 0) return nullptr;
        auto ring = std::unique_ptr<Ring>(new Ring(descriptor, parameters));
        return ring->mapped() && ring->offersCalls() ? std::move(ring) : nullptr;
    }

    Ring(const Ring&) = delete;
    Ring& operator=(const Ring&) = delete;
    ~Ring() {
        for (const auto& [address, length] : {submissions_, completions_, entries_}) {
            if (address != MAP_FAILED) munmap(address, length);
        }
        ::close(descriptor_);
    }

    unsigned capacity() const { return capacity_; }

    // Submits the calls, at most capacity() of them, and waits for them all.
    // When the ring fails, the calls it never took are withdrawn and those it
    // took are awaited a while; false then, and what is still unfinished keeps
    // its outcome.
    bool make(std::span<Call> calls) {
        const unsigned head = std::atomic_ref(*submissionHead_).load(std::memory_order_acquire);
        unsigned tail = *submissionTail_;
        for (const Call& call : calls) {
            const unsigned index = tail++ & submissionMask_;
            submissionArray_[index] = index;
            fill(static_cast<io_uring_sqe*>(entries_.address)[index], call);
        }
        std::atomic_ref(*submissionTail_).store(tail, std::memory_order_release);
        auto unsent = static_cast<unsigned>(calls.size());
        auto unfinished = unsent;
        while (unfinished > 0) {
            const long sent = syscall(SYS_io_uring_enter, descriptor_, unsent, unfinished, IORING_ENTER_GETEVENTS,
                                      nullptr, 0);
            if (sent < 0 && errno != EINTR) {
                withdraw(calls, head, unfinished);
                return false;
            }
            if (sent > 0) unsent -= static_cast<unsigned>(sent);
            unfinished -= reap();
        }
        return true;
    }

private:
    struct Mapping {
        void* address = MAP_FAILED;
        std::size_t length = 0;
    };

    Ring(int descriptor, const io_uring_params& parameters)
        : descriptor_(descriptor), capacity_(parameters.sq_entries) {
        submissions_ = map(parameters.sq_off.array + parameters.sq_entries * sizeof(unsigned), IORING_OFF_SQ_RING);
        completions_ = map(parameters.cq_off.cqes + parameters.cq_entries * sizeof(io_uring_cqe), IORING_OFF_CQ_RING);
        entries_ = map(parameters.sq_entries * sizeof(io_uring_sqe), IORING_OFF_SQES);
        if (!mapped()) return;
        auto* submissions = static_cast<char*>(submissions_.address);
        auto* completions = static_cast<char*>(completions_.address);
        submissionHead_ = reinterpret_cast<unsigned*>(submissions + parameters.sq_off.head);
        submissionTail_ = reinterpret_cast<unsigned*>(submissions + parameters.sq_off.tail);
        submissionMask_ = *reinterpret_cast<unsigned*>(submissions + parameters.sq_off.ring_mask);
        submissionArray_ = reinterpret_cast<unsigned*>(submissions + parameters.sq_off.array);
        completionHead_ = reinterpret_cast<unsigned*>(completions + parameters.cq_off.head);
        completionTail_ = reinterpret_cast<unsigned*>(completions + parameters.cq_off.tail);
        completionMask_ = *reinterpret_cast<unsigned*>(completions + parameters.cq_off.ring_mask);
        completionEntries_ = reinterpret_cast<io_uring_cqe*>(completions + parameters.cq_off.cqes);
    }

    Mapping map(std::size_t length, off_t offset) const {
        return {mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_POPULATE, descriptor_, offset), length};
    }

    // The kernel takes submissions in order, so those from its head on were
    // never taken: they are marked so, and taken back. Those it took finish on
    // their own; a call made again while the kernel may still be making it
    // would be made twice.
    void withdraw(std::span<Call> calls, unsigned head, unsigned unfinished) {
        const unsigned takenHead = std::atomic_ref(*submissionHead_).load(std::memory_order_acquire);
        std::atomic_ref(*submissionTail_).store(takenHead, std::memory_order_release);
        const unsigned taken = takenHead - head;
        for (Call& call : calls.subspan(taken)) call.outcome = neverTaken;
        unfinished -= static_cast<unsigned>(calls.size()) - taken;
        for (int wait = 0; unfinished > 0 && wait < 5000; ++wait) {
            const unsigned finished = reap();
            unfinished -= finished;
            if (finished == 0) usleep(1000);
        }
    }

    bool mapped() const {
        return submissions_.address != MAP_FAILED && completions_.address != MAP_FAILED &&
               entries_.address != MAP_FAILED;
    }

    bool offersCalls() const {
        constexpr unsigned probed = 256;
        std::vector<unsigned char> buffer(sizeof(io_uring_probe) + probed * sizeof(io_uring_probe_op));
        auto* probe = reinterpret_cast<io_uring_probe*>(buffer.data());
        if (syscall(SYS_io_uring_register, descriptor_, IORING_REGISTER_PROBE, probe, probed) < 0) return false;
        return std::all_of(std::begin(opcodes), std::end(opcodes), [&](unsigned opcode) {
            return opcode <= probe->last_op && (probe->ops[opcode].flags & IO_URING_OP_SUPPORTED);
        });
    }

    static void fill(io_uring_sqe& entry, const Call& call) {
        std::memset(&entry, 0, sizeof entry);
        entry.opcode = opcodes[static_cast<int>(call.kind)];
        entry.fd = call.descriptor;
        entry.user_data = reinterpret_cast<std::uintptr_t>(&call);
        switch (call.kind) {
        case Call::Kind::openAt:
            entry.addr = reinterpret_cast<std::uintptr_t>(call.name);
            entry.open_flags = static_cast<std::uint32_t>(call.flags);
            break;
        case Call::Kind::readAt:
            entry.addr = reinterpret_cast<std::uintptr_t>(call.buffer);
            entry.len = call.length;
            entry.off = call.offset;
            break;
        case Call::Kind::close: break;
        }
    }

    // Takes the finished calls' results; how many there were.
    unsigned reap() {
        unsigned head = *completionHead_;
        const unsigned tail = std::atomic_ref(*completionTail_).load(std::memory_order_acquire);
        const unsigned finished = tail - head;
        for (; head != tail; ++head) {
            const io_uring_cqe& completion = completionEntries_[head & completionMask_];
            reinterpret_cast<Call*>(completion.user_data)->outcome = completion.res;
        }
        std::atomic_ref(*completionHead_).store(head, std::memory_order_release);
        return finished;
    }

    // In the order of Call::Kind.
    static constexpr std::uint8_t opcodes[] = {IORING_OP_OPENAT, IORING_OP_READ, IORING_OP_CLOSE};

    int descriptor_;
    unsigned capacity_;
    Mapping submissions_;
    Mapping completions_;
    Mapping entries_;
    unsigned* submissionHead_ = nullptr;
    unsigned* submissionTail_ = nullptr;
    unsigned submissionMask_ = 0;
    unsigned* submissionArray_ = nullptr;
    unsigned* completionHead_ = nullptr;
    unsigned* completionTail_ = nullptr;
    unsigned completionMask_ = 0;
    io_uring_cqe* completionEntries_ = nullptr;
};

namespace {

// Enough for a directory's batch of files in one submission.
constexpr unsigned ringEntries = 128;

}  // namespace

CallBatch::CallBatch(bool withRing) : ring_(withRing ? Ring::open(ringEntries) : nullptr) {}

CallBatch::~CallBatch() = default;

void CallBatch::openAt(int directory, const char* name, int flags, int& result) {
    queued_.push_back(
        {.kind = Call::Kind::openAt, .descriptor = directory, .name = name, .flags = flags, .result = &result});
}

void CallBatch::readAt(int descriptor, void* buffer, std::uint32_t length, std::uint64_t offset, int& result) {
    queued_.push_back({.kind = Call::Kind::readAt,
                       .descriptor = descriptor,
                       .buffer = buffer,
                       .length = length,
                       .offset = offset,
                       .result = &result});
}

void CallBatch::close(int descriptor) { queued_.push_back({.kind = Call::Kind::close, .descriptor = descriptor}); }

// A call the ring cancelled, having no worker to hand it to, say, is made on
// its own, and so is one a failing ring never took. A ring that fails is not
// trusted again; what it took and left unfinished stays cancelled.
void CallBatch::complete() {
    std::span<Call> calls(queued_);
    while (ring_ && !calls.empty()) {
        const auto part = calls.first(std::min<std::size_t>(calls.size(), ring_->capacity()));
        if (!ring_->make(part)) ring_.reset();
        for (Call& call : part) {
            if ((call.outcome == -ECANCELED && ring_) || call.outcome == neverTaken) call.outcome = makeAlone(call);
        }
        calls = calls.subspan(part.size());
    }
    for (Call& call : calls) call.outcome = makeAlone(call);
    for (const Call& call : queued_) {
        if (call.result) *call.result = call.outcome;
    }
    queued_.clear();
}

int CallBatch::makeAlone(const Call& call) {
    long result = 0;
    switch (call.kind) {
    case Call::Kind::openAt: result = ::openat(call.descriptor, call.name, call.flags); break;
    case Call::Kind::readAt:
        result = ::pread(call.descriptor, call.buffer, call.length, static_cast<off_t>(call.offset));
        break;
    case Call::Kind::close: result = ::close(call.descriptor); break;
    }
    return result < 0 ? -errno : static_cast<int>(result);
}

}  // namespace platform::linux_layer
