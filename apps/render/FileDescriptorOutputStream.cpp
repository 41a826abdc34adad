#include "FileDescriptorOutputStream.h"

#include <cerrno>
#include <unistd.h>

namespace varnoke::render
{
FileDescriptorOutputStream::FileDescriptorOutputStream(int descriptor, int& firstErrorNumber)
    : fd(descriptor)
    , firstError(firstErrorNumber)
{
}

bool FileDescriptorOutputStream::failWith(int error)
{
    if (firstError == 0)
        firstError = error;
    return false;
}

bool FileDescriptorOutputStream::setPosition(juce::int64 newPosition)
{
    if (lseek(fd, static_cast<off_t>(newPosition), SEEK_SET) < 0)
        return failWith(errno);
    position = newPosition;
    return true;
}

bool FileDescriptorOutputStream::write(const void* data, size_t numBytes)
{
    const auto* bytes = static_cast<const char*>(data);
    while (numBytes > 0)
    {
        const ssize_t written = ::write(fd, bytes, numBytes);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return failWith(written < 0 ? errno : ENOSPC);
        bytes += written;
        numBytes -= static_cast<size_t>(written);
        position += written;
    }
    return true;
}
}  // namespace varnoke::render
