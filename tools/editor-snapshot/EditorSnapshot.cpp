// Renders the plug-in window to a PNG file, for the README and for review:
//   varnoke-editor-snapshot OUT.png [LOW PROCESS OUTPUT]
// The three optional values are the parameters, 0 to 1 (defaults 0.25 0.6 0.5).
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
    if (argc != 2 && argc != 5)
    {
        std::cerr << "usage: varnoke-editor-snapshot OUT.png [LOW PROCESS OUTPUT]\n";
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

    const juce::Image snapshot = editor->createComponentSnapshot(editor->getLocalBounds(), true, 1.0f);
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
