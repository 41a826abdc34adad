#include "ResponsePlot.h"

#include "ProductIdentity.h"

#include <algorithm>
#include <cmath>
#include <complex>

namespace varnoke::render
{
namespace
{
constexpr double lowestFrequency = 20.0;
constexpr double highestFrequency = 20000.0;
constexpr int width = 1000;
constexpr int height = 580;
const juce::Rectangle<float> plotArea(70.0f, 56.0f, width - 100.0f, height - 160.0f);

const juce::Colour background(0xfffbf7f0);
const juce::Colour gridColour(0xffe3d8c6);
const juce::Colour textColour(0xff5a4a36);
const juce::Colour curveColours[] = {juce::Colour(0xffc0661a), juce::Colour(0xff2e8f2e), juce::Colour(0xff3b6fb6),
                                     juce::Colour(0xff8a3fb0), juce::Colour(0xffb83b3b), juce::Colour(0xff3a3a3a)};

float xForFrequency(double frequency)
{
    const double position = std::log(frequency / lowestFrequency) / std::log(highestFrequency / lowestFrequency);
    return plotArea.getX() + static_cast<float>(position) * plotArea.getWidth();
}

float yForDecibels(double decibels, double top, double bottom)
{
    return plotArea.getY() + static_cast<float>((top - decibels) / (top - bottom)) * plotArea.getHeight();
}

juce::String frequencyText(double frequency)
{
    return frequency >= 1000.0 ? juce::String(frequency / 1000.0) + "k" : juce::String(static_cast<int>(frequency));
}

juce::Font font(float size, bool bold = false)
{
    return juce::Font("DejaVu Sans", size, bold ? juce::Font::bold : juce::Font::plain);
}
}  // namespace

ResponseCurve responseFromImpulse(const std::vector<float>& impulseResponse, double sampleRate, int numPoints)
{
    ResponseCurve curve;
    for (int point = 0; point < numPoints; ++point)
    {
        const double frequency =
            lowestFrequency * std::pow(highestFrequency / lowestFrequency, point / static_cast<double>(numPoints - 1));
        if (frequency >= sampleRate / 2.0)
            break;

        // H(f) = sum of h[n] e^(-i w n), with the rotation carried along in a recurrence.
        const double w = 2.0 * juce::MathConstants<double>::pi * frequency / sampleRate;
        const std::complex<double> step(std::cos(w), -std::sin(w));
        std::complex<double> rotation(1.0, 0.0), sum(0.0, 0.0);
        for (size_t n = 0; n < impulseResponse.size(); ++n)
        {
            sum += static_cast<double>(impulseResponse[n]) * rotation;
            rotation *= step;
            if ((n & 1023) == 1023)
                rotation /= std::abs(rotation);  // keep the recurrence on the unit circle
        }
        curve.frequencies.push_back(frequency);
        curve.decibels.push_back(20.0 * std::log10(std::max(std::abs(sum), 1.0e-9)));
    }
    return curve;
}

juce::Image drawResponsePlot(const std::vector<ResponseCurve>& curves, double sampleRate)
{
    double lowest = -6.0, highest = 6.0;
    for (const ResponseCurve& curve : curves)
        for (const double value : curve.decibels)
        {
            lowest = std::min(lowest, std::max(value, -60.0));
            highest = std::max(highest, value);
        }
    const double top = std::ceil((highest + 1.0) / 6.0) * 6.0;
    const double bottom = std::floor((lowest - 1.0) / 6.0) * 6.0;

    juce::Image image(juce::Image::ARGB, width, height, true);
    juce::Graphics g(image);
    g.fillAll(background);

    g.setColour(textColour);
    g.setFont(font(20.0f, true));
    g.drawText(juce::String(product::name) + " magnitude response", 70, 14, 600, 28, juce::Justification::centredLeft);
    g.setFont(font(13.0f));
    g.drawText("measured with an impulse at " + juce::String(sampleRate / 1000.0, 1) + " kHz", width - 330, 14, 300, 28,
               juce::Justification::centredRight);

    // Frequency grid: 1-2-5 steps per decade.
    for (double decade = 10.0; decade <= 10000.0; decade *= 10.0)
        for (const double multiple : {1.0, 2.0, 5.0})
        {
            const double frequency = decade * multiple;
            if (frequency < lowestFrequency || frequency > highestFrequency)
                continue;
            const float x = xForFrequency(frequency);
            g.setColour(gridColour);
            g.drawVerticalLine(juce::roundToInt(x), plotArea.getY(), plotArea.getBottom());
            g.setColour(textColour);
            g.drawText(frequencyText(frequency), juce::roundToInt(x) - 30, juce::roundToInt(plotArea.getBottom()) + 6,
                       60, 18, juce::Justification::centred);
        }
    g.drawText("frequency (Hz)", juce::roundToInt(plotArea.getCentreX()) - 100,
               juce::roundToInt(plotArea.getBottom()) + 24, 200, 18, juce::Justification::centred);

    // Level grid every 6 dB, with 0 dB stronger.
    for (double level = bottom; level <= top; level += 6.0)
    {
        const float y = yForDecibels(level, top, bottom);
        g.setColour(level == 0.0 ? textColour.withAlpha(0.5f) : gridColour);
        g.drawHorizontalLine(juce::roundToInt(y), plotArea.getX(), plotArea.getRight());
        g.setColour(textColour);
        g.drawText(juce::String(static_cast<int>(level)) + " dB", 4, juce::roundToInt(y) - 9, 60, 18,
                   juce::Justification::centredRight);
    }
    g.setColour(textColour.withAlpha(0.6f));
    g.drawRect(plotArea, 1.0f);

    // The curves, clipped to the plot, and their legend below it.
    int legendX = juce::roundToInt(plotArea.getX());
    int legendY = height - 62;
    for (size_t index = 0; index < curves.size(); ++index)
    {
        const ResponseCurve& curve = curves[index];
        const juce::Colour colour = curveColours[index % std::size(curveColours)];
        juce::Path path;
        for (size_t i = 0; i < curve.frequencies.size(); ++i)
        {
            const juce::Point<float> point(xForFrequency(curve.frequencies[i]),
                                           yForDecibels(std::max(curve.decibels[i], bottom), top, bottom));
            if (i == 0)
                path.startNewSubPath(point);
            else
                path.lineTo(point);
        }
        {
            juce::Graphics::ScopedSaveState clip(g);
            g.reduceClipRegion(plotArea.toNearestInt());
            g.setColour(colour);
            g.strokePath(path, juce::PathStrokeType(index == 0 ? 3.0f : 2.2f, juce::PathStrokeType::curved,
                                                    juce::PathStrokeType::rounded));
        }

        g.setFont(font(13.0f));
        const int textWidth = juce::roundToInt(g.getCurrentFont().getStringWidthFloat(curve.label)) + 8;
        if (legendX + 28 + textWidth > width - 10)  // wrap to the next row
        {
            legendX = juce::roundToInt(plotArea.getX());
            legendY += 24;
        }
        g.setColour(colour);
        g.fillRoundedRectangle(static_cast<float>(legendX), legendY + 7.0f, 22.0f, 5.0f, 2.0f);
        g.setColour(textColour);
        g.drawText(curve.label, legendX + 28, legendY, textWidth, 20, juce::Justification::centredLeft);
        legendX += 28 + textWidth + 24;
    }
    return image;
}
}  // namespace varnoke::render
