// The stream the audio writers write the output through: what it is given
// reaches the file in order and in large pieces, and a failure is kept.

#include "FileDescriptorOutputStream.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace
{
using varnoke::render::FileDescriptorOutputStream;

// The whole file, read without moving the descriptor's position.
std::string contentOf(int fd)
{
    std::string content;
    char piece[4096];
    for (ssize_t got; (got = pread(fd, piece, sizeof piece, static_cast<off_t>(content.size()))) > 0;)
        content.append(piece, static_cast<size_t>(got));
    return content;
}

class FileDescriptorOutputStreamTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/varnoke-stream-XXXXXX";
        fd = mkstemp(pattern);
        ASSERT_GE(fd, 0);
        unlink(pattern);
    }
    void TearDown() override { close(fd); }

    int fd = -1;
    int error = 0;
};

// Small writes gather in the buffer; the file sees them only when the buffer
// fills, at a flush, a change of position or the end.
TEST_F(FileDescriptorOutputStreamTest, GathersSmallWritesIntoLargeOnes)
{
    std::string expected;
    {
        FileDescriptorOutputStream stream(fd, error, 64);
        for (const char* piece : {"RIFF", "0000", "WAVE"})
        {
            ASSERT_TRUE(stream.write(piece, 4));
            expected += piece;
        }
        EXPECT_EQ("", contentOf(fd));
        EXPECT_EQ(12, stream.getPosition());

        const std::string large(100, 'x');  // more than the buffer: written through
        ASSERT_TRUE(stream.write(large.data(), large.size()));
        expected += large;
        EXPECT_EQ(expected, contentOf(fd));
        EXPECT_EQ(112, stream.getPosition());

        for (int i = 0; i < 20; ++i)  // fills the buffer once on the way
        {
            const std::string piece = std::to_string(i % 10) + "abc";
            ASSERT_TRUE(stream.write(piece.data(), piece.size()));
            expected += piece;
        }
        EXPECT_EQ(expected.substr(0, 112 + 64), contentOf(fd));
        EXPECT_EQ(static_cast<juce::int64>(expected.size()), stream.getPosition());

        // A header rewritten at the start, as the writers do at the end.
        ASSERT_TRUE(stream.setPosition(4));
        EXPECT_EQ(expected, contentOf(fd));
        ASSERT_TRUE(stream.write("1234", 4));
        expected.replace(4, 4, "1234");
        EXPECT_EQ(8, stream.getPosition());
    }
    EXPECT_EQ(expected, contentOf(fd));
    EXPECT_EQ(0, error);
}

// The first failure is kept, even when it only shows at the end, and later
// writes are refused.
TEST_F(FileDescriptorOutputStreamTest, KeepsTheFirstFailure)
{
    const int full = open("/dev/full", O_WRONLY);
    ASSERT_GE(full, 0);
    {
        FileDescriptorOutputStream stream(full, error, 64);
        EXPECT_TRUE(stream.write("data", 4));  // only buffered
        EXPECT_EQ(0, error);
        stream.flush();
        EXPECT_EQ(ENOSPC, error);
        EXPECT_FALSE(stream.write("more", 4));
    }
    error = 0;
    {
        FileDescriptorOutputStream stream(full, error, 64);
        EXPECT_TRUE(stream.write("data", 4));
    }
    EXPECT_EQ(ENOSPC, error);
    close(full);
}
}  // namespace
