#include "ScaleMenu.h"

#include "EditorScale.h"
#include "UserScaleSetting.h"

#include <cmath>
#include <iterator>

namespace varnoke
{
void ScaleMenu::show(juce::Component& target, float currentScale, ApplyScale applyScale)
{
    const bool userChose = user_scale_setting::read().has_value();
    // Items of one height only, so the menu's layout stays plain.
    juce::PopupMenu menu;
    int itemId = 1;
    for (const float factor : editor_scale::menuChoices)
    {
        const bool current = std::abs(currentScale - factor) < 0.01f;
        menu.addItem(itemId++, juce::String(juce::roundToInt(factor * 100.0f)) + " %", true, current);
    }
    menu.addItem(followHostItem, "Follow the host and desktop", userChose, !userChose);

    juce::Component::SafePointer<juce::Component> window(&target);
    menu.showMenuAsync(juce::PopupMenu::Options().withTargetComponent(&target).withMousePosition(),
                       [window, applyScale](int chosen)
                       {
                           const float factor = choose(chosen);
                           if (factor >= 0.0f && window != nullptr && applyScale)
                               applyScale(factor);
                       });
}

float ScaleMenu::choose(int itemId)
{
    if (itemId == followHostItem)
    {
        user_scale_setting::write(std::nullopt);
        return 0.0f;
    }
    constexpr int choices = static_cast<int>(std::size(editor_scale::menuChoices));
    if (itemId < 1 || itemId > choices)
        return -1.0f;
    const float factor = editor_scale::menuChoices[itemId - 1];
    user_scale_setting::write(factor);
    return factor;
}
}  // namespace varnoke
