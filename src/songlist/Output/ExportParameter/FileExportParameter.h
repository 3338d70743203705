#pragma once

#include "src/songlist/Output/ExportParameter/ExportParameter.h"

#include <cstdint>

namespace Vextal
{
// The settings of a file export: output folder, format, channels, sample
// rate, bit depth and, for compressed formats, the quality (bit rate). The
// choices follow the format's writer (VextalFileUtil) in a cascade: the
// format decides the channel modes, these the rates, these the bit depths,
// and all of them the quality options. Only formats that have a writer are
// offered.
//
// Threads. Message thread (see ExportParameter).
class FileExportParameter : public ExportParameter
{
public:
    enum Index
    {
        kOutputPath = 0,
        kFormat = 1,
        kType = 2,
        kSampleRate = 3,
        kBitDepth = 4,
        kQualityOption = 5,
        kNumParameters = 6
    };
    // Values of Type.
    enum Type
    {
        kTypeMono = 0,
        kTypeStereo = 1
    };
    static constexpr int kMaxHistory = 10;
    static constexpr int kNumFileFormats = 13;
    // The format ids by value (the value of a Format choice is a position
    // here), and the names shown for them.
    static const char* const kFileFormatIDs[kNumFileFormats];
    static const char* const kFileFormatNames[kNumFileFormats];
    static constexpr int kBitDepths[2] = {16, 24};
    // The quality chosen by default: the first option from here up to 999
    // bit/s above.
    static constexpr int kDefaultQuality = 127500;

    FileExportParameter();
    FileExportParameter(const FileExportParameter& other) = default;
    ~FileExportParameter() override;

    int getNumChannels() const;
    // Hz; 0 while no rate is chosen.
    uint32_t getSampleRate() const;
    // For a format with quality options the highest bit depth its writer
    // takes, otherwise the chosen one.
    uint16_t getBitDepth() const;
    // 0 for a format without quality options.
    int getQualityOption() const;
    // The chosen format's id; empty when none is chosen.
    juce::String getFormatUniqueID() const;

    int getParameterType(int index) const override;
    juce::Array<int> getIntChoices(int index) const override;
    juce::StringArray getStringChoices(int index) const override;
    juce::BigInteger getEnablements(int index) const override;
    bool fixToValidIndex(int index, int& choice) const override;
    bool fixToValidText(int index, juce::String& text) const override;
    void resolveRestrictions(int index) override;
    juce::String getKeyName(int index) const override;
    // The output folder history, under the OutputPath key + "_" + 0..9.
    void writeAdditionalPreferences(CZadPreferences& store) override;
    void readAdditionalPreferences(CZadPreferences& store) override;

    // The offered formats (positions in kFileFormatIDs) and rates.
    juce::Array<int> formats;
    juce::Array<int> sampleRates;
    // Recently used output folders, newest first.
    juce::StringArray outputPathHistory;
    // The last quality chosen; the quality is chosen again by it when the
    // options change.
    int rememberedQuality = 128000;

private:
    // The quality options of the format for the channels and rate chosen at
    // the bit depth given.
    std::vector<int> QualityOptions(uint16_t bits) const;
    // The highest bit depth the format's writer takes now; 0 when none.
    int HighestEnabledBitDepth() const;
    void ResolveSampleRate();
    // The position of the first quality option from kDefaultQuality to 999
    // bit/s above; -1 when none is.
    int DefaultQualityIndex() const;
};
} // namespace Vextal
