#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <memory>

namespace varnoke
{
#if JUCE_WINDOWS
class WineRepaintPump;
#elif JUCE_LINUX
class X11Embedding;
#endif

// What the editor container needs from the instance that hosts it.
class EditorHostLink
{
public:
    virtual ~EditorHostLink() = default;

    // The editor changed its size after it was shown.
    virtual void editorSizeChanged(int width, int height) = 0;

    // The editor repainted; the host may want an idle call while the mouse is held.
    virtual void editorRepainted() = 0;
};

// The top-level component that the host's window contains. It owns the
// processor's editor, takes its size, and embeds itself into the host's
// window (an X11 window on Linux, an HWND on Windows).
class EditorContainer : public juce::Component
{
public:
    EditorContainer(std::unique_ptr<juce::AudioProcessorEditor> editorToOwn, EditorHostLink& hostLink);
    ~EditorContainer() override;

    juce::AudioProcessorEditor& getEditor() noexcept { return *editor; }

    // Readies the window system before the first editor is built.
    static void prepareWindowSystem();

    // Whether attachToHostWindow can show an editor in this native window
    // (null asks for a top-level window).
    static bool canAttachTo(void* hostWindow);

    // Shows the container as a child of the host's native window.
    void attachToHostWindow(void* hostWindow);
    // Shown in the host's window, and that window still exists as far as the
    // plug-in has seen.
    bool isAttached() const noexcept { return attached; }

    void childBoundsChanged(juce::Component* child) override;
    void paintOverChildren(juce::Graphics&) override;

private:
    std::unique_ptr<juce::AudioProcessorEditor> editor;
    EditorHostLink& host;
    bool attached = false;
#if JUCE_WINDOWS
    std::unique_ptr<WineRepaintPump> wineRepaintPump;
#elif JUCE_LINUX
    std::unique_ptr<X11Embedding> x11Embedding;
#endif

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(EditorContainer)
};
}  // namespace varnoke
