#include "src/songlist/Output/ExportParameter/FileExportParameter.h"

#include "common/file/VextalFileUtil.h"
#include "library/util/CCheckUtil.h"
#include "library/vextal_juce/CZJEResource.h"
#include "src/songlist/Output/ExportParameter/ExportParameterHistory.h"
#include "src/songlist/VXUtil.h"

#include <algorithm>

namespace Vextal
{
const char* const FileExportParameter::kFileFormatIDs[kNumFileFormats] = {
    "WAV", "BWF", "AIFF", "FLAC", "MP3", "WMA", "WMA-P", "WMA-L", "AAC", "ALAC", "DSDIFF", "DSF", "WSD"};
const char* const FileExportParameter::kFileFormatNames[kNumFileFormats] = {
    "WAV",          "BWF", "AIFF", "FLAC",   "MP3", "WMA", "WMA Professional",
    "WMA Lossless", "AAC", "ALAC", "DSDIFF", "DSF", "WSD"};

namespace
{
const char* const kKeys[FileExportParameter::kNumParameters] = {
    "Export_File_OutputPath", "Export_File_Format",   "Export_File_Type",
    "Export_File_SampleRate", "Export_File_BitDepth", "Export_File_QualityOption"};

// The formats the export sheet offers, of which those with a writer are
// kept; and the rates.
const int kCandidateFormats[] = {0, 2, 4, 8};
const int kRates[] = {44100, 48000, 88200, 96000};

juce::File MusicFolder()
{
    return juce::File::getSpecialLocation(juce::File::userMusicDirectory);
}

bool HasWriter(int format)
{
    return !VextalFileUtil::GetPossibleNumChannels(FileExportParameter::kFileFormatIDs[format]).empty();
}

template <typename T>
bool Contains(const std::vector<T>& values, int value)
{
    return std::find(values.begin(), values.end(), static_cast<T>(value)) != values.end();
}

juce::BigInteger AllOf(int count)
{
    juce::BigInteger bits;
    bits.setRange(0, count, true);
    return bits;
}
} // namespace

FileExportParameter::FileExportParameter() : ExportParameter(kNumParameters)
{
    for (const int format : kCandidateFormats)
        if (HasWriter(format))
            formats.add(format);
    // The rates come first, so that the set is complete when it is made.
    for (const int rate : kRates)
        sampleRates.add(rate);
    setParameterText(kOutputPath, MusicFolder().getFullPathName(), true);
    setParameterValue(kFormat, 0, true);
    setParameterValue(kType, kTypeStereo, true);
    setParameterValue(kSampleRate, 44100, true);
    setParameterValue(kBitDepth, 16, true);
}

FileExportParameter::~FileExportParameter() = default;

// ---------------------------------------------------------------------------
// What is chosen

int FileExportParameter::getNumChannels() const
{
    return getParameterIndex(kType) == kTypeMono ? 1 : 2;
}

uint32_t FileExportParameter::getSampleRate() const
{
    const int selected = getParameterIndex(kSampleRate);
    return juce::isPositiveAndBelow(selected, sampleRates.size())
               ? static_cast<uint32_t>(sampleRates[selected])
               : 0;
}

uint16_t FileExportParameter::getBitDepth() const
{
    const int highest = HighestEnabledBitDepth();
    if (!QualityOptions(static_cast<uint16_t>(highest)).empty())
        return static_cast<uint16_t>(highest);
    const int selected = getParameterIndex(kBitDepth);
    return juce::isPositiveAndBelow(selected, 2) ? static_cast<uint16_t>(kBitDepths[selected]) : 0;
}

int FileExportParameter::getQualityOption() const
{
    return QualityOptions(getBitDepth()).empty() ? 0 : getParameterValue(kQualityOption);
}

juce::String FileExportParameter::getFormatUniqueID() const
{
    const int selected = getParameterIndex(kFormat);
    return juce::isPositiveAndBelow(selected, formats.size()) ? kFileFormatIDs[formats[selected]] : "";
}

std::vector<int> FileExportParameter::QualityOptions(uint16_t bits) const
{
    return VextalFileUtil::GetPossibleQualityOptions(
        getFormatUniqueID().toRawUTF8(), static_cast<uint16_t>(getNumChannels()), getSampleRate(), bits);
}

int FileExportParameter::HighestEnabledBitDepth() const
{
    const int bit = getEnablements(kBitDepth).getHighestBit();
    return juce::isPositiveAndBelow(bit, 2) ? kBitDepths[bit] : 0;
}

int FileExportParameter::DefaultQualityIndex() const
{
    const juce::Array<int> options = getIntChoices(kQualityOption);
    for (int k = 0; k < options.size(); ++k)
        if (options[k] >= kDefaultQuality && options[k] <= kDefaultQuality + 999)
            return k;
    return -1;
}

// ---------------------------------------------------------------------------
// The parameters

int FileExportParameter::getParameterType(int index) const
{
    if (index == kOutputPath)
        return kTypeText;
    return VX_CHECK(juce::isPositiveAndBelow(index, static_cast<int>(kNumParameters))) ? kTypeChoice
                                                                                       : kTypeInvalid;
}

juce::Array<int> FileExportParameter::getIntChoices(int index) const
{
    switch (index)
    {
    case kFormat:
        return formats;
    case kType:
        return {kTypeMono, kTypeStereo};
    case kSampleRate:
        return sampleRates;
    case kBitDepth:
        return {kBitDepths[0], kBitDepths[1]};
    case kQualityOption:
    {
        const std::vector<int> options = QualityOptions(getBitDepth());
        return juce::Array<int>(options.data(), static_cast<int>(options.size()));
    }
    default:
        return {};
    }
}

juce::StringArray FileExportParameter::getStringChoices(int index) const
{
    juce::StringArray texts;
    const juce::Array<int> values = getIntChoices(index);
    for (const int value : values)
    {
        switch (index)
        {
        case kFormat:
            texts.add(kFileFormatNames[value]);
            break;
        case kType:
            texts.add(CZJEResource::GetText(value == kTypeMono ? "Export_FileType_Mono"
                                                               : "Export_FileType_Stereo"));
            break;
        case kSampleRate:
            texts.add(convertSampleRateToString(value, true));
            break;
        case kBitDepth:
            texts.add(juce::String(value) + " bit");
            break;
        default:
            texts.add(juce::String((value + 500) / 1000) + " kbps");
            break;
        }
    }
    return texts;
}

juce::BigInteger FileExportParameter::getEnablements(int index) const
{
    const std::string id = getFormatUniqueID().toStdString();
    const auto channels = static_cast<uint16_t>(getNumChannels());
    juce::BigInteger bits;
    switch (index)
    {
    case kFormat:
        return AllOf(formats.size());
    case kType:
        bits.setBit(kTypeMono, Contains(VextalFileUtil::GetPossibleNumChannels(id.c_str()), 1));
        bits.setBit(kTypeStereo, Contains(VextalFileUtil::GetPossibleNumChannels(id.c_str()), 2));
        return bits;
    case kSampleRate:
    {
        const std::vector<uint32_t> rates = VextalFileUtil::GetPossibleSampleRates(id.c_str(), channels);
        for (int k = 0; k < sampleRates.size(); ++k)
            bits.setBit(k, Contains(rates, sampleRates[k]));
        return bits;
    }
    case kBitDepth:
    {
        const std::vector<uint16_t> depths =
            VextalFileUtil::GetPossibleBitsPerSamples(id.c_str(), channels, getSampleRate());
        for (int k = 0; k < 2; ++k)
            bits.setBit(k, Contains(depths, kBitDepths[k]));
        return bits;
    }
    case kQualityOption:
        return AllOf(getIntChoices(kQualityOption).size());
    default:
        return bits;
    }
}

bool FileExportParameter::fixToValidIndex(int index, int& choice) const
{
    const juce::BigInteger enabled = getEnablements(index);
    if (enabled[choice])
        return true;
    if (index == kType && choice != kTypeStereo)
        choice = kTypeStereo;
    else if (index == kQualityOption && DefaultQualityIndex() >= 0)
        choice = DefaultQualityIndex();
    else
        choice = firstEnabled(enabled);
    return choice >= 0;
}

bool FileExportParameter::fixToValidText(int index, juce::String& text) const
{
    if (index != kOutputPath)
        return false;
    text = existingFolderOr(text, getParameterText(kOutputPath), MusicFolder());
    return true;
}

// ---------------------------------------------------------------------------
// The cascade

void FileExportParameter::resolveRestrictions(int index)
{
    switch (index)
    {
    case kFormat:
        updateEnablements(kType);
        setParameterIndex(kType, getParameterIndex(kType), true);
        break;
    case kType:
        updateEnablements(kSampleRate);
        setParameterIndex(kSampleRate, getParameterIndex(kSampleRate), true);
        break;
    case kSampleRate:
        ResolveSampleRate();
        break;
    case kQualityOption:
        if (juce::isPositiveAndBelow(getParameterIndex(kQualityOption), getIntChoices(kQualityOption).size()))
            rememberedQuality = getParameterValue(kQualityOption);
        break;
    default:
        break;
    }
}

void FileExportParameter::ResolveSampleRate()
{
    const std::vector<int> options = QualityOptions(static_cast<uint16_t>(HighestEnabledBitDepth()));
    if (options.empty())
    {
        updateEnablements(kBitDepth);
        setParameterIndex(kBitDepth, getParameterIndex(kBitDepth), true);
    }
    // The quality is chosen again by the value chosen last, bound list or
    // not: the first option at or above it, else the last. It is stored
    // before a bound list is rebuilt, so that the list shows it at once.
    const int saved = rememberedQuality;
    const int before = getParameterIndex(kQualityOption);
    int pick = -1;
    if (!options.empty())
    {
        const auto at = std::find_if(options.begin(), options.end(), [saved](int v) { return v >= saved; });
        pick = static_cast<int>((at != options.end() ? at : options.end() - 1) - options.begin());
        setParameterIndex(kQualityOption, pick, false);
    }
    updateChoices(kQualityOption);
    if (pick >= 0 && (pick != before || options[static_cast<size_t>(pick)] != saved))
        notifyParameterChanged(kQualityOption);
}

juce::String FileExportParameter::getKeyName(int index) const
{
    return juce::isPositiveAndBelow(index, static_cast<int>(kNumParameters)) ? kKeys[index] : "";
}

void FileExportParameter::writeAdditionalPreferences(CZadPreferences& store)
{
    ExportParameterHistory::Write(store, kKeys[kOutputPath], outputPathHistory, kMaxHistory);
}

void FileExportParameter::readAdditionalPreferences(CZadPreferences& store)
{
    outputPathHistory = ExportParameterHistory::Read(store, kKeys[kOutputPath], kMaxHistory);
}
} // namespace Vextal
