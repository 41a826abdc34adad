#pragma once

#include "EditorScale.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <memory>
#include <optional>

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
class EditorContainer : public juce::Component, public editor_scale::ScaleChoiceListener
{
public:
    EditorContainer(std::unique_ptr<juce::AudioProcessorEditor> editorToOwn, EditorHostLink& hostLink);
    ~EditorContainer() override;

    juce::AudioProcessorEditor& getEditor() noexcept { return *editor; }

    // The scale the window is drawn at: the user's choice from the window's
    // menu when one is remembered, else the host's factor when the host gave
    // one (VST3 content scale, LV2 ui:scaleFactor), else the desktop's. Sets
    // it now; the host's factor may change later.
    void followScale(std::optional<float> hostFactor);
    void hostScaleChanged(float hostFactor);
    void userChoseScale(float factor) override;
    float currentScale() const override { return scaleFactor; }

    // Draws the editor at this many screen pixels per point (clamped to
    // 1x..3x) and takes the size of the scaled editor; an attached container
    // tells the host of its new size. The factor counts the scale the
    // window system applies itself (see platformScale).
    void setScaleFactor(float factor);
    float getScaleFactor() const noexcept { return scaleFactor; }

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
    void paint(juce::Graphics&) override;
    void paintOverChildren(juce::Graphics&) override;

private:
    // The editor's size as the container shows it, its scale included.
    juce::Rectangle<int> scaledEditorBounds() const;
    // The scale JUCE's window on the screen applies by itself.
    float platformScale() const;

    std::unique_ptr<juce::AudioProcessorEditor> editor;
    EditorHostLink& host;
    bool attached = false;
    float scaleFactor = 1.0f;
    std::optional<float> hostScale;
#if JUCE_WINDOWS
    std::unique_ptr<WineRepaintPump> wineRepaintPump;
#elif JUCE_LINUX
    std::unique_ptr<X11Embedding> x11Embedding;
#endif

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(EditorContainer)
};
}  // namespace varnoke
