#pragma once

#include "HostParameterTable.h"
#include "PluginAssembly.h"
#include "StateChunk.h"
#include "ValueText.h"

// The one description of the plug-in every format layer reads: the host
// parameters (HostParameterTable.h) with their value texts (ValueText.h), and
// the parts each layer wraps. They are references to what processor/ and
// editor/ already define, so there is one of each.
namespace varnoke::core
{
// A new processor whose createEditor builds the Varnoke window (the editor's
// factory is installed by editor/PluginAssembly.cpp).
inline constexpr auto createProcessor = &varnoke::createPluginProcessor;

// The saved state, the same bytes in every format (processor/StateChunk.h).
inline constexpr auto readStateChunk = &varnoke::state_chunk::read;
inline constexpr auto writeStateChunk = &varnoke::state_chunk::write;
}  // namespace varnoke::core
