#include "src/songlist/SafeFileName.h"

#include "common/file/CChannelGroupWrite.h"
#include "common/file/CSongWrite.h"

#include <algorithm>
#include <locale>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace
{
bool IsUnsafeCharacter(juce::juce_wchar c)
{
    return c == '/' || c < 0x20 || c == 0x7F;
}

juce::String ReplaceUnsafeCharacters(const juce::String& name)
{
    juce::String out;
    out.preallocateBytes(name.getNumBytesAsUTF8());
    for (auto p = name.getCharPointer(); !p.isEmpty(); ++p)
        out += IsUnsafeCharacter(*p) ? juce::juce_wchar('_') : *p;
    return out;
}

// The longest start of name whose UTF-8 form has at most maxBytes bytes.
juce::String CutToBytes(const juce::String& name, int maxBytes)
{
    int bytes = 0;
    int characters = 0;
    for (auto p = name.getCharPointer(); !p.isEmpty(); ++p)
    {
        bytes += static_cast<int>(juce::CharPointer_UTF8::getBytesRequiredFor(*p));
        if (bytes > maxBytes)
            break;
        ++characters;
    }
    return name.substring(0, characters);
}

// Lower case by Unicode's simple mapping (the classic locale's, ASCII only,
// where no UTF-8 locale is installed).
const std::ctype<wchar_t>& UnicodeCharacters()
{
    static const std::locale locale = []
    {
        try
        {
            return std::locale("C.UTF-8");
        }
        catch (const std::runtime_error&)
        {
            return std::locale::classic();
        }
    }();
    return std::use_facet<std::ctype<wchar_t>>(locale);
}

juce::String FoldCase(const juce::String& name)
{
    std::wstring wide = name.toWideCharPointer();
    UnicodeCharacters().tolower(wide.data(), wide.data() + wide.size());
    return juce::String(wide.c_str());
}

bool IsDotsOnly(const juce::String& name)
{
    return name.containsOnly(".");
}
} // namespace

namespace Vextal
{
juce::String makeSafeFileName(const juce::String& name, int reservedBytes)
{
    juce::String safe =
        CutToBytes(ReplaceUnsafeCharacters(name), kMaxFileNameBytes - std::max(reservedBytes, 0));
    // containsOnly is true for an empty text as well.
    if (IsDotsOnly(safe))
        safe = juce::String::repeatedString("_", std::max(safe.length(), 1));
    return safe;
}

juce::String makeExportFileBaseName(const juce::String& songName, const juce::String& extension)
{
    return makeSafeFileName(songName,
                            static_cast<int>(extension.getNumBytesAsUTF8()) + kWriterNumberingBytes);
}

juce::StringArray exportFileNamesOf(const juce::String& songName, int numChannels,
                                    const juce::String& extension, int channelMode)
{
    juce::StringArray names;
    const juce::String base = makeExportFileBaseName(songName, extension);
    const int files = channelMode == 0
                          ? CChannelGroupWrite::GetNumFilesToBeCreated(static_cast<uint16_t>(numChannels), 1)
                          : 1;
    std::vector<wchar_t> name(CSongWrite::kMaxBaseNameLength + CSongWrite::kMaxExtensionLength + 16);
    for (int k = 0; k < files; ++k)
    {
        if (CChannelGroupWrite::GetFileNameToBeCreated(name.data(), static_cast<int>(name.size()) - 1,
                                                       base.toWideCharPointer(),
                                                       extension.toWideCharPointer(), files, k))
            names.add(juce::String(name.data()));
    }
    return names;
}

juce::SparseSet<int> findCollidingFileNames(const std::vector<juce::StringArray>& namesPerTarget)
{
    // The first target that writes each name.
    std::map<juce::String, int> firstWriter;
    juce::SparseSet<int> colliding;
    for (size_t t = 0; t < namesPerTarget.size(); ++t)
    {
        const int target = static_cast<int>(t);
        for (const juce::String& name : namesPerTarget[t])
        {
            const auto [it, added] = firstWriter.emplace(FoldCase(name), target);
            if (!added && it->second != target)
            {
                colliding.addRange({it->second, it->second + 1});
                colliding.addRange({target, target + 1});
            }
        }
    }
    return colliding;
}
} // namespace Vextal
