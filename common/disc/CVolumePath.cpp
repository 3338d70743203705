#include "common/disc/CVolumePath.h"

#include <climits>
#include <cstdlib>

juce::String CVolumePath::Normalise(const juce::String& path)
{
    if (!path.startsWithChar('/'))
        return {};
    juce::StringArray parts;
    parts.addTokens(path, "/", "");
    juce::StringArray kept;
    for (const juce::String& part : parts)
    {
        if (part.isEmpty() || part == ".")
            continue;
        if (part == "..")
            kept.removeRange(kept.size() - 1, 1);
        else
            kept.add(part);
    }
    return "/" + kept.joinIntoString("/");
}

juce::String CVolumePath::Canonical(const juce::String& path)
{
    const juce::String normal = Normalise(path);
    if (normal.isEmpty())
        return normal;
    char resolved[PATH_MAX];
    if (::realpath(normal.toRawUTF8(), resolved) == nullptr)
        return normal;
    return juce::String::fromUTF8(resolved);
}

bool CVolumePath::IsOnVolume(const juce::String& path, const juce::String& volume)
{
    const juce::String p = Normalise(path);
    const juce::String v = Normalise(volume);
    if (p.isEmpty() || v.isEmpty())
        return false;
    return p == v || v == "/" || p.startsWith(v + "/");
}
