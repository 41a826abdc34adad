// Writes a long stereo test file (pink-ish noise under a slow chord) for timing
// varnoke-render on real file sizes:  varnoke_make_long_input OUT.wav MINUTES [RATE]

#include <juce_audio_formats/juce_audio_formats.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc < 3)
    {
        std::fprintf(stderr, "usage: %s OUT.wav MINUTES [RATE]\n", argv[0]);
        return 2;
    }
    const double minutes = std::atof(argv[2]);
    const double rate = argc > 3 ? std::atof(argv[3]) : 48000.0;
    const auto frames = static_cast<juce::int64>(minutes * 60.0 * rate);

    juce::File out(juce::File::getCurrentWorkingDirectory().getChildFile(argv[1]));
    out.deleteFile();
    auto stream = out.createOutputStream();
    juce::WavAudioFormat wav;
    std::unique_ptr<juce::AudioFormatWriter> writer(stream ? wav.createWriterFor(stream.get(), rate, 2, 16, {}, 0)
                                                           : nullptr);
    if (writer == nullptr)
    {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    stream.release();

    juce::Random random(42);
    juce::AudioSampleBuffer block(2, 4096);
    double smooth = 0.0, phase = 0.0;
    for (juce::int64 done = 0; done < frames; done += block.getNumSamples())
    {
        const int length = static_cast<int>(std::min<juce::int64>(block.getNumSamples(), frames - done));
        for (int i = 0; i < length; ++i)
        {
            smooth = 0.98 * smooth + 0.02 * (random.nextFloat() * 2.0 - 1.0);
            phase += 2.0 * juce::MathConstants<double>::pi * 110.0 / rate;
            const double tone = 0.2 * std::sin(phase) + 0.1 * std::sin(phase * 1.5) + 0.08 * std::sin(phase * 4.0);
            block.setSample(0, i, static_cast<float>(tone + 2.0 * smooth + 0.05 * (random.nextFloat() - 0.5)));
            block.setSample(1, i, static_cast<float>(tone - 2.0 * smooth + 0.05 * (random.nextFloat() - 0.5)));
        }
        writer->writeFromAudioSampleBuffer(block, 0, length);
    }
    return 0;
}
