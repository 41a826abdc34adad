#include "AtomicOutputFile.h"

#include <array>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace
{
// Paths of pending temporary files, for the signal handler (which may only
// call async-signal-safe functions such as unlink).
constexpr size_t maxPending = 8;
std::array<std::atomic<const char*>, maxPending> pendingPaths{};

void registerPending(const char* path)
{
    for (auto& slot : pendingPaths)
    {
        const char* expected = nullptr;
        if (slot.compare_exchange_strong(expected, path))
            return;
    }
}

void unregisterPending(const char* path)
{
    for (auto& slot : pendingPaths)
    {
        const char* expected = path;
        slot.compare_exchange_strong(expected, nullptr);
    }
}

extern "C" void removePendingAndExit(int signalNumber)
{
    for (auto& slot : pendingPaths)
        if (const char* path = slot.load())
            unlink(path);
    _exit(128 + signalNumber);
}
}  // namespace

AtomicOutputFile::AtomicOutputFile(std::string destinationPath)
    : destination(std::move(destinationPath))
    , temporary(destination + ".partial-" + std::to_string(getpid()))
{
    registerPending(temporary.c_str());
}

AtomicOutputFile::~AtomicOutputFile()
{
    unregisterPending(temporary.c_str());
    if (!committed)
        std::remove(temporary.c_str());
}

bool AtomicOutputFile::commit(std::string& error)
{
    if (std::rename(temporary.c_str(), destination.c_str()) != 0)
    {
        error = "cannot write " + destination + ": " + std::strerror(errno);
        return false;
    }
    committed = true;
    return true;
}

void removeTemporaryFilesOnInterrupt()
{
    std::signal(SIGINT, removePendingAndExit);
    std::signal(SIGTERM, removePendingAndExit);
    std::signal(SIGHUP, removePendingAndExit);
}
