#include "platform/Native.h"
#include "platform/linux/OwnFiles.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <malloc.h>
#include <pthread.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace platform {

bool guardProcess() {
    // A closed standard descriptor would be handed to the next file opened, and console lines would land in it.
    for (int descriptor = 0; descriptor <= 2; ++descriptor) {
        if (fcntl(descriptor, F_GETFD) == -1 && errno == EBADF) open("/dev/null", O_RDWR);
    }
    // Large blocks always come from the system and go back to it: otherwise the allocator raises
    // that limit with each one freed, and a process that reads archive after archive creeps up.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
    // A reader of the console that went away never ends the run: the lines are lost, nothing else.
    std::signal(SIGPIPE, SIG_IGN);
    // A limit on file sizes (ulimit -f, a service's LimitFSIZE=) then fails the write like a full disk.
    std::signal(SIGXFSZ, SIG_IGN);
    // Every thread, the engine's too, leaves these signals to one thread that removes the run's own files
    // first. A run whose archive is in place has succeeded, whatever ends it afterwards.
    sigset_t endings;
    sigemptyset(&endings);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGXCPU}) sigaddset(&endings, signal);
    pthread_sigmask(SIG_BLOCK, &endings, nullptr);
    try {
        std::thread([endings] {
            int signal = 0;
            while (sigwait(&endings, &signal) != 0) {
            }
            _exit(linux_layer::own_files::removeAll() ? 0 : 128 + signal);
        }).detach();
        return true;
    } catch (const std::system_error&) {
        pthread_sigmask(SIG_UNBLOCK, &endings, nullptr);
        return false;
    }
}

}  // namespace platform
