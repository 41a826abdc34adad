#pragma once

#include <juce_core/juce_core.h>

namespace varnoke::render
{
// A JUCE output stream over an open file descriptor that it does not own
// (an AtomicOutputFile's). The first failure's errno is kept in the given
// variable, which outlives the stream: audio writers write their header in
// their destructor and report nothing themselves.
class FileDescriptorOutputStream : public juce::OutputStream
{
public:
    FileDescriptorOutputStream(int descriptor, int& firstError);

    void flush() override {}
    bool setPosition(juce::int64 newPosition) override;
    juce::int64 getPosition() override { return position; }
    bool write(const void* data, size_t numBytes) override;

private:
    bool failWith(int error);

    int fd;
    int& firstError;
    juce::int64 position = 0;
};
}  // namespace varnoke::render
