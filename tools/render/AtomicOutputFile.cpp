#include "AtomicOutputFile.h"

#include "TemporaryFileCleanup.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace
{
std::string directoryOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
}
}  // namespace

AtomicOutputFile::AtomicOutputFile(std::string destinationPath, Naming namingWanted)
    : destination(std::move(destinationPath))
    , temporary(destination + ".partial-" + std::to_string(getpid()))
    , naming(namingWanted)
{
}

AtomicOutputFile::~AtomicOutputFile()
{
    if (!committed)
        discard();
}

bool AtomicOutputFile::open(std::string& error)
{
    if (naming == Naming::unnamedWhenPossible)
    {
        fd = ::open(directoryOf(destination).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        unnamed = fd >= 0;
        if (unnamed)
            return true;
    }
    return openNamed(error);  // the file system has no unnamed files
}

bool AtomicOutputFile::openNamed(std::string& error)
{
    // Registered first, so that no moment exists where the file is there but unknown to the handler.
    cleanupSlot = TemporaryFileCleanup::registerPath(temporary);
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
    {
        error = "cannot write " + destination + ": " + std::strerror(errno);
        TemporaryFileCleanup::unregisterPath(cleanupSlot);
        cleanupSlot = -1;
        return false;
    }
    named = true;
    return true;
}

// Gives the unnamed file its temporary name. Linking the descriptor itself
// needs a privilege; its /proc entry does not.
bool AtomicOutputFile::linkUnnamed(std::string& error)
{
    cleanupSlot = TemporaryFileCleanup::registerPath(temporary);
    unlink(temporary.c_str());  // left by an earlier process of the same ID
    const std::string procPath = "/proc/self/fd/" + std::to_string(fd);
    if (linkat(fd, "", AT_FDCWD, temporary.c_str(), AT_EMPTY_PATH) != 0 &&
        linkat(AT_FDCWD, procPath.c_str(), AT_FDCWD, temporary.c_str(), AT_SYMLINK_FOLLOW) != 0)
    {
        error = "cannot write " + destination + ": " + std::strerror(errno);
        return false;
    }
    named = true;
    return true;
}

bool AtomicOutputFile::commit(std::string& error)
{
    if (fd < 0)
    {
        error = "cannot write " + destination + ": the file was never opened";
        return false;
    }
    if (unnamed && !linkUnnamed(error))
        return false;
    const int closed = close(fd);
    fd = -1;
    if (closed != 0)
    {
        error = "cannot write " + destination + ": " + std::strerror(errno);
        return false;
    }
    if (std::rename(temporary.c_str(), destination.c_str()) != 0)
    {
        error = "cannot write " + destination + ": " + std::strerror(errno);
        return false;
    }
    named = false;
    committed = true;
    TemporaryFileCleanup::unregisterPath(cleanupSlot);
    cleanupSlot = -1;
    return true;
}

void AtomicOutputFile::discard()
{
    if (fd >= 0)
        close(fd);
    fd = -1;
    if (named)
        unlink(temporary.c_str());
    named = false;
    TemporaryFileCleanup::unregisterPath(cleanupSlot);
    cleanupSlot = -1;
}
