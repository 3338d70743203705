#include "src/songlist/Output/ExportParameter/CommonExportParameter.h"

#include "common/file/CAudioDecodeTempFileManager.h"
#include "library/util/CCheckUtil.h"
#include "library/vextal_juce/CZJEResource.h"
#include "src/songlist/CVXHost.h"
#include "src/songlist/Output/ExportParameter/ExportParameterHistory.h"

namespace Vextal
{
namespace
{
// A choice parameter: its key, values and the message keys of their texts,
// in display order.
struct ChoiceTable
{
    const char* key;
    std::vector<int> values;
    std::vector<const char*> textKeys;
};

const ChoiceTable& ChoicesOf(int index)
{
    static const ChoiceTable tables[] = {
        {"Export_Common_Source", {0, 1}, {"Export_Source_All", "Export_Source_Selected"}},
        {"Export_Common_DsdFilter",
         {2, 1, 0},
         {"Export_Filter_Off", "Export_Filter_Soft", "Export_Filter_Sharp"}},
        {"Export_Common_NormalizeMode",
         {0, 1, 2},
         {"Export_Normalize_Off", "Export_Normalize_Each", "Export_Normalize_All"}},
        {"Export_Common_DitherType",
         {0, 1, 2},
         {"Export_Dither_None", "Export_Dither_Tpdf", "Export_Dither_NoiseShaping"}},
    };
    static const ChoiceTable none{"", {}, {}};
    return juce::isPositiveAndBelow(index, 4) ? tables[index] : none;
}

constexpr const char* kTempDirectoryKey = "Export_Disc_TempDirectory";

juce::File SystemTemporaryFolder()
{
    return juce::File::getSpecialLocation(juce::File::tempDirectory);
}

bool HostHasSelectedSongs()
{
    const CVXHost* host = CVXHost::GetInstance();
    return host != nullptr && !host->GetSelection().isEmpty();
}
} // namespace

CommonExportParameter::CommonExportParameter() : CommonExportParameter(HostHasSelectedSongs) {}

CommonExportParameter::CommonExportParameter(std::function<bool()> hasSelectedSongs)
    : ExportParameter(kNumParameters), m_hasSelectedSongs(std::move(hasSelectedSongs))
{
    setParameterValue(kSource, kSourceAll, false);
    setParameterValue(kDsdFilter, 0, false);
    setParameterValue(kNormalizeMode, 0, false);
    setParameterValue(kDitherType, 0, false);
    setParameterText(kTempDirectory, SystemTemporaryFolder().getFullPathName(), false);
}

CommonExportParameter::~CommonExportParameter() = default;

int CommonExportParameter::getParameterType(int index) const
{
    if (index == kTempDirectory)
        return kTypeText;
    return VX_CHECK(juce::isPositiveAndBelow(index, static_cast<int>(kNumParameters))) ? kTypeChoice
                                                                                       : kTypeInvalid;
}

juce::Array<int> CommonExportParameter::getIntChoices(int index) const
{
    const std::vector<int>& values = ChoicesOf(index).values;
    return juce::Array<int>(values.data(), static_cast<int>(values.size()));
}

juce::StringArray CommonExportParameter::getStringChoices(int index) const
{
    juce::StringArray texts;
    for (const char* key : ChoicesOf(index).textKeys)
        texts.add(CZJEResource::GetText(key));
    return texts;
}

juce::BigInteger CommonExportParameter::getEnablements(int index) const
{
    juce::BigInteger enabled;
    enabled.setRange(0, static_cast<int>(ChoicesOf(index).values.size()), true);
    if (index == kSource && !(m_hasSelectedSongs && m_hasSelectedSongs()))
        enabled.clearBit(kSourceSelected);
    return enabled;
}

bool CommonExportParameter::fixToValidIndex(int index, int& choice) const
{
    const juce::BigInteger enabled = getEnablements(index);
    if (!enabled[choice])
        choice = firstEnabled(enabled);
    return choice >= 0;
}

bool CommonExportParameter::fixToValidText(int index, juce::String& text) const
{
    if (index != kTempDirectory)
        return false;
    text = existingFolderOr(text, getParameterText(kTempDirectory), SystemTemporaryFolder());
    return true;
}

void CommonExportParameter::resolveRestrictions(int) {}

juce::String CommonExportParameter::getKeyName(int index) const
{
    return index == kTempDirectory ? kTempDirectoryKey : ChoicesOf(index).key;
}

void CommonExportParameter::writeAdditionalPreferences(CZadPreferences& store)
{
    CAudioDecodeTempFileManager::GetInstance()->SetTempDirectoryPath(
        getParameterText(kTempDirectory).toWideCharPointer());
    ExportParameterHistory::Write(store, kTempDirectoryKey, tempDirectoryHistory, kMaxHistory);
}

void CommonExportParameter::readAdditionalPreferences(CZadPreferences& store)
{
    tempDirectoryHistory = ExportParameterHistory::Read(store, kTempDirectoryKey, kMaxHistory);
}
} // namespace Vextal
