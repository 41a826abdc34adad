#pragma once

#include "ArtworkFonts.h"

// The 420 x 100 window background: wood grain, the three knob labels and the
// black name panel. Row 99 stays transparent; the window shows rows 0 to 98.
juce::Image drawBackground(const ArtworkFonts& fonts);
