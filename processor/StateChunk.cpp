#include "StateChunk.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <string_view>

namespace varnoke::state_chunk
{
namespace
{
constexpr const char* tagName = "pushState";
constexpr const char* lowContourKey = "low_contour";
constexpr const char* processKey = "process";
constexpr const char* outputKey = "output_g";

constexpr int headerSize = 8;

// JUCE's XML parser is not safe with every text a damaged or crafted state
// may hold, so the reader only hands it texts it is known to survive:
// - at most 256 '<' characters: the parser recurses once per nested element
//   (on the host's stack) and every element needs a '<' of its own;
// - no document type: it declares entities that expand into more text, and
//   into elements;
// - no processing instruction after the XML declaration: one followed by text
//   inside an element makes the parser loop forever;
// - every '&' begins a well-formed reference ("&name;", "&#65;", "&#x41;"): a
//   numeric one left open at the end of the text makes the parser read past
//   it, and an open one swallows text up to the next ';' that it then parses.
// A saved state is one element; other plug-ins' states stay far within this.
constexpr std::size_t maxTagOpenings = 256;

// The parser's work grows with the square of some counts: every entity
// reference copies the whole attribute value read so far, and every new name
// is inserted into JUCE's sorted pool of names. A saved state is one element
// of three attributes and under a hundred bytes; texts beyond these limits are
// refused before they are parsed, which keeps the worst case to milliseconds.
constexpr std::size_t maxTextBytes = 64 * 1024;
constexpr std::size_t maxReferences = 1024;
constexpr std::size_t maxAttributes = 1024;  // counted as '=' characters, each attribute needs one

bool isIdentifierCharacter(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == ':' || c == '.';
}

bool referencesAreWellFormed(std::string_view text)
{
    constexpr std::size_t maxDigits = 8;
    for (auto i = text.find('&'); i != std::string_view::npos; i = text.find('&', i))
    {
        ++i;
        std::size_t start = i;
        std::size_t maxLength = text.size();
        int (*isDigit)(int) = nullptr;
        if (i < text.size() && text[i] == '#')
        {
            const bool hex = i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X');
            start = i + (hex ? 2 : 1);
            maxLength = maxDigits;
            isDigit = hex ? static_cast<int (*)(int)>(std::isxdigit) : static_cast<int (*)(int)>(std::isdigit);
        }
        std::size_t end = start;
        while (end < text.size() && end - start < maxLength &&
               (isDigit != nullptr ? isDigit(static_cast<unsigned char>(text[end])) != 0
                                   : isIdentifierCharacter(text[end])))
            ++end;
        if (end == start || end >= text.size() || text[end] != ';')
            return false;
        i = end + 1;
    }
    return true;
}

bool isWithinLimits(std::string_view text)
{
    return text.size() <= maxTextBytes &&
           static_cast<std::size_t>(std::count(text.begin(), text.end(), '&')) <= maxReferences &&
           static_cast<std::size_t>(std::count(text.begin(), text.end(), '=')) <= maxAttributes;
}

bool isSafeToParse(std::string_view text)
{
    if (!referencesAreWellFormed(text))
        return false;
    if (static_cast<std::size_t>(std::count(text.begin(), text.end(), '<')) > maxTagOpenings)
        return false;
    if (text.find("<!DOCTYPE") != std::string_view::npos)
        return false;

    std::size_t afterDeclaration = 0;
    const auto firstNonSpace = text.find_first_not_of(" \t\r\n");
    if (firstNonSpace != std::string_view::npos && text.substr(firstNonSpace).rfind("<?xml", 0) == 0)
    {
        const auto declarationEnd = text.find("?>", firstNonSpace);
        if (declarationEnd == std::string_view::npos)
            return false;
        afterDeclaration = declarationEnd + 2;
    }
    return text.find("<?", afterDeclaration) == std::string_view::npos;
}

// The three values of the element the text holds, or nothing without one.
std::optional<Values> readElement(const juce::String& text)
{
    const auto element = juce::XmlDocument::parse(text);
    if (element == nullptr)
        return std::nullopt;

    const auto attribute = [&element](const char* name)
    { return element->hasAttribute(name) ? static_cast<float>(parseNumber(element->getStringAttribute(name))) : 0.0f; };

    Values values;
    values.lowContour = attribute(lowContourKey);
    values.process = attribute(processKey);
    values.output = attribute(outputKey);
    return values;
}

juce::uint32 readLittleEndian32(const unsigned char* bytes)
{
    return static_cast<juce::uint32>(bytes[0]) | (static_cast<juce::uint32>(bytes[1]) << 8) |
           (static_cast<juce::uint32>(bytes[2]) << 16) | (static_cast<juce::uint32>(bytes[3]) << 24);
}

void writeLittleEndian32(unsigned char* bytes, juce::uint32 value)
{
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<unsigned char>(value >> (8 * i));
}

void appendAttribute(std::string& text, const char* name, float value)
{
    text += ' ';
    text += name;
    text += "=\"";
    text += formatNumber(static_cast<double>(value)).toStdString();
    text += '"';
}
}  // namespace

juce::String formatNumber(double value)
{
    char digits[64];
    // to_chars is locale-independent and, with a precision, formats as printf's %.*g.
    const auto result = std::to_chars(digits, digits + sizeof(digits), value, std::chars_format::general, 20);
    return juce::String(digits, static_cast<size_t>(result.ptr - digits));
}

double parseNumber(const juce::String& text)
{
    const std::string utf8 = text.toStdString();
    const char* begin = utf8.c_str();
    const char* end = begin + utf8.size();

    while (begin != end && juce::CharacterFunctions::isWhitespace(*begin))
        ++begin;

    // from_chars takes a leading minus but not a plus.
    bool negate = false;
    if (begin != end && (*begin == '+' || *begin == '-'))
    {
        negate = *begin == '-';
        ++begin;
        if (begin != end && (*begin == '+' || *begin == '-'))
            return 0.0;
    }

    double value = 0.0;
    const auto result = std::from_chars(begin, end, value);
    if (result.ec == std::errc::result_out_of_range)
    {
        // Beyond the double range: let the wider type decide between infinity and zero.
        long double wide = 0.0L;
        if (std::from_chars(begin, end, wide).ec == std::errc())
            value = static_cast<double>(wide);
        else
            value = 0.0;
    }
    else if (result.ec != std::errc())
    {
        return 0.0;
    }

    return negate ? -value : value;
}

void write(const Values& values, juce::MemoryBlock& destination)
{
    std::string text = "<";
    text += tagName;
    appendAttribute(text, lowContourKey, values.lowContour);
    appendAttribute(text, processKey, values.process);
    appendAttribute(text, outputKey, values.output);
    text += "/>";

    const size_t totalSize = headerSize + text.size() + 1;
    destination.setSize(totalSize);
    auto* bytes = static_cast<unsigned char*>(destination.getData());
    writeLittleEndian32(bytes, magic);
    writeLittleEndian32(bytes + 4, static_cast<juce::uint32>(totalSize - 9));
    std::memcpy(bytes + headerSize, text.data(), text.size());
    bytes[totalSize - 1] = 0;
}

std::optional<Values> read(const void* data, int sizeInBytes)
{
    if (data == nullptr || sizeInBytes <= headerSize)
        return std::nullopt;

    const auto* bytes = static_cast<const unsigned char*>(data);
    if (readLittleEndian32(bytes) != magic)
        return std::nullopt;

    const auto length = static_cast<juce::int32>(readLittleEndian32(bytes + 4));
    if (length <= 0)
        return std::nullopt;

    const auto* textStart = reinterpret_cast<const char*>(bytes + headerSize);
    const size_t available = std::min(static_cast<size_t>(length), static_cast<size_t>(sizeInBytes - headerSize));
    const auto* terminator = static_cast<const char*>(std::memchr(textStart, 0, available));
    const size_t textLength = terminator != nullptr ? static_cast<size_t>(terminator - textStart) : available;

    if (!isWithinLimits(std::string_view(textStart, textLength)))
        return std::nullopt;

    // Text that is not UTF-8 cannot be decoded, so it cannot be a saved state.
    if (!juce::CharPointer_UTF8::isValidString(textStart, static_cast<int>(textLength)))
        return std::nullopt;

    if (!isSafeToParse(std::string_view(textStart, textLength)))
        return std::nullopt;

    const auto values = readElement(juce::String::fromUTF8(textStart, static_cast<int>(textLength)));

    // The parser keeps every tag and attribute name in JUCE's pool of names for
    // good; names only the parsed element used go now, or a stream of states
    // with ever-new names would grow memory without end.
    juce::StringPool::getGlobalPool().garbageCollect();
    return values;
}
}  // namespace varnoke::state_chunk
