#include "FileKindRefusal.h"

#include <sys/stat.h>

namespace varnoke::render
{
std::string refusalOfKind(const std::string& path, mode_t mode)
{
    if (S_ISDIR(mode))
        return path + " is a directory, not a file";
    if (!S_ISREG(mode))
        return path + " is not a regular file (a device, pipe or socket)";
    return {};
}

std::string refusalOfKindAt(const std::string& path)
{
    struct stat status = {};
    if (stat(path.c_str(), &status) != 0)
        return {};
    return refusalOfKind(path, status.st_mode);
}
}  // namespace varnoke::render
