#include "SmallFileReader.h"

#include "FileKindRefusal.h"
#include "RenderError.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace varnoke::render
{
namespace
{
class Descriptor
{
public:
    explicit Descriptor(int descriptor)
        : fd(descriptor)
    {
    }
    ~Descriptor()
    {
        if (fd >= 0)
            close(fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd; }

private:
    int fd;
};
}  // namespace

SmallFile readSmallFile(const std::string& path, std::uint64_t maximumSize, std::uint64_t headSize)
{
    // Non-blocking, so that opening a pipe with no writer does not wait; the
    // kind check below refuses it anyway.
    const Descriptor fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.get() < 0)
        throw RenderError(errno == EISDIR ? path + " is a directory, not a file" : "cannot open " + path);
    struct stat status = {};
    if (fstat(fd.get(), &status) != 0)
        throw RenderError("cannot open " + path);
    if (const std::string refusal = refusalOfKind(path, status.st_mode); !refusal.empty())
        throw RenderError(refusal);

    SmallFile file;
    file.size = static_cast<std::uint64_t>(status.st_size);
    file.tooLarge = file.size > maximumSize;
    const std::uint64_t wanted = file.tooLarge ? std::min(headSize, maximumSize) : file.size;
    file.bytes.resize(static_cast<size_t>(wanted));
    size_t done = 0;
    while (done < file.bytes.size())
    {
        const ssize_t got = read(fd.get(), file.bytes.data() + done, file.bytes.size() - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw RenderError("cannot read " + path + ": " + std::strerror(errno));
        if (got == 0)
            break;  // shorter than it was a moment ago
        done += static_cast<size_t>(got);
    }
    file.bytes.resize(done);
    return file;
}
}  // namespace varnoke::render
