#include "src/songlist/TrackInfo.h"

#include "common/disc/linux/CAudioCDPath.h"
#include "common/disc/linux/CCdioDisc.h"
#include "common/disc/linux/CDiscUtilLinux.h"
#include "common/dsp/CDynamicControlParams.h"
#include "common/file/CAudioFileReadBase.h"
#include "common/file/CImageFileReadBase.h"
#include "common/file/CMarker.h"
#include "common/file/CPlaylistSong.h"
#include "common/file/CSongRead.h"
#include "common/file/VextalFileUtil.h"
#include "library/util/CCheckUtil.h"
#include "library/util/CRegularFile.h"
#include "library/util/CTextUtil.h"

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <vector>

namespace Vextal
{
namespace
{
constexpr float kGainLimit = 60.0f;
constexpr float kFadeTimeLimit = 10.0f;
constexpr int kFadeTypeLimit = 2;

const char* const kTextNames[TrackInfo::kNumTexts] = {
    "ChangeTarget_SongName", "ChangeTarget_Title",    "ChangeTarget_Artist",  "ChangeTarget_Album",
    "ChangeTarget_Genre",    "ChangeTarget_Location", "ChangeTarget_RecDate", "ChangeTarget_RecDate",
    "ChangeTarget_RecDate",  "ChangeTarget_RecTime",  "ChangeTarget_RecTime", "ChangeTarget_RecTime"};

const char* const kControlNames[TrackInfo::kNumControls] = {
    "ChangeTarget_Gain",        "ChangeTarget_FadeInType",  "ChangeTarget_FadeInTime",
    "ChangeTarget_FadeOutType", "ChangeTarget_FadeOutTime", "ChangeTarget_DcCut",
    "ChangeTarget_Balance"};

bool IsIntControl(int id)
{
    return id == TrackInfo::kFadeInType || id == TrackInfo::kFadeOutType || id == TrackInfo::kDcCut;
}

// value x steps, plus one half away from zero (a value of 0 or below goes
// down), truncated toward zero, divided by steps. The value is in range.
float RoundSymmetric(float value, double steps)
{
    const double scaled = static_cast<double>(value) * steps;
    const double whole = std::trunc(value > 0.0f ? scaled + 0.5 : scaled - 0.5);
    // A value that rounds to zero is +0, never -0 (which would show and be
    // stored with its sign).
    return whole == 0.0 ? 0.0f : static_cast<float>(whole / steps);
}

// value x steps plus one half, truncated toward zero, divided by steps; for
// values of 0 or more.
float RoundUp(float value, double steps)
{
    return static_cast<float>(std::trunc(static_cast<double>(value) * steps + 0.5) / steps);
}

// The first maxDigits of the digits of the text.
juce::String LeadingDigits(const juce::String& text, int maxDigits)
{
    return text.trim().retainCharacters("0123456789").substring(0, maxDigits);
}

juce::String TwoDigits(int value)
{
    return juce::String(value).paddedLeft('0', 2);
}

// A month or day: no digits or 0 is unset (two blanks); otherwise limited.
juce::String DateFieldFilter(const juce::String& text, int high)
{
    const int n = LeadingDigits(text, 2).getIntValue();
    if (n == 0)
        return "  ";
    return TwoDigits(std::clamp(n, 1, high));
}

// An hour, minute or second: no digits is unset (two blanks).
juce::String TimeFieldFilter(const juce::String& text, int high)
{
    const juce::String digits = LeadingDigits(text, 2);
    if (digits.isEmpty())
        return "  ";
    return TwoDigits(std::clamp(digits.getIntValue(), 0, high));
}

juce::String WideLetterToNormal(const juce::String& text, bool keepFileNameLetters)
{
    const wchar_t* wide = text.toWideCharPointer();
    std::vector<wchar_t> out(std::wcslen(wide) + 1);
    CTextUtil::WideLetterToNormal(wide, out.data(), keepFileNameLetters);
    return juce::String(out.data());
}

juce::String FieldText(CAudioMetaData* metaData, int field)
{
    CMultiString* text = metaData->GetStringPtr(field);
    return text != nullptr ? juce::String(text->GetReadPtrWChar()) : juce::String();
}

void SetField(CAudioMetaData* metaData, int field, const juce::String& text)
{
    if (CMultiString* target = metaData->GetStringPtr(field))
        target->SetString(text.toWideCharPointer(), -1, false);
}

// Whether a file of a song is where its path says. An audio CD is there
// when a disc with audio is in the drive (or the image exists) and it is the
// song's disc, as far as the song knows its disc: a drive holds whatever
// disc was put in, so the path alone does not find the song's disc.
bool FileIsPresent(const CPlaylistFile& file)
{
    const wchar_t* path = file.GetFilePath();
    if (CAudioCDPath::IsCDPath(path))
    {
        if (!CCdioDisc::Exists(path))
            return false;
        return file.GetMediaUniqueID() == 0 || CDiscUtilLinux::GetCDDBID(path) == file.GetMediaUniqueID();
    }
    // A FIFO or a device under the song's name is never read: the song is
    // missing.
    const juce::String fullPath(path);
    return juce::File::isAbsolutePath(fullPath) && CRegularFile::IsRegular(fullPath.toStdString());
}

std::function<std::vector<juce::String>()>& AudioVolumeSource()
{
    static std::function<std::vector<juce::String>()> source;
    return source;
}

std::vector<juce::String> ListAudioVolumes()
{
    if (AudioVolumeSource())
        return AudioVolumeSource()();
    std::vector<juce::String> volumes;
    for (const std::wstring& volume : CCdioDisc::ListAudioVolumes())
        volumes.emplace_back(volume.c_str());
    return volumes;
}

bool HasFade(int type, float seconds)
{
    return type > 0 && seconds > 0.0f;
}
} // namespace

template <typename F>
void TrackInfo::Notify(F&& f)
{
    m_listeners.Call(f);
}

// ---------------------------------------------------------------------------
// Construction and copying

TrackInfo::TrackInfo()
{
    initialize();
}

TrackInfo::TrackInfo(const TrackInfo& other) : TrackInfo()
{
    copyAll(&other);
}

TrackInfo::TrackInfo(CAudioFileReadBase* reader) : TrackInfo()
{
    if (!VX_CHECK(reader != nullptr))
        return;
    CPlaylistFile* file = m_song->CreateNewSection()->CreateNewTrack()->CreateNewFile();
    file->SetFile(reader->GetFileName(), reader->GetAbsStartSample(), reader->GetAbsStopSample(),
                  reader->GetMediaUniqueID());
    m_present = true;
    m_bitsPerSample = reader->GetBitsPerSample();
    m_numChannels = reader->GetNumChannels();
    m_sampleRate = static_cast<float>(reader->GetSampleRate());
    reader->GetTotalTime(&m_hours, &m_minutes, &m_seconds);
    m_compressed = reader->IsCompressed();
    m_formatId = reader->GetFormatUniqueID();
    m_notYetLoaded = false;
    m_lossless = reader->IsLossless();
    m_vbr = reader->IsVBR();
    m_numSamples = reader->GetNumSamples();
    m_bitRate = static_cast<int>(reader->GetBitRate());
    copyMetaDataFrom(reader);
}

TrackInfo::~TrackInfo() = default;

void TrackInfo::initialize()
{
    m_orderTag = -1;
    m_currentSong = false;
    m_normalize = false;
    m_normalizeOffset = 0.0f;
    m_song = std::make_unique<CPlaylistSong>();
    m_markers = std::make_unique<CMarker>();
    m_gain = m_fadeInTime = m_fadeOutTime = m_balance = 0.0f;
    m_fadeInType = m_fadeOutType = m_dcCut = 0;
}

void TrackInfo::copyAll(const TrackInfo* other)
{
    if (!VX_CHECK(other != nullptr) || other == this)
        return;
    m_present = other->m_present;
    m_bitsPerSample = other->m_bitsPerSample;
    m_sampleRate = other->m_sampleRate;
    m_numChannels = other->m_numChannels;
    m_hours = other->m_hours;
    m_minutes = other->m_minutes;
    m_seconds = other->m_seconds;
    m_compressed = other->m_compressed;
    m_formatId = other->m_formatId;
    m_song->CopyAll(other->m_song.get());
    m_markers->CopyAll(other->m_markers.get());
    m_notYetLoaded = other->m_notYetLoaded;
    m_lossless = other->m_lossless;
    m_vbr = other->m_vbr;
    m_numSamples = other->m_numSamples;
    m_bitRate = other->m_bitRate;
    for (int i = 0; i < kNumTexts; ++i)
        m_texts[i] = other->m_texts[i];
    m_picturePath = other->m_picturePath;
    m_unresolvedPaths = other->m_unresolvedPaths;
    m_gain = other->m_gain;
    m_fadeInType = other->m_fadeInType;
    m_fadeInTime = other->m_fadeInTime;
    m_fadeOutType = other->m_fadeOutType;
    m_fadeOutTime = other->m_fadeOutTime;
    m_dcCut = other->m_dcCut;
    m_balance = other->m_balance;
}

// ---------------------------------------------------------------------------
// Texts and picture

juce::String TrackInfo::getText(int index) const
{
    if (!VX_CHECK(index >= 0 && index < kNumTexts))
        return {};
    return m_texts[index];
}

void TrackInfo::setText(int index, const juce::String& text, bool notify)
{
    if (!VX_CHECK(index >= 0 && index < kNumTexts))
        return;
    juce::String stored;
    switch (index)
    {
    case kRecYear:
        stored = RecDateYFilter(text);
        break;
    case kRecMonth:
        stored = RecDateMFilter(text);
        break;
    case kRecDay:
        stored = RecDateDFilter(text);
        break;
    case kRecHour:
        stored = RecTimeHFilter(text);
        break;
    case kRecMinute:
    case kRecSecond:
        stored = RecTimeMFilter(text);
        break;
    default:
        stored = WideLetterToNormal(text, index == kSongName);
        break;
    }
    const bool changed = stored != m_texts[index];
    m_texts[index] = stored;
    if (notify && changed)
        Notify([this, index](TrackInfoListener& l) { l.songTextChanged(this, index); });
}

const char* TrackInfo::getTextName(int index)
{
    return index >= 0 && index < kNumTexts ? kTextNames[index] : "";
}

juce::String TrackInfo::RecDateYFilter(const juce::String& text)
{
    const int n = LeadingDigits(text, 4).getIntValue();
    if (n == 0)
        return "    ";
    return juce::String(n <= 999 ? n + 2000 : n).paddedLeft('0', 4);
}

juce::String TrackInfo::RecDateMFilter(const juce::String& text)
{
    return DateFieldFilter(text, 12);
}

juce::String TrackInfo::RecDateDFilter(const juce::String& text)
{
    return DateFieldFilter(text, 31);
}

juce::String TrackInfo::RecTimeHFilter(const juce::String& text)
{
    return TimeFieldFilter(text, 23);
}

juce::String TrackInfo::RecTimeMFilter(const juce::String& text)
{
    return TimeFieldFilter(text, 59);
}

void TrackInfo::setAttachedPictureFilePath(const juce::String& path, bool notify)
{
    if (path == m_picturePath)
        return;
    m_picturePath = path;
    if (notify)
        Notify([this](TrackInfoListener& l) { l.songPictureChanged(this); });
}

int64_t TrackInfo::getAttachedPictureSize() const
{
    if (m_picturePath.isEmpty())
        return 0;
    if (m_picturePath.endsWithIgnoreCase(".jpg") || m_picturePath.endsWithIgnoreCase(".jpeg") ||
        m_picturePath.endsWithIgnoreCase(".png"))
    {
        if (!juce::File::isAbsolutePath(m_picturePath))
            return 0;
        return juce::File(m_picturePath).getSize();
    }
    std::unique_ptr<CImageFileReadBase> reader(
        VextalFileUtil::CreateImageFileReadObject(m_picturePath.toWideCharPointer()));
    return reader != nullptr ? reader->GetImageSize() : 0;
}

// ---------------------------------------------------------------------------
// Markers

void TrackInfo::copyAllMarkers(const CMarker* markers, bool notify)
{
    m_markers->CopyAll(markers);
    if (notify)
        sendMarkerChangeMessage(-1);
}

bool TrackInfo::addMarker(double seconds, bool notify)
{
    if (!m_markers->Add(seconds))
        return false;
    if (notify)
        sendMarkerChangeMessage(m_markers->TimeToMarkerIndex(seconds));
    return true;
}

void TrackInfo::sendMarkerChangeMessage(int markerIndex)
{
    Notify([this, markerIndex](TrackInfoListener& l) { l.songMarkerChanged(this, markerIndex); });
}

// ---------------------------------------------------------------------------
// Controls

int TrackInfo::getControlInt(int id) const
{
    switch (id)
    {
    case kFadeInType:
        return m_fadeInType;
    case kFadeOutType:
        return m_fadeOutType;
    case kDcCut:
        return m_dcCut;
    default:
        VX_CHECK(false);
        return 0;
    }
}

float TrackInfo::getControlFloat(int id) const
{
    switch (id)
    {
    case kGain:
        return m_gain;
    case kFadeInTime:
        return m_fadeInTime;
    case kFadeOutTime:
        return m_fadeOutTime;
    case kBalance:
        return m_balance;
    default:
        VX_CHECK(false);
        return 0.0f;
    }
}

bool TrackInfo::isFloatControl(int id)
{
    return id == kGain || id == kFadeInTime || id == kFadeOutTime || id == kBalance;
}

void TrackInfo::setControl(int id, float value, bool notify)
{
    if (!VX_CHECK(isFloatControl(id)) || !VX_CHECK(!std::isnan(value)))
        return;
    float stored = 0.0f;
    if (id == kGain)
        stored = RoundSymmetric(std::clamp(value, -kGainLimit, kGainLimit), 10.0);
    else if (id == kBalance)
        stored = RoundSymmetric(std::clamp(value, -1.0f, 1.0f), 100.0);
    else
        stored = RoundUp(std::clamp(value, 0.0f, kFadeTimeLimit), 10.0);
    if (StoreControl(id, stored) && notify)
        NotifyControl(id);
}

void TrackInfo::setControl(int id, int value, bool notify)
{
    if (!VX_CHECK(IsIntControl(id)))
        return;
    const int stored = id == kDcCut ? (value > 0 ? 1 : 0) : std::clamp(value, 0, kFadeTypeLimit);
    if (StoreControl(id, stored) && notify)
        NotifyControl(id);
}

bool TrackInfo::StoreControl(int id, float value)
{
    float* field = id == kGain          ? &m_gain
                   : id == kFadeInTime  ? &m_fadeInTime
                   : id == kFadeOutTime ? &m_fadeOutTime
                                        : &m_balance;
    const bool changed = *field != value;
    *field = value;
    return changed;
}

bool TrackInfo::StoreControl(int id, int value)
{
    int* field = id == kFadeInType ? &m_fadeInType : id == kFadeOutType ? &m_fadeOutType : &m_dcCut;
    const bool changed = *field != value;
    *field = value;
    return changed;
}

void TrackInfo::NotifyControl(int id)
{
    Notify([this, id](TrackInfoListener& l) { l.songControlChanged(this, id); });
}

const char* TrackInfo::getControlName(int id)
{
    return id >= 0 && id < kNumControls ? kControlNames[id] : "";
}

float TrackInfo::getNormalizedGain() const
{
    if (!m_normalize)
        return m_gain;
    const double v = static_cast<double>(m_gain) + static_cast<double>(m_normalizeOffset);
    const double stepped = std::floor(v * 10.0) / 10.0;
    return static_cast<float>(std::clamp(stepped, -60.0, 60.0));
}

void TrackInfo::setNormalizeOffset(float dB)
{
    if (VX_CHECK(std::isfinite(dB)))
        m_normalizeOffset = dB;
}

void TrackInfo::copyControlsTo(CDynamicControlParams* params, bool useNormalized) const
{
    if (!VX_CHECK(params != nullptr))
        return;
    params->SetGaindB(useNormalized ? getNormalizedGain() : m_gain);
    params->SetFadeParams(m_fadeInType, m_fadeInTime, m_fadeOutType, m_fadeOutTime);
    params->SetDcCutMode(m_dcCut);
    params->SetPan(m_balance);
}

// ---------------------------------------------------------------------------
// Format data and files

bool TrackInfo::loadSong(CSongRead* songRead, bool notify, bool* pathsReplaced)
{
    if (pathsReplaced != nullptr)
        *pathsReplaced = false;
    if (!VX_CHECK(songRead != nullptr))
        return false;
    m_present = songRead->OpenSong(m_song.get(), false);
    if (!m_present && m_formatId == "CD")
        m_present = OpenAfterPathReplacement(songRead, pathsReplaced);
    if (m_present)
        ReadFormatData(songRead);
    m_notYetLoaded = false;
    if (notify)
        Notify([this](TrackInfoListener& l) { l.songReloaded(this); });
    return m_present;
}

bool TrackInfo::OpenAfterPathReplacement(CSongRead* songRead, bool* pathsReplaced)
{
    bool replaced = replacePathsByMediaIDs();
    if (!replaced)
    {
        refreshMediaIDToPath();
        replaced = replacePathsByMediaIDs();
    }
    if (!replaced)
        return false;
    const bool present = songRead->OpenSong(m_song.get(), false);
    if (present && pathsReplaced != nullptr)
        *pathsReplaced = true;
    return present;
}

void TrackInfo::ReadFormatData(CSongRead* songRead)
{
    m_bitsPerSample = songRead->GetBitsPerSample();
    m_sampleRate = static_cast<float>(songRead->GetSampleRate());
    m_numChannels = songRead->GetNumChannels();
    if (m_numChannels != 2)
        setControl(kBalance, 0.0f, true);
    songRead->GetTotalTime(&m_hours, &m_minutes, &m_seconds);
    m_compressed = songRead->IsCompressed();
    m_formatId = songRead->GetFormatUniqueID();
    m_lossless = songRead->IsLossless();
    m_vbr = songRead->IsVBR();
    m_numSamples = songRead->GetNumSamples();
    m_bitRate = static_cast<int>(songRead->GetBitRate());
}

bool TrackInfo::reload(bool notify)
{
    CSongRead songRead;
    const bool present = loadSong(&songRead, notify, nullptr);
    songRead.EjectAllFiles();
    return present;
}

void TrackInfo::getTotalTime(int* hours, int* minutes, float* seconds) const
{
    if (hours != nullptr)
        *hours = m_hours;
    if (minutes != nullptr)
        *minutes = m_minutes;
    if (seconds != nullptr)
        *seconds = m_seconds;
}

double TrackInfo::getTotalTimeSecond() const
{
    return (m_hours * 60.0 + m_minutes) * 60.0 + m_seconds;
}

void TrackInfo::getAllFiles(juce::Array<CPlaylistFile*>& files) const
{
    files.clearQuick();
    for (int s = 0; s < m_song->GetNumSections(); ++s)
    {
        const CPlaylistSection* section = m_song->GetSectionPtr(static_cast<unsigned>(s));
        for (int t = 0; t < section->GetNumTracks(); ++t)
        {
            const CPlaylistTrack* track = section->GetTrackPtr(static_cast<unsigned>(t));
            for (int f = 0; f < track->GetNumFiles(); ++f)
                files.add(track->GetFilePtr(static_cast<unsigned>(f)));
        }
    }
}

std::vector<TrackInfo::MediaEntry>& TrackInfo::MediaMap()
{
    static std::vector<MediaEntry> map;
    return map;
}

void TrackInfo::setAudioVolumeSource(std::function<std::vector<juce::String>()> source)
{
    AudioVolumeSource() = std::move(source);
}

bool TrackInfo::refreshMediaIDToPath()
{
    std::vector<MediaEntry>& map = MediaMap();
    map.clear();
    for (const juce::String& volume : ListAudioVolumes())
        map.push_back({CDiscUtilLinux::GetCDDBID(volume.toWideCharPointer()), volume});
    return !map.empty();
}

bool TrackInfo::replacePathsByMediaIDs()
{
    const std::vector<MediaEntry>& map = MediaMap();
    if (map.empty())
        return false;
    CPlaylistSong saved;
    saved.CopyAll(m_song.get());
    juce::Array<CPlaylistFile*> files;
    getAllFiles(files);
    bool result = true;
    for (CPlaylistFile* file : files)
    {
        if (FileIsPresent(*file))
            continue;
        const auto entry =
            std::find_if(map.begin(), map.end(),
                         [file](const MediaEntry& e) { return e.mediaId == file->GetMediaUniqueID(); });
        if (entry == map.end())
        {
            result = false;
            continue;
        }
        file->SetFile(entry->volumePath.toWideCharPointer(), file->GetAbsStartSample(),
                      file->GetAbsStopSample(), 0);
    }
    if (!result)
        m_song->CopyAll(&saved);
    m_present = result;
    Notify([this](TrackInfoListener& l) { l.songReloaded(this); });
    return result;
}

// ---------------------------------------------------------------------------
// Song tests

bool TrackInfo::canCombineWith(const TrackInfo* other, bool allowCompressed) const
{
    if (other == nullptr || !m_present || !other->m_present || (m_compressed && !allowCompressed))
        return false;
    return m_formatId == other->m_formatId && m_sampleRate == other->m_sampleRate &&
           m_bitsPerSample == other->m_bitsPerSample && m_numChannels == other->m_numChannels;
}

bool TrackInfo::canLinkWith(const TrackInfo* other) const
{
    // The second song's tracks join the first song's sections of the same
    // index, so both must have as many sections; the tracks and files of both
    // must stay within a song's limit.
    if (m_numChannels != 1 || !canCombineWith(other, false) ||
        m_song->GetNumSections() != other->m_song->GetNumSections())
        return false;
    CPlaylistSong::PartCounts parts = m_song->CountParts();
    parts += other->m_song->CountParts();
    parts.sections = m_song->GetNumSections();
    return parts.IsWithinLimit();
}

bool TrackInfo::canConnectTo(const TrackInfo* next) const
{
    if (next == nullptr || m_compressed)
        return false;
    if (m_formatId != next->m_formatId || m_sampleRate != next->m_sampleRate ||
        m_bitsPerSample != next->m_bitsPerSample || m_numChannels != next->m_numChannels)
        return false;
    if (m_gain != next->m_gain || m_balance != next->m_balance)
        return false;
    if (HasFade(m_fadeOutType, m_fadeOutTime) || HasFade(next->m_fadeInType, next->m_fadeInTime))
        return false;
    return m_song->ContinuesTo(next->m_song.get());
}

// ---------------------------------------------------------------------------
// Song information

void TrackInfo::copyMetaDataTo(CAudioPlayerInput* input) const
{
    if (!VX_CHECK(input != nullptr))
        return;
    CAudioMetaData* metaData = input->GetMetaDataPtr();
    metaData->ClearAll();
    const struct
    {
        int text;
        int field;
    } plain[] = {{kTitle, CAudioMetaData::kTitle},
                 {kArtist, CAudioMetaData::kArtist},
                 {kAlbum, CAudioMetaData::kAlbum},
                 {kGenre, CAudioMetaData::kGenre},
                 {kLocation, CAudioMetaData::kLocation}};
    for (const auto& p : plain)
        if (m_texts[p.text].isNotEmpty())
            SetField(metaData, p.field, m_texts[p.text]);

    const juce::String date = RecDateYFilter(m_texts[kRecYear]) + "-" + RecDateMFilter(m_texts[kRecMonth]) +
                              "-" + RecDateDFilter(m_texts[kRecDay]);
    if (date != "    -  -  ")
        SetField(metaData, CAudioMetaData::kRecDate, date);
    const juce::String time = RecTimeHFilter(m_texts[kRecHour]) + ":" + RecTimeMFilter(m_texts[kRecMinute]) +
                              ":" + RecTimeMFilter(m_texts[kRecSecond]);
    if (time != "  :  :  ")
        SetField(metaData, CAudioMetaData::kRecTime, time);
    SetField(metaData, CAudioMetaData::kEncodingSoftware, kEncodingSoftware);
    metaData->SetAttachedPicture(m_picturePath.toWideCharPointer());
    input->GetMarkerPtr()->CopyAll(m_markers.get());
}

void TrackInfo::copyMetaDataFrom(CAudioPlayerInput* input)
{
    if (!VX_CHECK(input != nullptr))
        return;
    copyAllMarkers(input->GetMarkerPtr(), true);
    CAudioMetaData* metaData = input->GetMetaDataPtr();
    setText(kTitle, FieldText(metaData, CAudioMetaData::kTitle), false);
    setText(kAlbum, FieldText(metaData, CAudioMetaData::kAlbum), false);
    setText(kArtist, FieldText(metaData, CAudioMetaData::kArtist), false);
    setText(kGenre, FieldText(metaData, CAudioMetaData::kGenre), false);
    setText(kLocation, FieldText(metaData, CAudioMetaData::kLocation), false);
    // "YYYY-MM-DD" and "hh:mm:ss"; a shorter text leaves the missing parts
    // unset. Each part goes through its filter as an edit would.
    const juce::String date = FieldText(metaData, CAudioMetaData::kRecDate);
    setText(kRecYear, date.substring(0, 4), false);
    setText(kRecMonth, date.substring(5, 7), false);
    setText(kRecDay, date.substring(8, 10), false);
    const juce::String time = FieldText(metaData, CAudioMetaData::kRecTime);
    setText(kRecHour, time.substring(0, 2), false);
    setText(kRecMinute, time.substring(3, 5), false);
    setText(kRecSecond, time.substring(6, 8), false);
    m_picturePath = juce::String(metaData->GetAttachedPictureFilePath());
}

// ---------------------------------------------------------------------------
// Listeners

void TrackInfo::addListener(TrackInfoListener* listener)
{
    if (listener != nullptr && !m_listeners.Contains(listener))
        m_listeners.Add(listener);
}

void TrackInfo::removeListener(TrackInfoListener* listener)
{
    m_listeners.Remove(listener);
}

} // namespace Vextal
