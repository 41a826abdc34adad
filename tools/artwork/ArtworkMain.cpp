// Draws the plug-in's two pictures, at 1x and at 2x, and writes them as PNG
// files (background.png, knobstrip.png, background_2x.png, knobstrip_2x.png):
//   varnoke-artwork OUTPUT_DIR [FONT_DIR]
// The generated files are committed; only changing the artwork needs this tool
// and the font packages it reads.
#include "ArtworkFonts.h"
#include "BackgroundArtwork.h"
#include "KnobStripArtwork.h"

#include <iostream>

namespace
{
bool writePng(const juce::Image& image, const juce::File& file)
{
    file.deleteFile();
    juce::FileOutputStream stream(file);
    juce::PNGImageFormat png;
    return stream.openedOk() && png.writeImageToStream(image, stream);
}
}  // namespace

int main(int argc, char* argv[])
{
    if (argc < 2 || argc > 3)
    {
        std::cerr << "usage: varnoke-artwork OUTPUT_DIR [FONT_DIR]\n";
        return 2;
    }
    const juce::ScopedJuceInitialiser_GUI juce;
    const juce::File outputDirectory = juce::File::getCurrentWorkingDirectory().getChildFile(argv[1]);
    const juce::File fontDirectory(argc == 3 ? juce::File::getCurrentWorkingDirectory().getChildFile(argv[2])
                                             : juce::File("/usr/share/fonts"));

    ArtworkFonts fonts;
    if (const auto loaded = ArtworkFonts::load(fontDirectory, fonts); loaded.failed())
    {
        std::cerr << loaded.getErrorMessage() << "(install fonts-liberation2, fonts-bebas-neue, fonts-dancingscript)\n";
        return 1;
    }

    outputDirectory.createDirectory();
    for (const int scale : {1, 2})
    {
        const juce::String suffix = scale == 1 ? ".png" : "_" + juce::String(scale) + "x.png";
        const auto background = outputDirectory.getChildFile("background" + suffix);
        const auto knobStrip = outputDirectory.getChildFile("knobstrip" + suffix);
        if (!writePng(drawBackground(fonts, scale), background) || !writePng(drawKnobStrip(scale), knobStrip))
        {
            std::cerr << "cannot write to " << outputDirectory.getFullPathName() << "\n";
            return 1;
        }
        std::cout << "wrote " << background.getFullPathName() << " and " << knobStrip.getFullPathName() << "\n";
    }
    return 0;
}
