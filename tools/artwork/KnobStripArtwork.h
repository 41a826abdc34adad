#pragma once

#include <juce_graphics/juce_graphics.h>

// The 70 x 2170 knob filmstrip: 31 square frames of a brushed metal knob whose
// pointer turns from 138 degrees anticlockwise of 12 o'clock (frame 0) to 138
// degrees clockwise (frame 30), 9.2 degrees per frame.
// At scale 2 the same knob comes out 140 x 4340: 31 frames of 140 x 140.
juce::Image drawKnobStrip(int scale = 1);
