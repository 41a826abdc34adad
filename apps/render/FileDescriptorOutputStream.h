#pragma once

#include <juce_core/juce_core.h>

#include <vector>

namespace varnoke::render
{
// A JUCE output stream over an open file descriptor that it does not own
// (an AtomicOutputFile's). Audio writers hand it a few kilobytes per block,
// so it gathers them and writes in large pieces: one system call per
// megabyte instead of one per block. What it holds is written by flush,
// setPosition and its destructor. The first failure's errno is kept in the
// given variable, which outlives the stream: audio writers write their header
// in their destructor and report nothing themselves.
class FileDescriptorOutputStream : public juce::OutputStream
{
public:
    FileDescriptorOutputStream(int descriptor, int& firstError, size_t bufferBytes = 1 << 20);
    ~FileDescriptorOutputStream() override;

    void flush() override;
    bool setPosition(juce::int64 newPosition) override;
    juce::int64 getPosition() override { return position + static_cast<juce::int64>(buffered); }
    bool write(const void* data, size_t numBytes) override;

private:
    bool writeThrough(const char* bytes, size_t numBytes);
    bool writeBuffered();
    bool failWith(int error);

    int fd;
    int& firstError;
    juce::int64 position = 0;  // of the descriptor, past what it has been given
    std::vector<char> buffer;
    size_t buffered = 0;
};
}  // namespace varnoke::render
