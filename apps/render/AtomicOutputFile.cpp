#include "AtomicOutputFile.h"

#include "RenderError.h"
#include "TemporaryFileCleanup.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace varnoke::render
{
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

void AtomicOutputFile::open()
{
    if (naming == Naming::unnamedWhenPossible)
    {
        fd = ::open(directoryOf(destination).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        unnamed = fd >= 0;
        if (unnamed)
            return;
    }
    openNamed();  // the file system has no unnamed files
}

void AtomicOutputFile::openNamed()
{
    // Registered first, so that no moment exists where the file is there but unknown to the handler.
    cleanupSlot = cleanup::registerPath(temporary);
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
    {
        const int error = errno;
        cleanup::unregisterPath(cleanupSlot);
        cleanupSlot = -1;
        errno = error;
        failWithErrno();
    }
    named = true;
}

// Gives the unnamed file a name; false (errno set) when it cannot. Linking
// the descriptor itself needs a privilege; its /proc entry does not. Neither
// replaces an existing file.
bool AtomicOutputFile::linkUnnamedAs(const std::string& name) const
{
    const std::string procPath = "/proc/self/fd/" + std::to_string(fd);
    return linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0 ||
           linkat(AT_FDCWD, procPath.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

// Gives the unnamed file its temporary name, to be renamed over an existing
// destination.
void AtomicOutputFile::linkUnnamedAsTemporary()
{
    cleanupSlot = cleanup::registerPath(temporary);
    unlink(temporary.c_str());  // left by an earlier process of the same ID
    if (!linkUnnamedAs(temporary))
        failWithErrno();
    named = true;
}

void AtomicOutputFile::commit()
{
    if (fd < 0)
        throw RenderError("cannot write " + destination + ": the file was never opened");
    if (unnamed)
    {
        // Where no file is in the way, the complete file gets its final name
        // at once and never has another, whatever ends the process.
        if (linkUnnamedAs(destination))
        {
            const int closed = close(fd);
            fd = -1;
            if (closed != 0)
            {
                const int error = errno;
                unlink(destination.c_str());
                errno = error;
                failWithErrno();
            }
            committed = true;
            return;
        }
        if (errno != EEXIST)
            failWithErrno();
        linkUnnamedAsTemporary();  // a link cannot replace the existing file; a rename can
    }
    const int closed = close(fd);
    fd = -1;
    if (closed != 0 || std::rename(temporary.c_str(), destination.c_str()) != 0)
        failWithErrno();
    named = false;
    committed = true;
    cleanup::unregisterPath(cleanupSlot);
    cleanupSlot = -1;
}

void AtomicOutputFile::failWithErrno() const
{
    throw RenderError("cannot write " + destination + ": " + std::strerror(errno));
}
void AtomicOutputFile::discard()
{
    if (fd >= 0)
        close(fd);
    fd = -1;
    if (named)
        unlink(temporary.c_str());
    named = false;
    cleanup::unregisterPath(cleanupSlot);
    cleanupSlot = -1;
}

void writeFileAtomically(const std::string& path, const std::vector<unsigned char>& bytes)
{
    AtomicOutputFile output(path);
    output.open();
    for (size_t done = 0; done < bytes.size();)
    {
        const ssize_t written = write(output.descriptor(), bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            throw RenderError("cannot write " + path +
                              (written < 0 ? std::string(": ") + std::strerror(errno) : std::string()));
        done += static_cast<size_t>(written);
    }
    output.commit();
}
}  // namespace varnoke::render
