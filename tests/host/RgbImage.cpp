#include "RgbImage.h"

#include <png.h>

#include <algorithm>
#include <cstdlib>

namespace varnoke::test
{
RgbImage::RgbImage(int newWidth, int newHeight)
    : width(newWidth)
    , height(newHeight)
    , samples(static_cast<std::size_t>(std::max(newWidth, 0)) * static_cast<std::size_t>(std::max(newHeight, 0)) * 3)
{
}

void RgbImage::setPixel(int x, int y, std::uint8_t red, std::uint8_t green, std::uint8_t blue)
{
    auto* target = &samples[index(x, y)];
    target[0] = red;
    target[1] = green;
    target[2] = blue;
}

RgbImage RgbImage::crop(const PixelRect& area) const
{
    RgbImage result(area.width, area.height);
    for (int y = 0; y < area.height; ++y)
        for (int x = 0; x < area.width; ++x)
        {
            const auto* source = pixel(area.x + x, area.y + y);
            result.setPixel(x, y, source[0], source[1], source[2]);
        }
    return result;
}

RgbImage RgbImage::readPng(const std::string& path)
{
    png_image description{};
    description.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&description, path.c_str()) == 0)
        return {};

    // Read with alpha, so libpng composes nothing; then keep the colour.
    description.format = PNG_FORMAT_RGBA;
    std::vector<std::uint8_t> rgba(PNG_IMAGE_SIZE(description));
    if (png_image_finish_read(&description, nullptr, rgba.data(), 0, nullptr) == 0)
    {
        png_image_free(&description);
        return {};
    }

    RgbImage image(static_cast<int>(description.width), static_cast<int>(description.height));
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
        {
            const auto* source =
                &rgba[(static_cast<std::size_t>(y) * description.width + static_cast<std::size_t>(x)) * 4];
            image.setPixel(x, y, source[0], source[1], source[2]);
        }
    return image;
}

bool RgbImage::writePng(const std::string& path) const
{
    png_image description{};
    description.version = PNG_IMAGE_VERSION;
    description.width = static_cast<png_uint_32>(width);
    description.height = static_cast<png_uint_32>(height);
    description.format = PNG_FORMAT_RGB;
    return png_image_write_to_file(&description, path.c_str(), 0, samples.data(), 0, nullptr) != 0;
}

ImageDifference compareImages(const RgbImage& a, const RgbImage& b, const PixelRect& area, int tolerance)
{
    ImageDifference difference;
    const auto contains = [&](const RgbImage& image)
    {
        return area.x >= 0 && area.y >= 0 && area.x + area.width <= image.getWidth() &&
               area.y + area.height <= image.getHeight();
    };
    if (!contains(a) || !contains(b))
    {
        difference.differingPixels = area.width * area.height;
        difference.largestChannelDifference = 255;
        return difference;
    }

    for (int y = area.y; y < area.y + area.height; ++y)
        for (int x = area.x; x < area.x + area.width; ++x)
        {
            int largest = 0;
            for (int channel = 0; channel < 3; ++channel)
                largest = std::max(largest, std::abs(a.pixel(x, y)[channel] - b.pixel(x, y)[channel]));
            difference.largestChannelDifference = std::max(difference.largestChannelDifference, largest);
            if (largest > tolerance)
                ++difference.differingPixels;
        }
    return difference;
}
}  // namespace varnoke::test
