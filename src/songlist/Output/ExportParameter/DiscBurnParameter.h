#pragma once

#include "src/songlist/Output/ExportParameter/ExportParameter.h"

#include "common/disc/CDiscBurnImp.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class CAudioDiscBurnProxy;
class CVXHost;
class CZadPreferences;

namespace Vextal
{
// The settings of an audio-CD burn or a disc erase: disc format, drive,
// write speed, album title and artist (written as CD-Text), gap between
// songs and erase mode. The choices come from the burner: its drives, the
// medium inserted and the write speeds the drive offers. The set also keeps
// the drives for which the user asked not to be warned again that the drive
// may not honour the gaps between songs (by the drive's product name).
//
// Choosing a drive opens it on the burner at once, unless the drives are
// being scanned (opening would wait for the scan): the drive is then opened
// by its name when the scan's notice comes. Choosing a write speed stores it
// in the burner at once. The write speed is never stored between runs; the
// drive is stored by its name.
//
// The drive choices are the burner's drive list as it stood at the set's
// making or at the end of the last scan the set heard of. A set made while
// the first scan runs offers no drive until that scan's notice, and then
// chooses the first writer (or the drive the store names).
//
// Threads. Message thread (see ExportParameter). A session works on its own
// copy; copies share the burner.
class DiscBurnParameter : public ExportParameter
{
public:
    enum Index
    {
        kDiscFormat = 0,
        kDrive = 1,
        kWriteSpeed = 2,
        kAlbumTitle = 3,
        kAlbumArtist = 4,
        kGapBetweenSongs = 5,
        kEraseMode = 6,
        kNumParameters = 7
    };
    // Values of DiscFormat.
    enum DiscFormat
    {
        kFormatAudioCD = 0
    };
    static constexpr int kNumDiscFormats = 1;
    // The message keys of the format texts, by format value.
    static const char* const kDiscFormatKeys[kNumDiscFormats];
    // Kilobytes per second of the x1 speed of a CD and of a DVD.
    static constexpr uint32_t kCdSpeedUnit = 176;
    static constexpr uint32_t kDvdSpeedUnit = 1385;
    static constexpr int kMaxGapSeconds = 5;

    // Fills the choice lists, then sets the defaults with notice (so the
    // first writing drive is opened and the maximum speed set). Never waits
    // for a scan of the drives.
    explicit DiscBurnParameter(CAudioDiscBurnProxy& burner);
    DiscBurnParameter(const DiscBurnParameter& other) = default;
    ~DiscBurnParameter() override;

    int getDiscFormat() const;
    // The position of the chosen drive in the burner's drive list; -1 when
    // no drive can be chosen.
    int getDriveIndex() const;
    // Kilobytes per second; 0 the maximum.
    uint32_t getWriteSpeed() const;
    juce::String getAlbumTitle() const;
    juce::String getAlbumArtist() const;
    // 0 quick, 1 full.
    int getEraseMode() const;
    uint16_t getBitDepth() const;
    uint32_t getSampleRate() const;
    // Seconds; 0 for a format without gaps.
    float getGapBetweenSongs() const;

    // Lists the drives again and rebuilds a bound drive list. The scan runs
    // on the burner's drive worker, so the caller never waits on a drive;
    // until its notice comes the drives known before stay the choices (then
    // the drive stored by name is chosen again when it is listed).
    void refreshDriveList();
    // The album title and artist: the first album text and the first artist
    // text among the songs (the host's selection, or every song); both
    // empty when none has one. host null: the application's.
    void setMetaDataFromSonglist(bool selectedOnly, CVXHost* host = nullptr);

    // Whether to warn that the chosen drive may not honour the gaps: only
    // for an audio CD, never for a drive the user silenced.
    bool shouldShowPreGapWarning() const;
    // Silences (false) or restores (true) the warning for the chosen drive
    // and stores the list (in the application's store, or the one given).
    void setCurrentDriveShowsPreGapWarning(bool show);
    void setCurrentDriveShowsPreGapWarning(bool show, CZadPreferences& store);
    // Restores the warning for every drive in the store; sets read the
    // store again on their next readAdditionalPreferences.
    static void clearDrivesWhichHidesWarnings();
    static void clearDrivesWhichHidesWarnings(CZadPreferences& store);

    // The text of a write speed (kilobytes per second) in multiples of the
    // unit: "x7", "x7.5"; the tenth is dropped from x10 up.
    static juce::String speedText(uint32_t kbps, uint32_t unit);

    int getParameterType(int index) const override;
    juce::Array<int> getIntChoices(int index) const override;
    juce::StringArray getStringChoices(int index) const override;
    juce::BigInteger getEnablements(int index) const override;
    // A choice that is not enabled becomes the first enabled one.
    bool fixToValidIndex(int index, int& choice) const override;
    bool fixToValidText(int index, juce::String& text) const override;
    // A drive chosen is opened on the burner (see above).
    void resolveRestrictions(int index) override;
    juce::String getKeyName(int index) const override;
    // The chosen drive by name, and the silenced drives.
    void writeAdditionalPreferences(CZadPreferences& store) override;
    void readAdditionalPreferences(CZadPreferences& store) override;

    // The disc format values offered.
    juce::Array<int> discFormats;
    // The media (eDiscType values) of each format family.
    juce::Array<int> cdMedia;
    juce::Array<int> dvdMedia;
    // Product names of the drives whose gap warning the user silenced.
    juce::StringArray drivesHidingPreGapWarning;

    // Offers the write speeds of the medium a watcher of the drive saw (see
    // DiscDrivePoller), so the speed choices are made without asking the
    // drive on the calling thread; a change of drive forgets it.
    void setObservedMedium(int discType, const std::vector<uint32_t>& speedsKbps);

private:
    // The product name of the chosen drive; empty when none is chosen.
    juce::String CurrentDriveProduct() const;
    void WriteHideList(CZadPreferences& store) const;
    // Opens the chosen drive, or has it opened when the drives are known.
    void openChosenDrive();
    // The answer to a scan: takes the burner's drive list (read without a
    // wait) and chooses the wanted drive when it is listed; a drive whose
    // opening waited, or none chosen yet, is chosen and opened now.
    std::function<void()> takeDriveListLater();
    void takeDriveList();

    // A new one for every object, copies included: a scan's answer reaches
    // the set that asked for it only while the set lives.
    struct AliveToken
    {
        AliveToken() = default;
        AliveToken(const AliveToken&) {}
        AliveToken& operator=(const AliveToken&) { return *this; }
        std::shared_ptr<bool> alive = std::make_shared<bool>(true);
    };

    CAudioDiscBurnProxy& m_burner;
    std::vector<CDDrive> m_drives;
    // The drive last chosen, or named by the store: chosen again when a
    // scan lists it.
    juce::String m_wantedDrive;
    // A drive was chosen while the drives were scanned and is not open yet.
    bool m_bOpenWaitsForScan = false;
    AliveToken m_token;
    bool m_bObservedMedium = false;
    int m_observedDiscType = -1;
    std::vector<uint32_t> m_observedSpeeds;
};
} // namespace Vextal
