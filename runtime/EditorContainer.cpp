#include "EditorContainer.h"

#include "EditorScale.h"

#include <cmath>

#if JUCE_LINUX
#include "X11Embedding.h"
#elif JUCE_WINDOWS
#include "WineRepaintPump.h"
#endif

namespace varnoke
{
EditorContainer::EditorContainer(std::unique_ptr<juce::AudioProcessorEditor> editorToOwn, EditorHostLink& hostLink)
    : editor(std::move(editorToOwn))
    , host(hostLink)
{
    setOpaque(true);
    setSize(editor->getWidth(), editor->getHeight());
    editor->setTopLeftPosition(0, 0);
    addAndMakeVisible(*editor);
}

EditorContainer::~EditorContainer()
{
    // The editor goes first, while its processor still knows it as the active one.
    removeChildComponent(editor.get());
    editor.reset();
#if JUCE_WINDOWS
    wineRepaintPump.reset();
#endif
    if (isOnDesktop())
        removeFromDesktop();
#if JUCE_LINUX
    x11Embedding.reset();  // after JUCE's window, whose leftovers it frees
#endif
}

void EditorContainer::prepareWindowSystem()
{
#if JUCE_LINUX
    X11Embedding::prepareDisplay();
#endif
}

bool EditorContainer::canAttachTo([[maybe_unused]] void* hostWindow)
{
#if JUCE_LINUX
    return X11Embedding::canEmbedInto(hostWindow);
#else
    return true;
#endif
}

void EditorContainer::attachToHostWindow(void* hostWindow)
{
    setVisible(true);
    addToDesktop(0, hostWindow);
#if JUCE_LINUX
    // Once the host has destroyed its window, the editor stays (the host
    // still closes it) but has no window left to draw into.
    x11Embedding = std::make_unique<X11Embedding>(getWindowHandle(), hostWindow,
                                                  [this]
                                                  {
                                                      attached = false;
                                                      removeFromDesktop();
                                                  });
#elif JUCE_WINDOWS
    // On Windows the window is a child of the host's HWND from the start; its
    // peer now knows whether it scales by the monitor's DPI itself.
    if (platformScale() != 1.0f)
        setScaleFactor(scaleFactor);
    if (isRunningUnderWine())
        wineRepaintPump = std::make_unique<WineRepaintPump>(*this);
#endif
    attached = true;
    // The host's window may already be exposed; paint at the next dispatch regardless.
    repaint();
}

void EditorContainer::followScale(std::optional<float> hostFactor)
{
    hostScale = hostFactor;
    setScaleFactor(editor_scale::forNewWindow(hostScale));
}

void EditorContainer::hostScaleChanged(float hostFactor)
{
    followScale(hostFactor);
}

void EditorContainer::userChoseScale(float factor)
{
    if (factor > 0.0f)
        setScaleFactor(factor);
    else
        followScale(hostScale);
}

void EditorContainer::setScaleFactor(float factor)
{
    const float clamped = editor_scale::clamp(factor);
    editor->setScaleFactor(clamped / platformScale());
    scaleFactor = clamped;
    childBoundsChanged(editor.get());
}

// On Windows a window in a DPI-aware host is scaled by JUCE's peer already
// (by the monitor's DPI); the editor draws the rest of the factor. Elsewhere,
// and in hosts Windows scales as a whole, the peer draws one to one.
float EditorContainer::platformScale() const
{
#if JUCE_WINDOWS
    if (auto* peer = getPeer())
        if (const double scale = peer->getPlatformScaleFactor(); scale > 0.0)
            return static_cast<float>(scale);
#endif
    return 1.0f;
}

// Whole pixels that cover the scaled editor (a little slack keeps a product
// such as 420 x 1.1 from rounding up to one pixel more).
juce::Rectangle<int> EditorContainer::scaledEditorBounds() const
{
    const double editorScale = editor_scale::ofTransform(editor->getTransform());
    const auto covering = [editorScale](int length)
    { return static_cast<int>(std::ceil(static_cast<double>(length) * editorScale - 1.0e-3)); };
    return {0, 0, covering(editor->getWidth()), covering(editor->getHeight())};
}

void EditorContainer::childBoundsChanged(juce::Component* child)
{
    if (child != editor.get())
        return;

    scaleFactor = editor_scale::ofTransform(editor->getTransform()) * platformScale();
    const auto bounds = scaledEditorBounds();
    const int width = bounds.getWidth();
    const int height = bounds.getHeight();
    if (width == getWidth() && height == getHeight())
        return;

    setSize(width, height);
    if (attached)
        host.editorSizeChanged(width, height);
    // The whole window again, once the window system has taken the new size:
    // a repaint asked for before covers only the old area.
    repaint();
    juce::Component::SafePointer<EditorContainer> self(this);
    juce::MessageManager::callAsync(
        [self]
        {
            if (self != nullptr)
                self->repaint();
        });
}

// At a scale where the editor's size is no whole number of pixels, the last row
// and column are only partly covered by it.
void EditorContainer::paint(juce::Graphics& g)
{
    g.fillAll(juce::Colours::black);
}

void EditorContainer::paintOverChildren(juce::Graphics&)
{
    host.editorRepainted();
}
}  // namespace varnoke
