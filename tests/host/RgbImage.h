#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace varnoke::test
{
struct PixelRect
{
    int x, y, width, height;
};

// An 8-bit RGB picture, row by row; the test host's screenshots and the
// pictures it compares them with. Reads and writes PNG through libpng.
class RgbImage
{
public:
    RgbImage() = default;
    RgbImage(int width, int height);

    int getWidth() const noexcept { return width; }
    int getHeight() const noexcept { return height; }
    bool isEmpty() const noexcept { return width <= 0 || height <= 0; }

    const std::uint8_t* pixel(int x, int y) const { return &samples[index(x, y)]; }
    void setPixel(int x, int y, std::uint8_t red, std::uint8_t green, std::uint8_t blue);

    RgbImage crop(const PixelRect& area) const;

    // Empty when the file can't be read; the alpha channel is dropped.
    static RgbImage readPng(const std::string& path);
    bool writePng(const std::string& path) const;

private:
    std::size_t index(int x, int y) const
    {
        return (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 3;
    }

    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> samples;
};

// How far two pictures of the same size are apart inside an area.
struct ImageDifference
{
    int differingPixels = 0;  // pixels with any channel further apart than the tolerance
    int largestChannelDifference = 0;
};

ImageDifference compareImages(const RgbImage& a, const RgbImage& b, const PixelRect& area, int tolerance);
}  // namespace varnoke::test
