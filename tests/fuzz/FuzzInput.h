#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace varnoke::test::fuzz
{
// Reads a fuzzer's bytes as typed values; past the end every read is zero, so
// any input, however short, is a complete script.
class FuzzInput
{
public:
    FuzzInput(const std::uint8_t* data, std::size_t size)
        : bytes(data)
        , remaining(size)
    {
    }

    bool isExhausted() const noexcept { return remaining == 0; }
    std::size_t bytesLeft() const noexcept { return remaining; }

    template <typename T> T take()
    {
        static_assert(std::is_trivially_copyable_v<T>);
        T value{};
        const std::size_t count = remaining < sizeof(T) ? remaining : sizeof(T);
        if (count > 0)
            std::memcpy(&value, bytes, count);
        bytes += count;
        remaining -= count;
        return value;
    }

    // A value in [0, bound), bound > 0.
    std::uint32_t below(std::uint32_t bound) { return take<std::uint16_t>() % bound; }

    // Up to maxCount raw bytes, copied into destination; answers how many.
    std::size_t takeBytes(void* destination, std::size_t maxCount)
    {
        const std::size_t count = remaining < maxCount ? remaining : maxCount;
        if (count > 0)
            std::memcpy(destination, bytes, count);
        bytes += count;
        remaining -= count;
        return count;
    }

private:
    const std::uint8_t* bytes;
    std::size_t remaining;
};
}  // namespace varnoke::test::fuzz
