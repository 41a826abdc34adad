#include "PluginAssembly.h"

#include "VarnokeAudioProcessorEditor.h"

namespace varnoke
{
std::unique_ptr<VarnokeAudioProcessor> createPluginProcessor()
{
    auto processor = std::make_unique<VarnokeAudioProcessor>();
    VarnokeAudioProcessorEditor::installFactory(*processor);
    return processor;
}
}  // namespace varnoke
