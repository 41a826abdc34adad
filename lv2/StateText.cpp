#include "StateText.h"

#include <array>
#include <cctype>

namespace varnoke::lv2::state_text
{
namespace
{
constexpr char alphabet[] = ".ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+";

// The six-bit value of each character, or -1 for characters outside the alphabet.
constexpr std::array<signed char, 256> makeDecodingTable()
{
    std::array<signed char, 256> table{};
    for (auto& entry : table)
        entry = -1;
    for (int value = 0; value < 64; ++value)
        table[static_cast<unsigned char>(alphabet[value])] = static_cast<signed char>(value);
    return table;
}
constexpr auto decodingTable = makeDecodingTable();

constexpr std::size_t charactersFor(std::size_t bytes)
{
    return (bytes * 8 + 5) / 6;
}
}  // namespace

std::string encode(const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const unsigned char*>(data);
    std::string text = std::to_string(size) + '.';
    const std::size_t characters = charactersFor(size);
    text.reserve(text.size() + characters);
    for (std::size_t index = 0; index < characters; ++index)
    {
        // Six bits from bit 6 * index on, the lowest bit of each byte first.
        unsigned value = 0;
        for (unsigned bit = 0; bit < 6; ++bit)
        {
            const std::size_t position = index * 6 + bit;
            if (position / 8 < size && (bytes[position / 8] >> (position % 8) & 1u) != 0)
                value |= 1u << bit;
        }
        text += alphabet[value];
    }
    return text;
}

std::optional<std::vector<unsigned char>> decode(std::string_view text)
{
    if (const auto end = text.find('\0'); end != std::string_view::npos)
        text = text.substr(0, end);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);

    const auto dot = text.find('.');
    if (dot == 0 || dot == std::string_view::npos || dot > 7)
        return std::nullopt;
    std::size_t size = 0;
    for (const char digit : text.substr(0, dot))
    {
        if (digit < '0' || digit > '9')
            return std::nullopt;
        size = size * 10 + static_cast<std::size_t>(digit - '0');
    }
    const auto characters = text.substr(dot + 1);
    if (size == 0 || size > maximumBytes || characters.size() != charactersFor(size))
        return std::nullopt;
    for (const char character : characters)
        if (decodingTable[static_cast<unsigned char>(character)] < 0)
            return std::nullopt;

    std::vector<unsigned char> bytes(size);
    for (std::size_t index = 0; index < characters.size(); ++index)
    {
        const auto value = static_cast<unsigned>(decodingTable[static_cast<unsigned char>(characters[index])]);
        for (unsigned bit = 0; bit < 6; ++bit)
        {
            const std::size_t position = index * 6 + bit;
            if (position / 8 < size && (value >> bit & 1u) != 0)
                bytes[position / 8] = static_cast<unsigned char>(bytes[position / 8] | 1u << (position % 8));
        }
    }
    return bytes;
}
}  // namespace varnoke::lv2::state_text
