#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace varnoke::test
{
// What a shell command writes to its standard output.
inline std::string commandOutput(const std::string& command)
{
    std::string output;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (pipe == nullptr)
        return output;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe.get()) != nullptr)
        output += buffer;
    return output;
}
}  // namespace varnoke::test
