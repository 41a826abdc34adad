#include "KnobValueLabel.h"

namespace varnoke
{
KnobValueLabel::KnobValueLabel()
{
    setInterceptsMouseClicks(false, false);
    setVisible(false);
}

void KnobValueLabel::showBelow(juce::Rectangle<int> knobBounds, const std::string& newText)
{
    int x = knobBounds.getCentreX() - width / 2;
    if (auto* parent = getParentComponent())
        x = juce::jlimit(0, juce::jmax(0, parent->getWidth() - width), x);
    setBounds(x, top, width, height);
    setText(newText);
    setVisible(true);
}

void KnobValueLabel::setText(const std::string& newText)
{
    const juce::String asString(newText);
    if (asString == text)
        return;
    text = asString;
    repaint();
}

void KnobValueLabel::paint(juce::Graphics& g)
{
    const auto area = getLocalBounds().toFloat();
    g.setColour(juce::Colours::black.withAlpha(0.8f));
    g.fillRoundedRectangle(area, 4.0f);
    g.setColour(juce::Colours::white);
    g.setFont(juce::Font(12.0f, juce::Font::bold));
    g.drawText(text, getLocalBounds(), juce::Justification::centred, false);
}
}  // namespace varnoke
