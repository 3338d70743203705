#include "src/linux/CVXFontFaces.h"

const juce::String CVXFontFaces::kTextSample =
    juce::CharPointer_UTF8("Ag09 \xe3\x81\x82\xe3\x82\xa2\xe6\xbc\xa2\xe5\xad\x97\xe6\x9b\xb2");
const juce::String CVXFontFaces::kLatinSample = "AZaz09:.,-+%";

namespace
{
// Faces with Latin and Japanese glyphs, the proportional ones first.
const char* const kTextFaces[] = {"VL PGothic",          "VL Gothic",           "IPAPGothic",
                                  "IPAexGothic",         "IPAGothic",           "TakaoPGothic",
                                  "TakaoGothic",         "Noto Sans CJK JP",    "Noto Sans JP",
                                  "Source Han Sans JP",  "Droid Sans Japanese", "Droid Sans Fallback",
                                  "WenQuanYi Micro Hei", "WenQuanYi Zen Hei"};
const char* const kLatinFaces[] = {"DejaVu Sans", "Liberation Sans", "Bitstream Vera Sans", "FreeSans",
                                   "Nimbus Sans"};

juce::String OutlineOf(juce::Typeface& typeface, juce::juce_wchar c)
{
    juce::Path path;
    typeface.getOutlineForGlyph(static_cast<int>(c), path);
    return path.toString();
}

// The first of the preferred faces, then of all installed ones, that has the
// glyphs of sample; empty when none has.
template <size_t N>
juce::String FirstFaceWith(const char* const (&preferred)[N], const juce::String& sample)
{
    const juce::StringArray installed = juce::Font::findAllTypefaceNames();
    for (const char* face : preferred)
    {
        if (installed.contains(face) && CVXFontFaces::HasGlyphs(face, sample))
            return face;
    }
    for (const auto& face : installed)
    {
        if (CVXFontFaces::HasGlyphs(face, sample))
            return face;
    }
    return {};
}
} // namespace

bool CVXFontFaces::HasGlyphs(const juce::String& face, const juce::String& text)
{
    if (!juce::Font::findAllTypefaceNames().contains(face))
        return false;
    auto typeface = juce::Typeface::createSystemTypefaceFor(juce::Font(face, 12.0f, juce::Font::plain));
    if (typeface == nullptr)
        return false;
    const juce::String missing = OutlineOf(*typeface, kMissingCharacter);
    for (auto p = text.getCharPointer(); !p.isEmpty();)
    {
        const juce::juce_wchar c = p.getAndAdvance();
        if (juce::CharacterFunctions::isWhitespace(c))
            continue;
        const juce::String outline = OutlineOf(*typeface, c);
        if (outline.isEmpty() || outline == missing)
            return false;
    }
    return true;
}

juce::String CVXFontFaces::GetTextFace()
{
    static const juce::String face = []
    {
        const juce::String found = FirstFaceWith(kTextFaces, kTextSample);
        return found.isNotEmpty() ? found : juce::Font::getDefaultSansSerifFontName();
    }();
    return face;
}

juce::String CVXFontFaces::GetLatinFace()
{
    static const juce::String face = []
    {
        const juce::String found = FirstFaceWith(kLatinFaces, kLatinSample);
        return found.isNotEmpty() ? found : GetTextFace();
    }();
    return face;
}
