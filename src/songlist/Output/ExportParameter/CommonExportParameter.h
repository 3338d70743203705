#pragma once

#include "src/songlist/Output/ExportParameter/ExportParameter.h"

#include <functional>

namespace Vextal
{
// The export settings shared by file export and disc burning: which songs,
// the filter of 1-bit sources, normalization, dither and the temporary
// folder; and the recently used temporary folders, which the sheets show.
//
// Threads. Message thread (see ExportParameter).
class CommonExportParameter : public ExportParameter
{
public:
    enum Index
    {
        kSource = 0,
        kDsdFilter = 1,
        kNormalizeMode = 2,
        kDitherType = 3,
        kTempDirectory = 4,
        kNumParameters = 5
    };
    // Values of Source.
    enum Source
    {
        kSourceAll = 0,
        kSourceSelected = 1
    };
    static constexpr int kMaxHistory = 10;

    // "Selected" can be chosen when the host has selected songs.
    CommonExportParameter();
    // "Selected" can be chosen when hasSelectedSongs answers true.
    explicit CommonExportParameter(std::function<bool()> hasSelectedSongs);
    CommonExportParameter(const CommonExportParameter& other) = default;
    ~CommonExportParameter() override;

    int getParameterType(int index) const override;
    juce::Array<int> getIntChoices(int index) const override;
    juce::StringArray getStringChoices(int index) const override;
    juce::BigInteger getEnablements(int index) const override;
    bool fixToValidIndex(int index, int& choice) const override;
    bool fixToValidText(int index, juce::String& text) const override;
    void resolveRestrictions(int index) override;
    juce::String getKeyName(int index) const override;
    // The temporary folder also goes to the decoder's temporary files; the
    // history is stored under the TempDirectory key + "_" + 0..9.
    void writeAdditionalPreferences(CZadPreferences& store) override;
    void readAdditionalPreferences(CZadPreferences& store) override;

    // Recently used temporary folders, newest first.
    juce::StringArray tempDirectoryHistory;

private:
    std::function<bool()> m_hasSelectedSongs;
};
} // namespace Vextal
