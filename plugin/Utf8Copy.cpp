#include "Utf8Copy.h"

#include <cstring>

namespace varnoke
{
namespace
{
bool isContinuationByte(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}
}  // namespace

void copyUtf8(const char* text, char* destination, std::size_t capacity) noexcept
{
    if (destination == nullptr || capacity == 0)
        return;

    if (text == nullptr)
    {
        destination[0] = '\0';
        return;
    }

    std::size_t length = std::strlen(text);
    if (length >= capacity)
    {
        length = capacity - 1;
        // Back up to the first byte of the character that would be cut.
        while (length > 0 && isContinuationByte(static_cast<unsigned char>(text[length])))
            --length;
    }

    std::memcpy(destination, text, length);
    destination[length] = '\0';
}
}  // namespace varnoke
