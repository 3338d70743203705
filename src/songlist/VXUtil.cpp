#include "src/songlist/VXUtil.h"

#include "common/file/CQuickTimeFileRead.h"
#include "library/util/CDataUtil.h"
#include "library/vextal_juce/CZJEResource.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace Vextal
{
namespace
{
// value with decimals places (0 to 10) and the unit.
juce::String FixedPoint(double value, int decimals, const char* unit)
{
    char text[64];
    std::snprintf(text, sizeof(text), "%.*f %s", juce::jlimit(0, 10, decimals), value, unit);
    return text;
}
} // namespace

juce::String getAudioFileWildcard()
{
    juce::String wildcard = "*.wav;*.aif;*.aiff;";
    if (CQuickTimeFileRead::IsQuickTimeInstalled())
        wildcard << "*.mp3;*.m4a;*.wma;";
    return wildcard + "*.cda;*.cue;*.vxsl";
}

juce::StringArray getImageFileExtensions(bool withAudioFiles)
{
    juce::StringArray extensions{"jpg", "jpeg", "png"};
    if (!withAudioFiles)
        return extensions;
    extensions.addArray(juce::StringArray{"aif", "aiff"});
    if (CQuickTimeFileRead::IsQuickTimeInstalled())
        extensions.addArray(juce::StringArray{"mp3", "m4a"});
    return extensions;
}

juce::String getImageFileWildcard(bool withAudioFiles)
{
    juce::String wildcard;
    for (const auto& extension : getImageFileExtensions(withAudioFiles))
        wildcard << "*." << extension << ";";
    return wildcard;
}

juce::String fixShortcutKeyText(const juce::String& text)
{
    return text.replace(", backspace", "")
        .replace("spacebar", CZJEResource::GetText("Menu_Key_Space"))
        .replace("shortcut:", "")
        .removeCharacters("'")
        .replace("cursor left", CZJEResource::GetText("Symbol_Left"))
        .replace("cursor right", CZJEResource::GetText("Symbol_Right"));
}

juce::String convertSampleRateToString(double rate, bool spaceBeforeUnit)
{
    double divisor = 1.0;
    const char* unit = "Hz";
    if (rate >= 1000000.0)
    {
        divisor = 1000000.0;
        unit = "MHz";
    }
    else if (rate >= 1000.0)
    {
        divisor = 1000.0;
        unit = "kHz";
    }
    // Tenths of the unit, cut; dividing once keeps 88200 at 882 exactly.
    double tenths = std::trunc(rate * 10.0 / divisor);
    if (!std::isfinite(tenths) || std::abs(tenths) > 1.0e15)
        tenths = 0.0;
    const auto n = static_cast<juce::int64>(tenths);
    return juce::String(n / 10) + "." + juce::String(std::abs(n % 10)) + (spaceBeforeUnit ? " " : "") + unit;
}

juce::String descriptionOfSizeInBytes(juce::int64 bytes, bool thousands, int decimals)
{
    const juce::int64 step = thousands ? 1000 : 1024;
    if (bytes == 1)
        return "1 " + CZJEResource::GetText("Unit_Byte");
    if (bytes < step)
        return juce::String(bytes) + " " + CZJEResource::GetText("Unit_Bytes");
    const auto size = static_cast<double>(bytes);
    if (bytes < step * step)
        return FixedPoint(size / static_cast<double>(step), decimals, "KB");
    if (bytes < step * step * step)
        return FixedPoint(size / static_cast<double>(step * step), decimals, "MB");
    return FixedPoint(size / static_cast<double>(step * step * step), decimals, "GB");
}

juce::String convertTimeToString(int hours, int minutes, float seconds, int style)
{
    const double whole = std::floor(static_cast<double>(seconds));
    const double millis = std::round((static_cast<double>(seconds) - whole) * 1000.0) / 1000.0;
    const double total = hours * 3600.0 + minutes * 60.0 + whole + millis + 0.000001;
    int h = 0, m = 0;
    CDataUtil::SecondToTime(total, &h, &m, nullptr);
    // The rest in double: a float near 60 s is too coarse for milliseconds.
    const double rest = std::clamp(total - h * 3600.0 - m * 60.0, 0.0, 59.999);
    const int s = static_cast<int>(rest);
    const int ms = static_cast<int>((rest - s) * 1000.0);
    if (style == 1)
        return h > 0 ? juce::String::formatted("%d:%02d:%02d", h, m, s)
                     : juce::String::formatted("%d:%02d", m, s);
    return juce::String::formatted("%02d:%02d:%02d.%03d", h, m, s, ms);
}

juce::String convertTimeToString(double seconds, int style)
{
    int hours = 0, minutes = 0;
    float rest = 0.0f;
    CDataUtil::SecondToTime(seconds, &hours, &minutes, &rest);
    return convertTimeToString(hours, minutes, rest, style);
}
} // namespace Vextal
