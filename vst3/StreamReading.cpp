#include "StreamReading.h"

#include <algorithm>

namespace varnoke::vst3
{
namespace
{
constexpr Steinberg::int32 pieceBytes = 4096;

// Reads until the stream gives nothing more; false when it holds more than maxBytes.
bool readFromPosition(Steinberg::IBStream& stream, std::size_t maxBytes, std::vector<unsigned char>& bytes)
{
    for (;;)
    {
        const std::size_t start = bytes.size();
        bytes.resize(start + static_cast<std::size_t>(pieceBytes));
        Steinberg::int32 bytesRead = 0;
        const auto result = stream.read(bytes.data() + start, pieceBytes, &bytesRead);
        const bool gotBytes = result == Steinberg::kResultOk && bytesRead > 0 && bytesRead <= pieceBytes;
        bytes.resize(start + (gotBytes ? static_cast<std::size_t>(bytesRead) : 0));
        if (!gotBytes)
            return true;
        if (bytes.size() > maxBytes)
            return false;
    }
}
}  // namespace

std::optional<std::vector<unsigned char>> readWholeStream(Steinberg::IBStream& stream, std::size_t maxBytes)
{
    std::vector<unsigned char> bytes;
    if (!readFromPosition(stream, maxBytes, bytes))
        return std::nullopt;
    if (bytes.empty() && stream.seek(0, Steinberg::IBStream::kIBSeekSet, nullptr) == Steinberg::kResultOk &&
        !readFromPosition(stream, maxBytes, bytes))
        return std::nullopt;
    if (bytes.empty())
        return std::nullopt;
    return bytes;
}

bool writeWholeStream(Steinberg::IBStream& stream, const std::vector<unsigned char>& bytes)
{
    std::size_t written = 0;
    while (written < bytes.size())
    {
        const auto count = static_cast<Steinberg::int32>(std::min<std::size_t>(bytes.size() - written, 1 << 20));
        Steinberg::int32 done = 0;
        if (stream.write(const_cast<unsigned char*>(bytes.data() + written), count, &done) != Steinberg::kResultOk ||
            done <= 0 || done > count)
            return false;
        written += static_cast<std::size_t>(done);
    }
    return true;
}
}  // namespace varnoke::vst3
