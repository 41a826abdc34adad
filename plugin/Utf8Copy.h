#pragma once

#include <cstddef>

namespace varnoke
{
// Copies UTF-8 text into a host buffer of capacity bytes, terminator included,
// cutting only between whole characters. Writes nothing for a null
// destination or a capacity of 0.
void copyUtf8(const char* text, char* destination, std::size_t capacity) noexcept;
}  // namespace varnoke
