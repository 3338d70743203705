#pragma once

#include <juce_graphics/juce_graphics.h>

// The font faces the look draws in on this platform, chosen by checking the
// glyphs the installed faces have.
//
// JUCE on Linux draws every character of a text in one face: a character the
// face lacks shows as that face's missing-glyph box, never in another face.
// It also knows only the faces of ".ttf", ".otf", ".pfb" and ".pcf" files;
// font collections (".ttc") are not seen. Song names, file names and disc
// texts come in any language, so every text that may hold them is drawn in
// the text face, which has Latin letters, kana and kanji. Times, rates and
// other ASCII texts use the Latin face.
//
// The faces are chosen once, on first use; any thread.
class CVXFontFaces
{
public:
    // Latin letters, digits, hiragana, katakana and kanji.
    static const juce::String kTextSample;
    // Latin letters, digits and the signs of times and rates.
    static const juce::String kLatinSample;

    // The first installed face with glyphs for kTextSample: the known
    // Japanese faces first, then any other; JUCE's default sans-serif face
    // when none has them.
    static juce::String GetTextFace();
    // The first installed Latin sans-serif face with glyphs for kLatinSample;
    // the text face when none has them.
    static juce::String GetLatinFace();

    // True when the installed face has a glyph of its own, not its
    // missing-glyph shape, for every character of text that is not blank.
    static bool HasGlyphs(const juce::String& face, const juce::String& text);
    // A character no face has; it draws as the missing-glyph shape.
    static constexpr juce::juce_wchar kMissingCharacter = 0x10FFFD;
};
