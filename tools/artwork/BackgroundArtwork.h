#pragma once

#include "ArtworkFonts.h"

// The 420 x 100 window background: wood grain, the three knob labels and the
// black name panel. Row 99 stays transparent; the window shows rows 0 to 98.
// At scale 2 the same design comes out 840 x 200 (rows 198 and 199 transparent),
// for screens with two pixels per point.
juce::Image drawBackground(const ArtworkFonts& fonts, int scale = 1);
