#pragma once

#include "library/util/CListenerList.h"

#include <juce_core/juce_core.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class CAudioFileReadBase;
class CAudioPlayerInput;
class CDynamicControlParams;
class CMarker;
class CPlaylistFile;
class CPlaylistSong;
class CSongRead;

namespace Vextal
{
class TrackInfo;

// Notices of a song record. They arrive on the thread that made the change,
// in registration order.
class TrackInfoListener
{
public:
    virtual ~TrackInfoListener() = default;

    // markerIndex -1: all markers changed.
    virtual void songMarkerChanged(TrackInfo* song, int markerIndex)
    {
        (void)song;
        (void)markerIndex;
    }
    virtual void songTextChanged(TrackInfo* song, int textIndex)
    {
        (void)song;
        (void)textIndex;
    }
    virtual void songPictureChanged(TrackInfo* song) { (void)song; }
    virtual void songControlChanged(TrackInfo* song, int controlId)
    {
        (void)song;
        (void)controlId;
    }
    // The format data or the file presence was read again.
    virtual void songReloaded(TrackInfo* song) { (void)song; }
};

// The record of one song of the songlist: which files the song plays (its
// song model), the format data last read from them, twelve texts, the path of
// an attached picture, seven controls, markers and a normalization offset.
// Every change is told to the registered listeners.
//
// Values are kept as the controls and texts allow them: every value that
// reaches the record, by an edit or from outside (a file's song information,
// a songlist), passes the same clamps and filters (setControl, setText).
//
// Threads. The record has no lock. It is changed on the message thread; a
// worker that builds records (adding songs) hands them over before anyone
// else sees them. The map of mounted audio CDs is process-wide and is rebuilt
// only on the message thread.
class TrackInfo
{
public:
    enum Text
    {
        kSongName = 0,
        kTitle = 1,
        kArtist = 2,
        kAlbum = 3,
        kGenre = 4,
        kLocation = 5,
        kRecYear = 6,
        kRecMonth = 7,
        kRecDay = 8,
        kRecHour = 9,
        kRecMinute = 10,
        kRecSecond = 11,
        kNumTexts = 12
    };

    enum Control
    {
        kGain = 0,        // float, dB, -60 .. +60 in 0.1 dB
        kFadeInType = 1,  // int, 0 none, 1 linear, 2 squared
        kFadeInTime = 2,  // float, seconds, 0 .. 10 in 0.1 s
        kFadeOutType = 3, // int
        kFadeOutTime = 4, // float
        kDcCut = 5,       // int, 0 off, 1 on
        kBalance = 6,     // float, -1 left .. +1 right in 0.01
        kNumControls = 7
    };

    // What copyMetaDataTo writes as the encoding software.
    static constexpr const char* kEncodingSoftware = "Vextal ver.1.0.0 (Linux)";

    // An empty song: no files, nothing read yet.
    TrackInfo();
    // An empty song with everything of other that copyAll copies.
    TrackInfo(const TrackInfo& other);
    // A song of one file: the window an open reader (borrowed) exposes, with
    // its format data and song information.
    explicit TrackInfo(CAudioFileReadBase* reader);
    virtual ~TrackInfo();

    TrackInfo& operator=(const TrackInfo&) = delete;

    // Order tag -1, flags cleared, offset 0, a new empty song model and
    // marker list, every control 0.
    void initialize();
    // Copies format data, song model, markers, texts, picture path and
    // controls; not the order tag, the current-song and normalize state or
    // the listeners.
    void copyAll(const TrackInfo* other);

    // Texts. An index outside 0..11 is reported; getText gives the empty
    // text and setText changes nothing.
    juce::String getText(int index) const;
    // Stores the text through its filter (the table of texts); with notify,
    // a changed text is told with songTextChanged.
    void setText(int index, const juce::String& text, bool notify);
    // The message key naming a text; "" outside 0..11.
    static const char* getTextName(int index);

    // The filters of the recording date and time texts.
    static juce::String RecDateYFilter(const juce::String& text);
    static juce::String RecDateMFilter(const juce::String& text);
    static juce::String RecDateDFilter(const juce::String& text);
    static juce::String RecTimeHFilter(const juce::String& text);
    static juce::String RecTimeMFilter(const juce::String& text);

    // The attached picture; a changed path is told with songPictureChanged
    // when notify is set.
    const juce::String& getAttachedPictureFilePath() const { return m_picturePath; }
    void setAttachedPictureFilePath(const juce::String& path, bool notify);
    // The picture's size in bytes: the size of a JPEG or PNG file, or of the
    // picture embedded in the audio file the path names; 0 when none.
    int64_t getAttachedPictureSize() const;

    // Markers.
    CMarker* getMarkers() { return m_markers.get(); }
    const CMarker* getMarkers() const { return m_markers.get(); }
    void copyAllMarkers(const CMarker* markers, bool notify);
    // False when the time is refused (see CMarker::Add).
    bool addMarker(double seconds, bool notify);
    void sendMarkerChangeMessage(int markerIndex);

    // Controls. getControlInt answers ids 1, 3 and 5, getControlFloat ids 0,
    // 2, 4 and 6; setControl takes the ids of its type. Any other id (and a
    // value that is not a number) is reported and changes nothing. A stored
    // value that differs from the previous one is told with
    // songControlChanged when notify is set.
    int getControlInt(int id) const;
    float getControlFloat(int id) const;
    void setControl(int id, float value, bool notify);
    void setControl(int id, int value, bool notify);
    // The message key naming a control; "" outside 0..6.
    static const char* getControlName(int id);
    // Whether the control's value is a float (ids 0, 2, 4 and 6).
    static bool isFloatControl(int id);

    // The gain with the normalization offset when the normalize flag is set,
    // in 0.1 dB steps rounded down, limited to -60 .. +60.
    float getNormalizedGain() const;
    bool isNormalize() const { return m_normalize; }
    void setNormalize(bool on) { m_normalize = on; }
    float getNormalizeOffset() const { return m_normalizeOffset; }
    // An offset that is not a finite number is reported and not stored.
    void setNormalizeOffset(float dB);
    // Gain (plain or normalized), fades, DC cut and balance into the engine.
    void copyControlsTo(CDynamicControlParams* params, bool useNormalized) const;

    // Opens the song through songRead and takes its format data; an audio-CD
    // song whose disc is now mounted elsewhere is found by its media id
    // (pathsReplaced then tells so). Returns whether the files are present;
    // a song that cannot be opened keeps its previous format data.
    bool loadSong(CSongRead* songRead, bool notify, bool* pathsReplaced);
    // loadSong through a stream of its own.
    bool reload(bool notify);

    // Rebuilds the process-wide map of mounted audio CDs (media id to volume
    // path); true when it holds at least one disc.
    static bool refreshMediaIDToPath();
    // Points every file of the song that is missing to the mounted audio CD
    // with its media id. All or nothing: when one missing file finds no disc,
    // every file stays as it was. Tells songReloaded (unless the map is
    // empty) and returns the result, which becomes the present flag.
    bool replacePathsByMediaIDs();
    // Where refreshMediaIDToPath finds the mounted audio CDs (their volume
    // paths); by default the CD drives holding an audio disc. An empty
    // function restores the default.
    static void setAudioVolumeSource(std::function<std::vector<juce::String>()> source);

    // Every file of every track of every section, in order; they stay owned
    // by the song.
    void getAllFiles(juce::Array<CPlaylistFile*>& files) const;

    // Whether the two songs may be combined into one, linked into one
    // stereo song, or played without a gap (this one before next).
    bool canCombineWith(const TrackInfo* other, bool allowCompressed) const;
    bool canLinkWith(const TrackInfo* other) const;
    bool canConnectTo(const TrackInfo* next) const;

    // Song information and markers to a source (its information is replaced)
    // and from one (every value through the text filters).
    void copyMetaDataTo(CAudioPlayerInput* input) const;
    void copyMetaDataFrom(CAudioPlayerInput* input);

    // The songlist form of the song: one Track element of a songlist file
    // (SonglistFile.h). Paths are written both in full and relative to the
    // songlist's folder. version is the songlist's format version; every
    // version writes the same elements. A file or picture the songlist named
    // but that was not found, and is still missing, keeps the full path the
    // songlist stated, so saving elsewhere while it is away loses nothing.
    std::unique_ptr<juce::XmlElement> serializeToXml(int version, const juce::File& songlistFolder) const;
    // Fills an empty record from a Track element. Every part is read even
    // after a missing one; the result is true when all were there, and error
    // receives the message of each missing part. Values pass the same clamps
    // as edits (setControl, setText): a number that is not finite, negative
    // where that means nothing, or out of range is refused or limited.
    // Relative paths resolve against songlistFolder and win when they name
    // something that exists. The record is marked not yet loaded.
    bool deserializeFromXml(const juce::XmlElement* track, juce::String& error,
                            const juce::File& songlistFolder);

    // Listeners are borrowed; one listener is registered at most once.
    void addListener(TrackInfoListener* listener);
    void removeListener(TrackInfoListener* listener);

    // Format data and state.
    int getOrderTag() const { return m_orderTag; }
    void setOrderTag(int tag) { m_orderTag = tag; }
    bool isCurrentSong() const { return m_currentSong; }
    void setCurrentSong(bool current) { m_currentSong = current; }
    bool isPresent() const { return m_present; }
    int getBitsPerSample() const { return m_bitsPerSample; }
    float getSampleRate() const { return m_sampleRate; }
    int getNumChannels() const { return m_numChannels; }
    void getTotalTime(int* hours, int* minutes, float* seconds) const;
    // (hours x 60 + minutes) x 60 + seconds.
    double getTotalTimeSecond() const;
    bool isCompressed() const { return m_compressed; }
    const juce::String& getFormatID() const { return m_formatId; }
    CPlaylistSong* getSong() { return m_song.get(); }
    const CPlaylistSong* getSong() const { return m_song.get(); }
    bool isNotYetLoaded() const { return m_notYetLoaded; }
    bool isLossless() const { return m_lossless; }
    bool isVBR() const { return m_vbr; }
    int64_t getNumSamples() const { return m_numSamples; }
    int getBitRate() const { return m_bitRate; }

private:
    struct MediaEntry
    {
        int mediaId = 0;
        juce::String volumePath;
    };

    void ReadFormatData(CSongRead* songRead);
    // Opens the song again after its CD files were re-pointed.
    bool OpenAfterPathReplacement(CSongRead* songRead, bool* pathsReplaced);
    // Stores a value already in range; true when it changed.
    bool StoreControl(int id, float value);
    bool StoreControl(int id, int value);
    void NotifyControl(int id);
    template <typename F>
    void Notify(F&& f);

    static std::vector<MediaEntry>& MediaMap();

    // The parts of deserializeFromXml.
    void deserializeTextData(const juce::XmlElement& textData);
    void deserializeDataSpec(const juce::XmlElement& dataSpec);
    void deserializeControl(const juce::XmlElement& control);
    void deserializeFileInfo(const juce::XmlElement& fileInfo, const juce::File& songlistFolder);
    void deserializePicture(const juce::XmlElement* picture, const juce::File& songlistFolder);

    int m_orderTag = -1;
    bool m_currentSong = false;
    bool m_normalize = false;
    float m_normalizeOffset = 0.0f;

    bool m_present = false;
    int m_bitsPerSample = 0;
    float m_sampleRate = 0.0f;
    int m_numChannels = 0;
    int m_hours = 0;
    int m_minutes = 0;
    float m_seconds = 0.0f;
    bool m_compressed = false;
    juce::String m_formatId;
    std::unique_ptr<CPlaylistSong> m_song;
    bool m_notYetLoaded = true;
    bool m_lossless = true;
    bool m_vbr = false;
    int64_t m_numSamples = 0;
    int m_bitRate = 0;
    std::unique_ptr<CMarker> m_markers;
    juce::String m_texts[kNumTexts];
    juce::String m_picturePath;
    // The full paths a songlist stated for the files and the picture it
    // named that were not found, by the path they were given instead.
    std::map<juce::String, juce::String> m_unresolvedPaths;

    float m_gain = 0.0f;
    int m_fadeInType = 0;
    float m_fadeInTime = 0.0f;
    int m_fadeOutType = 0;
    float m_fadeOutTime = 0.0f;
    int m_dcCut = 0;
    float m_balance = 0.0f;

    CListenerList<TrackInfoListener, CNoLock> m_listeners;
};
} // namespace Vextal
