#pragma once

#include <cstddef>
#include <cstdint>

// The fuzz targets as plain functions, so the fuzzer executables and the
// corpus replay test in the normal test suite run the same code.
namespace varnoke::test::fuzz
{
// Hands the bytes to a fresh instance as a state chunk through effSetChunk,
// then saves and restores the state it ended with.
void runStateChunk(const std::uint8_t* data, std::size_t size);

// Reads the bytes as a script of host calls on a fresh instance: dispatcher
// opcodes with arguments that keep each opcode's pointer contract, parameter
// reads and writes with any float, blocks of any size up to the block size,
// bypass, arrangements, chunks, and the editor where a display is available.
void runHostCalls(const std::uint8_t* data, std::size_t size);

// Keeps one instance alive for the process, so JUCE's GUI layer is not torn
// down and brought up again for every input (hosts keep instances too).
void keepGuiLayerUp();

// Closes that instance, taking JUCE's GUI layer down; the next target run
// brings it up again.
void releaseGuiLayer();
}  // namespace varnoke::test::fuzz
