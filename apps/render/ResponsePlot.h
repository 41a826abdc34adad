#pragma once

#include <juce_graphics/juce_graphics.h>

#include <string>
#include <vector>

namespace varnoke::render
{
// A magnitude response measured at log-spaced frequencies.
struct ResponseCurve
{
    std::string label;
    std::vector<double> frequencies;  // Hz
    std::vector<double> decibels;
};

// The magnitude of an impulse response at log-spaced frequencies from 20 Hz to 20 kHz.
ResponseCurve responseFromImpulse(const std::vector<float>& impulseResponse, double sampleRate, int numPoints = 241);

// Draws the curves on a log-frequency, decibel grid.
juce::Image drawResponsePlot(const std::vector<ResponseCurve>& curves, double sampleRate);
}  // namespace varnoke::render
