#include "FileDescriptorOutputStream.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace varnoke::render
{
FileDescriptorOutputStream::FileDescriptorOutputStream(int descriptor, int& firstErrorNumber, size_t bufferBytes)
    : fd(descriptor)
    , firstError(firstErrorNumber)
    , buffer(bufferBytes)
{
}

FileDescriptorOutputStream::~FileDescriptorOutputStream()
{
    writeBuffered();
}

bool FileDescriptorOutputStream::failWith(int error)
{
    if (firstError == 0)
        firstError = error;
    return false;
}

void FileDescriptorOutputStream::flush()
{
    writeBuffered();
}

bool FileDescriptorOutputStream::writeBuffered()
{
    const size_t count = buffered;
    buffered = 0;
    return writeThrough(buffer.data(), count);
}

bool FileDescriptorOutputStream::setPosition(juce::int64 newPosition)
{
    if (!writeBuffered())
        return false;
    if (lseek(fd, static_cast<off_t>(newPosition), SEEK_SET) < 0)
        return failWith(errno);
    position = newPosition;
    return true;
}

bool FileDescriptorOutputStream::write(const void* data, size_t numBytes)
{
    // Once a write has failed the file is lost; later writes only say so.
    if (firstError != 0)
        return false;
    const auto* bytes = static_cast<const char*>(data);
    if (buffered + numBytes <= buffer.size())
    {
        std::memcpy(buffer.data() + buffered, bytes, numBytes);
        buffered += numBytes;
        return true;
    }
    if (!writeBuffered())
        return false;
    if (numBytes >= buffer.size())
        return writeThrough(bytes, numBytes);
    std::memcpy(buffer.data(), bytes, numBytes);
    buffered = numBytes;
    return true;
}

bool FileDescriptorOutputStream::writeThrough(const char* bytes, size_t numBytes)
{
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
