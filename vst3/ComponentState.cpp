#include "ComponentState.h"

#include <cstdint>
#include <cstring>
#include <string_view>

namespace varnoke::vst3::component_state
{
namespace
{
constexpr std::string_view recordName = "JUCEPrivateData";
constexpr std::string_view bypassName = "Bypass";
constexpr std::size_t sizeFieldBytes = 8;

// JUCE's markers of a value's type.
enum Marker : unsigned char
{
    intMarker = 1,
    trueMarker = 2,
    falseMarker = 3,
    doubleMarker = 4,
    stringMarker = 5,
    int64Marker = 6,
};

// Reads the record's bytes front to back; every read checks what is left,
// and a failed read leaves the reader failed.
class RecordReader
{
public:
    RecordReader(const unsigned char* bytes, std::size_t size) noexcept
        : data(bytes)
        , end(size)
    {
    }

    bool failed() const noexcept { return broken; }
    bool atEnd() const noexcept { return position >= end; }

    // A zero-terminated string, without its terminator.
    std::string_view string() noexcept
    {
        if (broken)
            return {};
        const auto* start = data + position;
        const auto* terminator = static_cast<const unsigned char*>(std::memchr(start, 0, end - position));
        if (terminator == nullptr)
            return fail(), std::string_view{};
        const auto length = static_cast<std::size_t>(terminator - start);
        position += length + 1;
        return {reinterpret_cast<const char*>(start), length};
    }

    // JUCE's compressed int: a byte count (top bit: negative), then up to four little-endian bytes.
    std::int64_t compressedInt() noexcept
    {
        const auto header = byte();
        const int count = header & 0x7f;
        if (count > 4 || !has(static_cast<std::size_t>(count)))
            return fail(), 0;
        std::uint32_t value = 0;
        for (int i = 0; i < count; ++i)
            value |= static_cast<std::uint32_t>(data[position++]) << (8 * i);
        return (header & 0x80) != 0 ? -static_cast<std::int64_t>(value) : static_cast<std::int64_t>(value);
    }

    unsigned char byte() noexcept
    {
        if (!has(1))
            return fail(), 0;
        return data[position++];
    }

    const unsigned char* take(std::size_t count) noexcept
    {
        if (!has(count))
            return fail(), nullptr;
        const auto* start = data + position;
        position += count;
        return start;
    }

private:
    bool has(std::size_t count) const noexcept { return !broken && count <= end - position; }
    void fail() noexcept { broken = true; }

    const unsigned char* data;
    std::size_t end;
    std::size_t position = 0;
    bool broken = false;
};

std::uint64_t readLittleEndian64(const unsigned char* bytes) noexcept
{
    std::uint64_t value = 0;
    for (int i = 0; i < 8; ++i)
        value |= static_cast<std::uint64_t>(bytes[i]) << (8 * i);
    return value;
}

// A value's truth as JUCE's var tells it, for the types a bool may have been saved as.
std::optional<bool> truthOf(unsigned char marker, const unsigned char* payload, std::size_t payloadSize) noexcept
{
    switch (marker)
    {
    case trueMarker: return true;
    case falseMarker: return false;
    case intMarker:
    case int64Marker:
    case doubleMarker:
    {
        const std::size_t width = marker == intMarker ? 4 : 8;
        if (payloadSize < width)
            return std::nullopt;
        bool anySet = false;
        for (std::size_t i = 0; i < width; ++i)
            anySet = anySet || payload[i] != 0;
        if (marker != doubleMarker)
            return anySet;
        double value = 0.0;
        std::memcpy(&value, payload, sizeof(value));
        return value != 0.0;
    }
    case stringMarker:
    {
        const std::string_view text(reinterpret_cast<const char*>(payload), payloadSize);
        return text.rfind("true", 0) == 0 || text.rfind("1", 0) == 0;
    }
    default: return std::nullopt;
    }
}

// The Bypass property of the record's root, if it has one it can read.
std::optional<bool> readBypass(const unsigned char* record, std::size_t size) noexcept
{
    RecordReader reader(record, size);
    if (reader.string().empty() || reader.failed())
        return std::nullopt;

    const auto numProperties = reader.compressedInt();
    // Every property takes at least three bytes: the loop ends with the data.
    for (std::int64_t i = 0; i < numProperties && !reader.atEnd() && !reader.failed(); ++i)
    {
        const auto name = reader.string();
        const auto valueBytes = reader.compressedInt();
        if (reader.failed() || valueBytes < 0)
            return std::nullopt;
        if (valueBytes == 0)
            continue;  // a void value
        const auto marker = reader.byte();
        const auto payloadSize = static_cast<std::size_t>(valueBytes - 1);
        const auto* payload = reader.take(payloadSize);
        if (reader.failed())
            return std::nullopt;
        if (name == bypassName)
            return truthOf(marker, payload, payloadSize);
    }
    return std::nullopt;
}
}  // namespace

Parts split(const unsigned char* data, std::size_t size) noexcept
{
    Parts parts{data, size, std::nullopt};
    const std::size_t tail = recordName.size() + sizeFieldBytes;
    if (data == nullptr || size < tail + sizeFieldBytes)
        return parts;
    if (std::memcmp(data + size - recordName.size(), recordName.data(), recordName.size()) != 0)
        return parts;

    // The record and the eight zero bytes before it must fit before the size field.
    const auto recordSize = readLittleEndian64(data + size - tail);
    if (recordSize > size - tail - sizeFieldBytes)
        return parts;
    const std::size_t recordStart = size - tail - static_cast<std::size_t>(recordSize);

    parts.chunkSize = recordStart - sizeFieldBytes;
    parts.bypassed = readBypass(data + recordStart, static_cast<std::size_t>(recordSize));
    return parts;
}

void appendBypassRecord(std::vector<unsigned char>& state, bool bypassed)
{
    std::vector<unsigned char> record(recordName.begin(), recordName.end());
    record.push_back(0);
    record.insert(record.end(), {1, 1});  // one property
    record.insert(record.end(), bypassName.begin(), bypassName.end());
    record.push_back(0);
    record.insert(record.end(), {1, 1, static_cast<unsigned char>(bypassed ? trueMarker : falseMarker)});
    record.push_back(0);  // no children

    state.insert(state.end(), sizeFieldBytes, 0);
    state.insert(state.end(), record.begin(), record.end());
    for (int i = 0; i < 8; ++i)
        state.push_back(static_cast<unsigned char>(static_cast<std::uint64_t>(record.size()) >> (8 * i)));
    state.insert(state.end(), recordName.begin(), recordName.end());
}
}  // namespace varnoke::vst3::component_state
