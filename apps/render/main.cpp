// varnoke-render: a small offline VST 2.4 host that renders audio files through
// the plug-in, loaded the way a DAW loads it.

#include "RenderCommand.h"
#include "RenderError.h"
#include "RenderOptions.h"
#include "TemporaryFileCleanup.h"

#include <cstdio>

int main(int argc, char** argv)
{
    using namespace varnoke::render;
    cleanup::installSignalHandlers();

    RenderOptions options;
    try
    {
        options = parseRenderOptions(std::vector<std::string>(argv + 1, argv + argc));
    }
    catch (const RenderError& error)
    {
        std::fprintf(stderr, "varnoke-render: %s\n", error.what());
        return 2;  // a command line that cannot be run
    }
    if (options.help)
    {
        std::fputs(renderUsage(), stdout);
        return 0;
    }
    if (options.listPresets)
    {
        std::fputs(factoryPresetList().c_str(), stdout);
        return 0;
    }

    try
    {
        runRenderCommand(options);
        return 0;
    }
    catch (const RenderError& error)
    {
        std::fprintf(stderr, "varnoke-render: %s\n", error.what());
        return 1;
    }
}
