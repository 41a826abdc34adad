#pragma once

#include <pluginterfaces/base/ibstream.h>

#include <cstddef>
#include <optional>
#include <vector>

namespace varnoke::vst3
{
// Everything a host's stream holds from its position on, read in pieces for
// as long as the stream gives bytes: streams may answer any read with fewer
// bytes than asked. A stream that gives nothing from where it stands is read
// again from its start (release 1.0.0 always read from the start). Nothing
// when the stream holds more than maxBytes, or nothing at all. The stream's
// announced size is not trusted.
std::optional<std::vector<unsigned char>> readWholeStream(Steinberg::IBStream& stream, std::size_t maxBytes);

// Writes all bytes, looping over short writes; false when the stream takes no more.
bool writeWholeStream(Steinberg::IBStream& stream, const std::vector<unsigned char>& bytes);
}  // namespace varnoke::vst3
