#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace varnoke::render
{
// What readSmallFile found: the whole file, or only its head when the file is
// larger than allowed.
struct SmallFile
{
    std::vector<unsigned char> bytes;
    std::uint64_t size = 0;
    bool tooLarge = false;
};

// Reads a file that should be small (a preset) without ever reading more than
// maximumSize bytes: directories, devices, pipes and sockets are refused
// before any read, and a larger file yields only its first headSize bytes, so
// its kind can still be told. Throws RenderError on failure.
SmallFile readSmallFile(const std::string& path, std::uint64_t maximumSize, std::uint64_t headSize);
}  // namespace varnoke::render
