#include "TemporaryFileCleanup.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <unistd.h>

namespace varnoke::render
{
namespace
{
constexpr size_t maxPathLength = 4096;

// A slot is claimed (busy) while its path is written, and only a ready slot is
// read by the handler, so it never sees half a path.
enum SlotState : int
{
    freeSlot,
    busySlot,
    readySlot
};

struct Slot
{
    std::atomic<int> state{freeSlot};
    char path[maxPathLength] = {};
};

std::array<Slot, static_cast<size_t>(cleanup::maxPaths)> slots;

// The actions in place before ours, restored before a signal is raised again.
struct sigaction previousActions[NSIG];

extern "C" void removeFilesAndResignal(int signalNumber)
{
    const int savedErrno = errno;
    for (Slot& slot : slots)
        if (slot.state.load() == readySlot)
            unlink(slot.path);
    sigaction(signalNumber, &previousActions[signalNumber], nullptr);
    raise(signalNumber);  // delivered when the handler returns
    errno = savedErrno;
}
}  // namespace

namespace cleanup
{
void installSignalHandlers()
{
    // Every signal whose default action ends the process, except SIGKILL and
    // SIGSTOP (which cannot be caught) and SIGTRAP (left to debuggers).
    const std::array<int, 21> fixed = {SIGHUP,  SIGINT,  SIGQUIT,   SIGILL,  SIGABRT, SIGBUS,  SIGFPE,
                                       SIGUSR1, SIGSEGV, SIGUSR2,   SIGPIPE, SIGALRM, SIGTERM, SIGSTKFLT,
                                       SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF, SIGPOLL, SIGPWR,  SIGSYS};
    const auto install = [](int signalNumber)
    {
        struct sigaction previous = {};
        if (sigaction(signalNumber, nullptr, &previous) != 0 || previous.sa_handler == SIG_IGN)
            return;
        previousActions[signalNumber] = previous;
        struct sigaction action = {};
        action.sa_handler = removeFilesAndResignal;
        sigfillset(&action.sa_mask);  // one handler at a time
        sigaction(signalNumber, &action, nullptr);
    };
    for (const int signalNumber : fixed)
        install(signalNumber);
    for (int signalNumber = SIGRTMIN; signalNumber <= SIGRTMAX; ++signalNumber)
        install(signalNumber);
}

int registerPath(const std::string& path)
{
    if (path.size() >= maxPathLength)
        return -1;
    for (size_t index = 0; index < slots.size(); ++index)
    {
        int expected = freeSlot;
        if (slots[index].state.compare_exchange_strong(expected, busySlot))
        {
            std::memcpy(slots[index].path, path.c_str(), path.size() + 1);
            slots[index].state.store(readySlot);
            return static_cast<int>(index);
        }
    }
    return -1;
}

void unregisterPath(int slot)
{
    if (slot >= 0 && static_cast<size_t>(slot) < slots.size())
        slots[static_cast<size_t>(slot)].state.store(freeSlot);
}
}  // namespace cleanup
}  // namespace varnoke::render
