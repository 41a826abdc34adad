#include "EditorContainer.h"

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
    // On Windows the window is a child of the host's HWND from the start.
    if (isRunningUnderWine())
        wineRepaintPump = std::make_unique<WineRepaintPump>(*this);
#endif
    attached = true;
    // The host's window may already be exposed; paint at the next dispatch regardless.
    repaint();
}

void EditorContainer::childBoundsChanged(juce::Component* child)
{
    if (child != editor.get())
        return;

    const int width = editor->getWidth();
    const int height = editor->getHeight();
    if (width == getWidth() && height == getHeight())
        return;

    setSize(width, height);
    if (attached)
        host.editorSizeChanged(width, height);
}

void EditorContainer::paintOverChildren(juce::Graphics&)
{
    host.editorRepainted();
}
}  // namespace varnoke
