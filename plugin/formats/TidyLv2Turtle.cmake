# Run after JUCE's helper wrote the LV2 bundle's Turtle files (cmake -P, with
# BUNDLE set): JUCE writes the vendor's homepage and e-mail as empty URIs,
# which hosts resolve to the description file itself and show as the author's
# address. Varnoke names neither, so the lines go.
file(READ "${BUNDLE}/dsp.ttl" turtle)
string(REGEX REPLACE "\n[\t ]*foaf:homepage <> ;" "" turtle "${turtle}")
string(REGEX REPLACE "\n[\t ]*foaf:mbox <> ;" "" turtle "${turtle}")
file(WRITE "${BUNDLE}/dsp.ttl" "${turtle}")
