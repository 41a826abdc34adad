#pragma once

namespace varnoke::test
{
// Opens, once per test program, a connection to the X display that stays open
// until the program ends; false where there is no display. An X server resets,
// forgetting the atoms interned so far, whenever its last client leaves, as
// JUCE's connection does at the end of each test that opened a window.
bool keepXServerConnection();
}  // namespace varnoke::test
