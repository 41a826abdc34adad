// Renders the plug-in window to a PNG file, for the README and for review:
//   varnoke-editor-snapshot [--scale FACTOR] OUT.png [LOW PROCESS OUTPUT]
// The three optional values are the parameters, 0 to 1 (defaults 0.25 0.6 0.5).
// FACTOR (1 to 3, default 1) renders the window as a screen with that many
// pixels per point shows it: above 1 from the 2x pictures.
#include "VarnokeAudioProcessor.h"
#include "VarnokeAudioProcessorEditor.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <iostream>
#include <memory>

using namespace varnoke;

namespace juce
{
// Runs what is ready on JUCE's message queue; defined in juce_events on Linux.
bool dispatchNextMessageOnSystemQueue(bool returnIfNoPendingMessages);
}  // namespace juce

int main(int argc, char* argv[])
{
    float scale = 1.0f;
    if (argc >= 3 && juce::String(argv[1]) == "--scale")
    {
        scale = juce::String(argv[2]).getFloatValue();
        argc -= 2;
        argv += 2;
    }
    if ((argc != 2 && argc != 5) || !(scale >= 1.0f && scale <= 3.0f))
    {
        std::cerr << "usage: varnoke-editor-snapshot [--scale FACTOR] OUT.png [LOW PROCESS OUTPUT]\n"
                     "  FACTOR from 1 to 3\n";
        return 2;
    }
    float values[] = {0.25f, 0.6f, 0.5f};
    for (int i = 0; i < 3 && argc == 5; ++i)
        values[i] = juce::String(argv[i + 2]).getFloatValue();

    const juce::ScopedJuceInitialiser_GUI juce;
    VarnokeAudioProcessor processor;
    VarnokeAudioProcessorEditor::installFactory(processor);
    for (int index = 0; index < 3; ++index)
        processor.setParameter(index, values[index]);

    std::unique_ptr<juce::AudioProcessorEditor> editor(processor.createEditorIfNeeded());
    // Let the knobs' pending notifications run, as a host's message loop would.
    while (juce::dispatchNextMessageOnSystemQueue(true))
    {
    }

    const juce::Image snapshot = editor->createComponentSnapshot(editor->getLocalBounds(), true, scale);
    editor.reset();

    const juce::File file = juce::File::getCurrentWorkingDirectory().getChildFile(argv[1]);
    file.deleteFile();
    juce::FileOutputStream stream(file);
    juce::PNGImageFormat png;
    if (!stream.openedOk() || !png.writeImageToStream(snapshot, stream))
    {
        std::cerr << "cannot write " << file.getFullPathName() << "\n";
        return 1;
    }
    std::cout << "wrote " << file.getFullPathName() << " (" << snapshot.getWidth() << " x " << snapshot.getHeight()
              << ")\n";
    return 0;
}
