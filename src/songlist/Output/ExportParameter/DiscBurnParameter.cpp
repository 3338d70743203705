#include "src/songlist/Output/ExportParameter/DiscBurnParameter.h"

#include "common/disc/CAudioDiscBurnProxy.h"
#include "library/util/CCheckUtil.h"
#include "library/vextal_juce/CZJEResource.h"
#include "library/zad/CZadPreferences.h"
#include "library/zfc/CZfcSingleton.h"
#include "src/songlist/CVXHost.h"
#include "src/songlist/CVXPreferences.h"
#include "src/songlist/TrackInfo.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace Vextal
{
const char* const DiscBurnParameter::kDiscFormatKeys[kNumDiscFormats] = {"DiscBurn_DiscFormat_AudioCD"};

namespace
{
const char* const kKeys[DiscBurnParameter::kNumParameters] = {
    "Export_Disc_Format", "", "", "", "", "Export_Disc_Gap", "Export_Disc_EraseMode"};

constexpr const char* kDriveNameKey = "Export_Drive_Name";
constexpr const char* kNumHidingDrivesKey = "Export_Num_Drives_Hides_Warnings";
constexpr const char* kHidingDriveKeyPrefix = "Export_Drive_Hides_Warnings_";

// The generic speeds of a format family when the medium doesn't tell its
// own, as multiples of the family's x1 speed.
const double kCdMultipliers[] = {1, 2, 4, 6, 8, 10, 12, 16, 20, 24, 32, 40, 48, 56};
const double kDvdMultipliers[] = {1, 2, 2.4, 3, 4, 5, 6, 8, 16};

CZadPreferences* ApplicationStore()
{
    CVXPreferences* store = CZfcSingleton<CVXPreferences>::GetInstance();
    return store != nullptr && store->IsOpen() ? store : nullptr;
}

juce::BigInteger AllOf(int count)
{
    juce::BigInteger bits;
    bits.setRange(0, count, true);
    return bits;
}

bool IsChoice(int index)
{
    return index == DiscBurnParameter::kDiscFormat || index == DiscBurnParameter::kDrive ||
           index == DiscBurnParameter::kWriteSpeed || index == DiscBurnParameter::kGapBetweenSongs ||
           index == DiscBurnParameter::kEraseMode;
}

juce::String HidingDriveKey(int entry)
{
    return kHidingDriveKeyPrefix + juce::String(entry);
}
} // namespace

DiscBurnParameter::DiscBurnParameter(CAudioDiscBurnProxy& burner)
    : ExportParameter(kNumParameters), m_burner(burner)
{
    // Before the first scan has ended the list would wait for it: the set
    // offers no drive until the scan's notice.
    const bool drivesKnown = burner->AreDrivesKnown();
    if (drivesKnown)
        m_drives = burner->GetAvailableCDDrives();
    discFormats.add(kFormatAudioCD);
    cdMedia.addArray({kDiscTypeCDR, kDiscTypeCDRW});
    dvdMedia.addArray({kDiscTypeDVDR, kDiscTypeDVDRDualLayer, kDiscTypeDVDRW, kDiscTypeDVDPlusR,
                       kDiscTypeDVDPlusRDoubleLayer, kDiscTypeDVDPlusRW});
    setParameterValue(kDiscFormat, 0, true);
    setParameterValue(kDrive, 0, true);
    setParameterValue(kWriteSpeed, 0, true);
    setParameterText(kAlbumTitle, {}, true);
    setParameterText(kAlbumArtist, {}, true);
    setParameterValue(kGapBetweenSongs, 0, true);
    setParameterValue(kEraseMode, 0, true);
    if (!drivesKnown)
        burner->WhenDrivesKnown(takeDriveListLater());
}

DiscBurnParameter::~DiscBurnParameter() = default;

// ---------------------------------------------------------------------------
// What is chosen

int DiscBurnParameter::getDiscFormat() const
{
    return getParameterIndex(kDiscFormat);
}

int DiscBurnParameter::getDriveIndex() const
{
    return getParameterIndex(kDrive);
}

uint32_t DiscBurnParameter::getWriteSpeed() const
{
    return static_cast<uint32_t>(getParameterValue(kWriteSpeed));
}

juce::String DiscBurnParameter::getAlbumTitle() const
{
    return getParameterText(kAlbumTitle);
}

juce::String DiscBurnParameter::getAlbumArtist() const
{
    return getParameterText(kAlbumArtist);
}

int DiscBurnParameter::getEraseMode() const
{
    return getParameterValue(kEraseMode);
}

uint16_t DiscBurnParameter::getBitDepth() const
{
    return getDiscFormat() == kFormatAudioCD ? 16 : 1;
}

uint32_t DiscBurnParameter::getSampleRate() const
{
    return VX_CHECK(getDiscFormat() == kFormatAudioCD) ? 44100u : 0u;
}

float DiscBurnParameter::getGapBetweenSongs() const
{
    return getDiscFormat() == kFormatAudioCD ? static_cast<float>(getParameterValue(kGapBetweenSongs)) : 0.0f;
}

juce::String DiscBurnParameter::CurrentDriveProduct() const
{
    const std::vector<CDDrive>& drives = m_drives;
    const int drive = getDriveIndex();
    if (!juce::isPositiveAndBelow(drive, static_cast<int>(drives.size())))
        return {};
    const CDDrive& record = drives[static_cast<size_t>(drive)];
    return juce::String::fromUTF8(record.product,
                                  static_cast<int>(strnlen(record.product, sizeof(record.product))));
}

// ---------------------------------------------------------------------------
// Operations

void DiscBurnParameter::refreshDriveList()
{
    m_burner->RefreshCDDriveListLater(takeDriveListLater());
}

std::function<void()> DiscBurnParameter::takeDriveListLater()
{
    const std::weak_ptr<bool> alive = m_token.alive;
    return [this, alive]
    {
        if (!alive.expired())
            takeDriveList();
    };
}

void DiscBurnParameter::takeDriveList()
{
    // The scan has ended: the list is read without a wait.
    m_drives = m_burner->GetAvailableCDDrives();
    updateChoices(kDrive);
    const bool openWaited = std::exchange(m_bOpenWaitsForScan, false);
    if (m_wantedDrive.isNotEmpty() && getStringChoices(kDrive).contains(m_wantedDrive))
    {
        if (openWaited || getParameterText(kDrive) != m_wantedDrive)
            setParameterText(kDrive, m_wantedDrive, true);
    }
    else if (openWaited || getDriveIndex() < 0)
    {
        setParameterIndex(kDrive, std::max(getDriveIndex(), 0), true);
    }
}

void DiscBurnParameter::openChosenDrive()
{
    const int drive = getDriveIndex();
    if (drive < 0)
        return;
    m_wantedDrive = getParameterText(kDrive);
    if (m_burner->AreDrivesKnown())
    {
        m_burner->OpenDrive(static_cast<uint32_t>(drive));
        return;
    }
    // The scan may list the drive at another place: it is opened by name
    // once the scan has ended.
    if (!std::exchange(m_bOpenWaitsForScan, true))
        m_burner->WhenDrivesKnown(takeDriveListLater());
}

void DiscBurnParameter::setMetaDataFromSonglist(bool selectedOnly, CVXHost* host)
{
    if (host == nullptr)
        host = CVXHost::GetInstance();
    juce::String title;
    juce::String artist;
    if (host != nullptr)
    {
        juce::SparseSet<int> songs;
        if (selectedOnly)
            songs = host->GetSelection();
        else if (host->GetNumSongs() > 0)
            songs.addRange({0, host->GetNumSongs()});
        for (int k = 0; k < songs.size(); ++k)
        {
            const TrackInfo* song = host->GetSong(songs[k]);
            if (song == nullptr)
                continue;
            if (title.isEmpty())
                title = song->getText(TrackInfo::kAlbum);
            if (artist.isEmpty())
                artist = song->getText(TrackInfo::kArtist);
        }
    }
    setParameterText(kAlbumTitle, title, true);
    setParameterText(kAlbumArtist, artist, true);
}

bool DiscBurnParameter::shouldShowPreGapWarning() const
{
    if (getDiscFormat() != kFormatAudioCD)
        return false;
    if (drivesHidingPreGapWarning.contains(CurrentDriveProduct()))
        return false;
    return m_burner->AudioCdGapSettingsMayFail();
}

void DiscBurnParameter::setCurrentDriveShowsPreGapWarning(bool show)
{
    if (CZadPreferences* store = ApplicationStore())
        setCurrentDriveShowsPreGapWarning(show, *store);
}

void DiscBurnParameter::setCurrentDriveShowsPreGapWarning(bool show, CZadPreferences& store)
{
    const juce::String product = CurrentDriveProduct();
    if (show)
        drivesHidingPreGapWarning.removeString(product);
    else
        drivesHidingPreGapWarning.addIfNotAlreadyThere(product);
    WriteHideList(store);
}

void DiscBurnParameter::WriteHideList(CZadPreferences& store) const
{
    // Entries past the new count stay in the store; reading ignores them.
    store.WriteInteger(kNumHidingDrivesKey, drivesHidingPreGapWarning.size());
    for (int i = 0; i < drivesHidingPreGapWarning.size(); ++i)
        store.WriteString(HidingDriveKey(i).toRawUTF8(), drivesHidingPreGapWarning[i]);
}

void DiscBurnParameter::clearDrivesWhichHidesWarnings()
{
    if (CZadPreferences* store = ApplicationStore())
        clearDrivesWhichHidesWarnings(*store);
}

void DiscBurnParameter::clearDrivesWhichHidesWarnings(CZadPreferences& store)
{
    store.WriteInteger(kNumHidingDrivesKey, 0);
    store.Synchronize();
}

juce::String DiscBurnParameter::speedText(uint32_t kbps, uint32_t unit)
{
    if (unit == 0)
        return {};
    const uint32_t whole = kbps / unit;
    const uint32_t tenths = (kbps * 10u) / unit - whole * 10u;
    if (whole <= 9 && tenths > 0)
        return "x" + juce::String(whole) + "." + juce::String(tenths);
    return "x" + juce::String(whole);
}

// ---------------------------------------------------------------------------
// The parameters

int DiscBurnParameter::getParameterType(int index) const
{
    if (IsChoice(index))
        return kTypeChoice;
    if (index == kAlbumTitle || index == kAlbumArtist)
        return kTypeText;
    VX_CHECK(false);
    return kTypeInvalid;
}

juce::Array<int> DiscBurnParameter::getIntChoices(int index) const
{
    switch (index)
    {
    case kDiscFormat:
        return discFormats;
    case kDrive:
    {
        juce::Array<int> drives;
        const int count = static_cast<int>(m_drives.size());
        for (int i = 0; i < count; ++i)
            drives.add(i);
        return drives;
    }
    case kWriteSpeed:
    {
        juce::Array<int> speeds{0};
        const int medium = m_bObservedMedium ? m_observedDiscType : m_burner->GetInsertedDiscType();
        const bool cd = getDiscFormat() == kFormatAudioCD;
        if ((cd && cdMedia.contains(medium)) || (!cd && dvdMedia.contains(medium)))
        {
            for (const uint32_t kbps :
                 m_bObservedMedium ? m_observedSpeeds : m_burner->GetAvailableWriteSpeedsKbps())
                speeds.add(static_cast<int>(kbps));
            return speeds;
        }
        const double unit = cd ? kCdSpeedUnit : kDvdSpeedUnit;
        if (cd)
            for (const double multiplier : kCdMultipliers)
                speeds.add(static_cast<int>(multiplier * unit + 0.5));
        else
            for (const double multiplier : kDvdMultipliers)
                speeds.add(static_cast<int>(multiplier * unit + 0.5));
        return speeds;
    }
    case kGapBetweenSongs:
    {
        juce::Array<int> gaps;
        for (int seconds = 0; seconds <= kMaxGapSeconds; ++seconds)
            gaps.add(seconds);
        return gaps;
    }
    case kEraseMode:
        return {0, 1};
    default:
        VX_CHECK(false);
        return {};
    }
}

juce::StringArray DiscBurnParameter::getStringChoices(int index) const
{
    juce::StringArray texts;
    switch (index)
    {
    case kDiscFormat:
        for (const int format : discFormats)
            texts.add(juce::isPositiveAndBelow(format, kNumDiscFormats)
                          ? CZJEResource::GetText(kDiscFormatKeys[format])
                          : juce::String());
        return texts;
    case kDrive:
        // Drives of the same name are told apart by a number from 2 up.
        for (const CDDrive& drive : m_drives)
        {
            const juce::String name =
                juce::String::fromUTF8(drive.vendor,
                                       static_cast<int>(strnlen(drive.vendor, sizeof(drive.vendor)))) +
                " " +
                juce::String::fromUTF8(drive.product,
                                       static_cast<int>(strnlen(drive.product, sizeof(drive.product))));
            juce::String candidate = name;
            for (int n = 2; texts.contains(candidate); ++n)
                candidate = name + " (" + juce::String(n) + ")";
            texts.add(candidate);
        }
        return texts;
    case kWriteSpeed:
    {
        const uint32_t unit = getDiscFormat() == kFormatAudioCD ? kCdSpeedUnit : kDvdSpeedUnit;
        for (const int kbps : getIntChoices(kWriteSpeed))
            texts.add(kbps == 0 ? CZJEResource::GetText("DiscBurn_MaxWriteSpeed")
                                : speedText(static_cast<uint32_t>(kbps), unit));
        return texts;
    }
    case kGapBetweenSongs:
        texts.add(CZJEResource::GetText("DiscBurn_GapBetweenSongs_None"));
        for (int seconds = 1; seconds <= kMaxGapSeconds; ++seconds)
            texts.add(juce::String(seconds) + " " + CZJEResource::GetText("Unit_Second"));
        return texts;
    case kEraseMode:
        texts.add(CZJEResource::GetText("DiscErase_Quick"));
        texts.add(CZJEResource::GetText("DiscErase_Full"));
        return texts;
    default:
        VX_CHECK(false);
        return texts;
    }
}

juce::BigInteger DiscBurnParameter::getEnablements(int index) const
{
    switch (index)
    {
    case kDrive:
    {
        juce::BigInteger bits;
        const std::vector<CDDrive>& drives = m_drives;
        for (size_t i = 0; i < drives.size(); ++i)
            bits.setBit(static_cast<int>(i), drives[i].canWriteCDR || drives[i].canWriteDVDR);
        return bits;
    }
    case kGapBetweenSongs:
        return getDiscFormat() == kFormatAudioCD ? AllOf(kMaxGapSeconds + 1) : juce::BigInteger();
    case kDiscFormat:
    case kWriteSpeed:
    case kEraseMode:
        return AllOf(getIntChoices(index).size());
    default:
        VX_CHECK(false);
        return {};
    }
}

bool DiscBurnParameter::fixToValidIndex(int index, int& choice) const
{
    const juce::BigInteger enabled = getEnablements(index);
    if (!enabled[choice])
        choice = firstEnabled(enabled);
    return choice >= 0;
}

bool DiscBurnParameter::fixToValidText(int index, juce::String& text) const
{
    (void)text;
    return VX_CHECK(index == kAlbumTitle || index == kAlbumArtist);
}

void DiscBurnParameter::setObservedMedium(int discType, const std::vector<uint32_t>& speedsKbps)
{
    m_bObservedMedium = true;
    m_observedDiscType = discType;
    m_observedSpeeds = speedsKbps;
    updateChoices(kWriteSpeed);
}

void DiscBurnParameter::resolveRestrictions(int index)
{
    if (index == kDrive)
    {
        m_bObservedMedium = false;
        openChosenDrive();
    }
    if (index == kDiscFormat)
        updateChoices(kWriteSpeed);
    else if (index == kWriteSpeed)
        m_burner->SetWriteSpeed(getWriteSpeed());
}

juce::String DiscBurnParameter::getKeyName(int index) const
{
    return VX_CHECK(juce::isPositiveAndBelow(index, static_cast<int>(kNumParameters))) ? kKeys[index] : "";
}

// ---------------------------------------------------------------------------
// Stored data beyond the parameters

void DiscBurnParameter::writeAdditionalPreferences(CZadPreferences& store)
{
    store.WriteString(kDriveNameKey, getParameterText(kDrive));
}

void DiscBurnParameter::readAdditionalPreferences(CZadPreferences& store)
{
    // A drive no longer present keeps the current choice.
    const juce::String name = store.ReadString(kDriveNameKey).value_or(juce::String());
    if (name.isNotEmpty())
        m_wantedDrive = name;
    if (name.isNotEmpty() && getStringChoices(kDrive).contains(name))
        setParameterText(kDrive, name, true);

    drivesHidingPreGapWarning.clear();
    const int count = store.ReadInteger(kNumHidingDrivesKey, 0);
    for (int i = 0; i < count; ++i)
    {
        const juce::String entry = store.ReadString(HidingDriveKey(i).toRawUTF8()).value_or(juce::String());
        if (entry.isNotEmpty())
            drivesHidingPreGapWarning.addIfNotAlreadyThere(entry);
    }
}
} // namespace Vextal
