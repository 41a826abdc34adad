#include "EffectHarness.h"
#include "FuzzChecks.h"
#include "FuzzTargets.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace varnoke::test::fuzz
{
namespace
{
using varnoke::test::dispatch;
using varnoke::test::Op;

std::uint32_t readLittleEndian32(const unsigned char* bytes)
{
    return static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
           (static_cast<std::uint32_t>(bytes[2]) << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24);
}

// The chunk an instance saves now, checked for its envelope and copied out.
std::vector<unsigned char> saveChunk(AEffect* effect)
{
    void* data = nullptr;
    const VstIntPtr size = dispatch(effect, Op::getChunk, 0, 0, &data);
    FUZZ_CHECK(data != nullptr);
    FUZZ_CHECK(size >= 9);
    const auto* bytes = static_cast<const unsigned char*>(data);
    FUZZ_CHECK(readLittleEndian32(bytes) == 0x21324356u);
    FUZZ_CHECK(readLittleEndian32(bytes + 4) == static_cast<std::uint32_t>(size - 9));
    FUZZ_CHECK(bytes[size - 1] == 0);
    return std::vector<unsigned char>(bytes, bytes + size);
}

bool sameValue(float a, float b)
{
    if (std::isnan(a) || std::isnan(b))
        return std::isnan(a) && std::isnan(b);
    std::uint32_t bitsA, bitsB;
    std::memcpy(&bitsA, &a, sizeof a);
    std::memcpy(&bitsB, &b, sizeof b);
    return bitsA == bitsB;
}
}  // namespace

void runStateChunk(const std::uint8_t* data, std::size_t size)
{
    keepGuiLayerUp();

    AEffect* effect = varnoke::test::createPlugin();
    FUZZ_CHECK(effect != nullptr);
    dispatch(effect, Op::open);
    dispatch(effect, Op::mainsChanged, 0, 1);

    // The host's own copy: the plug-in must neither keep nor write through it.
    std::vector<std::uint8_t> chunk(data, data + size);
    dispatch(effect, Op::setChunk, 0, static_cast<VstIntPtr>(size), chunk.empty() ? nullptr : chunk.data());
    chunk.assign(chunk.size(), 0xA5);

    // Whatever it restored, the instance still processes a block.
    std::vector<float> left(64, 0.25f), right(64, -0.25f);
    float* channels[] = {left.data(), right.data()};
    effect->processReplacing(effect, channels, channels, 64);

    // What it saves now restores to the same three values in another instance.
    const std::vector<unsigned char> saved = saveChunk(effect);
    AEffect* other = varnoke::test::createPlugin();
    FUZZ_CHECK(other != nullptr);
    std::vector<unsigned char> copy = saved;
    dispatch(other, Op::setChunk, 0, static_cast<VstIntPtr>(copy.size()), copy.data());
    for (int index = 0; index < 3; ++index)
        FUZZ_CHECK(sameValue(effect->getParameter(effect, index), other->getParameter(other, index)));
    FUZZ_CHECK(saveChunk(other) == saved);

    dispatch(other, Op::close);
    dispatch(effect, Op::close);
}
}  // namespace varnoke::test::fuzz
