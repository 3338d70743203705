#pragma once

#include "common/dsp/CAudioFileTransport.h"
#include "library/vextal_juce/CZJEListenerOwner.h"
#include "library/vextal_juce/CZJESingleton.h"
#include "src/songlist/CVXAudioDeviceManager.h"
#include "src/songlist/Output/ExportSession.h"
#include "src/songlist/SongNameIndex.h"
#include "src/songlist/TrackInfo.h"

#include <juce_events/juce_events.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class CAudioFilePlayerPcmOutput;
class CSongRead;
class CZadPreferences;
class DeviceChangeBroadcaster;
namespace Vextal
{
class ExportManager;
}

class CVXHost;

// What the host needs of the undo stack that records the songlist's edits:
// its history forgotten when another songlist is opened or a new one
// started, and the present state marked as saved. The application's command
// manager is that undo stack while it exists (CVXHost::SetUndoHistorySource);
// without one the host keeps its modified flag itself.
class CVXHostUndoHistory
{
public:
    virtual ~CVXHostUndoHistory() = default;
    // Drops every step and marks the present state as saved.
    virtual void forgetHistoryAsSaved() = 0;
    // The present state is the saved one.
    virtual void markSaved() = 0;
};

// The notices of the host. Every operation has an empty default body;
// currentSongCanBeChanged answers true. Notices arrive on the message thread,
// except those that songs added on the add-songs worker thread cause (song
// count, song notices), which arrive on that thread.
class CVXHostListener
{
public:
    virtual ~CVXHostListener() = default;

    virtual void OnVXHostNumTracksChanged(CVXHost* host, int count)
    {
        (void)host;
        (void)count;
    }
    virtual void OnVXHostSelectedSongsChanged(CVXHost* host, const juce::SparseSet<int>& selection,
                                              bool scrollToIt)
    {
        (void)host;
        (void)selection;
        (void)scrollToIt;
    }
    // The current song was set: its index, or the exported song's in export
    // mode.
    virtual void OnVXHostCurPlayTrackChanged(CVXHost* host, int index)
    {
        (void)host;
        (void)index;
    }
    // After every status request (also when unchanged), and with 2 when the
    // player stopped by itself. 0 playing, 1 paused, 2 stopped.
    virtual void OnVXHostPlayerStatusChanged(CVXHost* host, int status)
    {
        (void)host;
        (void)status;
    }
    // 0 normal, 1 cue forward, 2 cue backward.
    virtual void OnVXHostPlayerSpeedStatusChanged(CVXHost* host, int speed)
    {
        (void)host;
        (void)speed;
    }
    // 0 off, 1 play-from preview, 2 play-to preview; delivered later
    // through a posted message.
    virtual void OnVXHostFromToPlayStatusChanged(CVXHost* host, int status)
    {
        (void)host;
        (void)status;
    }
    // Every 50 ms: the level of channel 0, then of channel 1, in dB (-100 at
    // the least), then the clip state of both (0 none, 1 above 0 dB, 2 at or
    // above +3 dB), then the tick itself.
    virtual void OnVXHostMeterLevelChanged(CVXHost* host, int channel, double levelDb)
    {
        (void)host;
        (void)channel;
        (void)levelDb;
    }
    virtual void OnVXHostMeterClipChanged(CVXHost* host, int clipState)
    {
        (void)host;
        (void)clipState;
    }
    virtual void OnVXHostTimerCallback(CVXHost* host) { (void)host; }
    // 0 normal, 1 an export or burn runs.
    virtual void OnVXHostModeChanged(CVXHost* host, int mode)
    {
        (void)host;
        (void)mode;
    }
    // Every second tick, only when the value changed.
    virtual void OnVXHostDividabilityChanged(CVXHost* host, bool canDivide)
    {
        (void)host;
        (void)canDivide;
    }
    // Asked on every tick before the host moves to another song by itself;
    // one false postpones the move.
    virtual bool currentSongCanBeChanged(CVXHost* host)
    {
        (void)host;
        return true;
    }
    virtual void currentMarkChanged(CVXHost* host) { (void)host; }
    virtual void songlistNameChanged(CVXHost* host, const juce::String& name)
    {
        (void)host;
        (void)name;
    }
};

// The single owner of the songlist and of playback: the songs (one
// Vextal::TrackInfo each, in display order), the selection, the current song,
// the play modes, the file player with the stream of the current song, the
// recent songlists and the player preferences. It is the one audio processor
// of the device manager, the listener of the player's transport, of the
// export sessions (through the export manager), of the volume notices and of
// every song record, which it relays to the views registered for them.
//
// The current song is kept by record identity: whatever changes the list,
// the current index follows the record it named (an index that names no
// song is kept as it is, and moves as the list shifts).
//
// Threads. Every public operation runs on the message thread, or on a
// thread that holds the message-manager lock (the converter's and the output
// sessions' threads, which read songs, tell the exported song and stop the
// player so; their notices reach the listeners on that thread), except:
// OnVXAudioDeviceIOCallback, on the platform audio thread; and the two
// transport notices, which arrive on the player's reader thread and are
// handed to the message thread as posted messages (the reader may be joined
// by the message thread at any time, so it never waits for it or calls the
// listeners itself). The player status is atomic. The add-songs worker never
// calls the host: the records it finishes are inserted on the message thread.
//
// Locks. The song lock guards structural changes of the song list (insert,
// remove, moves and the edits built on them) and the index of song names,
// which SongNameChecker reads under it. The listener lock guards the host
// listener list. The audio callback takes neither: it only calls the
// player's Process, which never waits (it tries the player's output lock and
// plays silence when a seek holds it), so loading a song or reading a file on
// the message thread never holds up the device.
class CVXHost : public CZJESingleton<CVXHost>,
                public CZJEListenerOwner<CVXHostListener>,
                public CVXAudioDeviceManagerListener,
                public CVXAudioDeviceManagerProcessor,
                public CAudioFileTransportListener,
                public Vextal::ExportSessionListener,
                public Vextal::TrackInfoListener,
                public juce::MessageListener,
                public juce::Timer
{
public:
    // Where the undo stack of the songlist is found (see
    // CVXHostUndoHistory): the command manager installs a source that gives
    // the application's instance, or null while there is none.
    static void SetUndoHistorySource(std::function<CVXHostUndoHistory*()> source);
    static CVXHostUndoHistory* GetUndoHistory();

    enum ePlayerMode
    {
        kPlayOneSong = 0,
        kPlayAllSongs = 1,
        kPlayShuffle = 2
    };
    enum ePlayerStatus
    {
        kStatusPlaying = 0,
        kStatusPaused = 1,
        kStatusStopped = 2
    };

    static constexpr int kTimerIntervalMs = 50;
    // The listener id of the host at the volume-change broadcaster; also the
    // type of its volume messages.
    static constexpr int kVolumeListenerId = 1;
    static constexpr int kNumRecentSonglists = 10;
    static constexpr int kDefaultPeakHoldMs = 2000;

    // Preference keys.
    static constexpr const char* kPlayerModeKey = "PlayerMode";
    static constexpr const char* kPlayerRepeatKey = "PlayerRepeat";
    static constexpr const char* kPeakHoldLevelKey = "PlayerPeakHoldPeakLevel";
    static constexpr const char* kPeakHoldClipKey = "PlayerPeakHoldClipIndicator";
    static constexpr const char* kRecentSonglistKeyPrefix = "RecentSonglist_";

    // What a host works with. All are borrowed and must outlive the host; a
    // null service is left out (no export mode, no volume notices, no stored
    // preferences).
    struct Services
    {
        CVXAudioDeviceManager* deviceManager = nullptr;
        Vextal::ExportManager* exportManager = nullptr;
        DeviceChangeBroadcaster* volumeBroadcaster = nullptr;
        CZadPreferences* preferences = nullptr;
        // The folder of the backup and last songlists.
        juce::File dataFolder;
        // Ends the application (the quit request at the end of an export).
        std::function<void()> quitApplication;
        // The seed of each new shuffle order; when empty, the low 32 bits of
        // the current time in milliseconds.
        std::function<uint32_t()> shuffleSeed;
    };

    // The folder of the songlists the application keeps itself:
    // "$XDG_DATA_HOME/Vextal", or "~/.local/share/Vextal" when XDG_DATA_HOME
    // is unset, empty or not an absolute path.
    static juce::File GetApplicationDataFolder();
    // The clip state of a peak level: 2 at or above +3 dB, 1 above 0 dB, 0
    // otherwise.
    static int ClipStateForPeak(float peakdB);

    // A host over the given services; the singleton's instance is made over
    // the application's singletons.
    explicit CVXHost(const Services& services);
    ~CVXHost() override;

    // ---- Host core ----------------------------------------------------------

    juce::CriticalSection& ObtainCriticalSection() override { return m_listenerLock; }
    juce::CriticalSection& GetSongLock() { return m_songLock; }

    // The preferences store of the services; null when none.
    CZadPreferences* GetPreferences() const { return m_services.preferences; }

    void setQuitOnExportEnd(bool quit) { m_quitOnExportEnd = quit; }
    bool isQuitOnExportEnd() const { return m_quitOnExportEnd; }

    // The command-availability bits: no songs; a selection; editing allowed
    // (host mode 0); paused; playing or no current song; not stopped with a
    // current song; at the last song; at the very start of the first song.
    // The last two are false when the list wraps around (repeat in play
    // modes 1 and 2). Null pointers are skipped.
    void GetBits(bool* empty, bool* selected, bool* normalMode, bool* paused, bool* playingOrNoCurrent,
                 bool* stoppable, bool* atLast, bool* atFirst);
    // Enters (non-zero) or leaves (0) export mode; nothing when unchanged.
    void SetMode(int mode);
    int GetMode() const { return m_hostMode; }
    // The current song of a host mode: mode 0 the current song, mode 1 the
    // exported song; any other mode is reported and gives -1.
    int GetCurPlayTrack(int mode) const;

    // The per-song listener registry: filter 0 or more the song at that
    // index, -1 every song, -2 the current song; below -2 is reported and
    // refused. One listener may be registered with several filters.
    void addTrackInfoListener(Vextal::TrackInfoListener* listener, int filter);
    void removeTrackInfoListener(Vextal::TrackInfoListener* listener);

    // Player preferences: play mode, repeat and the peak-hold times.
    void ReadPreferences();
    void WritePreferences();
    // The recent songlists (most recent first, at most ten); entries whose
    // file is gone are dropped on reading and on writing.
    void readRecentSonglistPaths();
    void writeRecentSonglistPaths();
    const juce::StringArray& GetRecentSonglists() const { return m_recentSonglists; }

    const juce::File& GetSonglistFile() const { return m_songlistFile; }
    const juce::File& GetLastSonglistFile() const { return m_lastSonglistFile; }
    const juce::File& GetBackupSonglistFile() const { return m_backupSonglistFile; }

    int GetPeakHoldLevelMs() const { return m_peakHoldLevelMs; }
    void SetPeakHoldLevelMs(int ms) { m_peakHoldLevelMs = ms; }
    int GetPeakHoldClipMs() const { return m_peakHoldClipMs; }
    void SetPeakHoldClipMs(int ms) { m_peakHoldClipMs = ms; }

    // The songs: the record at an index (null outside the list).
    int GetNumSongs() const { return static_cast<int>(m_songs.size()); }
    Vextal::TrackInfo* GetSong(int index) const;
    const juce::SparseSet<int>& GetSelection() const { return m_selection; }
    bool CanCombine() const { return m_canCombine; }
    bool CanLink() const { return m_canLink; }
    const std::vector<int>& GetShuffleOrder() const;
    int GetShufflePosition() const;

    // Borrowed: the player and the stream of the current song.
    CAudioFilePlayerPcmOutput* GetPlayer() const { return m_player.get(); }
    CSongRead* GetSongReader() const { return m_songReader.get(); }

    // ---- Songlist operations ------------------------------------------------

    // Inserts the song at min(index, count) and takes it over; always true.
    bool InsertTrack(int index, std::unique_ptr<Vextal::TrackInfo> song);
    // Takes the song at index out of the list and hands it over (dropping
    // it deletes it); null for an index outside the list. With notify the
    // song count (and a moved current song) is announced; with adjustCurrent
    // a removed current song is stopped and the song that takes its place
    // becomes current.
    std::unique_ptr<Vextal::TrackInfo> RemoveTrack(int index, bool notify, bool adjustCurrent);
    // The records an edit takes out of the list, in the order of their
    // indices; the edit's undo puts them back.
    using TakenSongs = std::vector<std::unique_ptr<Vextal::TrackInfo>>;
    // Many songs at once, in one pass over the list, each change told once.
    // RemoveTracks takes out the songs at the indices (ascending) and hands
    // them over in that order (null for an index outside the list); a removed
    // current song is stopped and the first song after it that stays (else
    // the first song) becomes current and is loaded. InsertTracks puts songs
    // where inserting them one by one, in the given order, would (each index
    // is the song's place afterwards, ascending).
    TakenSongs RemoveTracks(const std::vector<int>& indices);
    void InsertTracks(std::vector<std::pair<int, std::unique_ptr<Vextal::TrackInfo>>> songs);
    // Sets the selection; nothing, and no notice, when it is unchanged.
    void SetSelectedSongs(const juce::SparseSet<int>& selection, bool scrollToIt);
    void SetSelectedSongs(int first, int count, bool scrollToIt);
    // A new random play order that starts with the current song. A change of
    // the song count only marks the order out of date; it is made anew when
    // it is next read, so that adding many songs stays linear.
    void refreshShuffledList();
    // Recomputes whether the selection can be combined or linked.
    void refreshCommandAvailabilities();
    void CallBackNumTracksChanged();
    void CallBackCurPlayTrackChanged();

    // Song names are unique in the songlist; the names are indexed, so
    // neither check walks the songs. Also called on the add-songs worker.
    // A name no song bears: the candidate made a legal file name without
    // trailing white space ("_" when nothing is left); a taken name gets a
    // dot and the next free number (Song gives Song.1 beside Song, Song.2
    // beside Song and Song.1; Song.5 gives Song.6).
    juce::String SongNameChecker(const juce::String& candidate) const;
    // Renaming the song at ownIndex: newName unchanged when it equals
    // oldName; otherwise its legal form, or empty when another song bears
    // that.
    juce::String SongNameCheckerRename(const juce::String& newName, const juce::String& oldName,
                                       int ownIndex) const;

    // Replaces two songs a < b by one song at a that plays the second song's
    // channels beside the first's, section by section; the two records go to
    // sources. When one of them is current, playback stops and the new song
    // becomes current. False, changing nothing, unless the first can be
    // linked with the second (both present, mono, of one format and with as
    // many sections).
    bool LinkTracks(const juce::SparseSet<int>& songs, TakenSongs& sources);
    // Replaces two or more songs by one song at the first index that plays
    // them one after the other, with every song's markers; the records go to
    // sources and the combined song is selected. When one of them is current,
    // playback stops and the combined song becomes current. False, changing
    // nothing, unless each song can be combined with the next.
    bool CombineTracks(const juce::SparseSet<int>& songs, TakenSongs& sources);
    // Replaces the current song by two songs divided at the time: the first
    // without fade-out, the second without fade-in and with a unique name.
    // The second part becomes current (and plays on when the song played)
    // and both are selected; the divided record goes to source. False,
    // changing nothing, unless canDivide(seconds).
    bool DivideTrack(double seconds, std::unique_ptr<Vextal::TrackInfo>& source);
    // Moves the songs of moved, in order, as one block before the first song
    // not moved at or after insertPosition, and selects them; the current
    // song stays current.
    bool PermutateTracks(const juce::SparseSet<int>& moved, int insertPosition);
    // Puts the songs back in oldOrder (the same records in their old order),
    // selects selection and tells the new order. False, changing nothing,
    // when oldOrder is not an order of the present songs.
    bool PermutateTracks_Undo(const juce::SparseSet<int>& selection,
                              const std::vector<Vextal::TrackInfo*>& oldOrder);

    // The songlist-modified flag; a change is told with songlistNameChanged.
    bool isVXSLChanged() const { return m_songlistChanged; }
    void setVXSLChanged(bool changed);
    // Names the songlist's file and, unless it is the nonexistent file, puts
    // it first in the recent songlists (at most ten). Always told with
    // songlistNameChanged.
    void SetVXSLPath(const juce::File& file);
    // ---- Songlist files -----------------------------------------------------

    // Offers to save a modified songlist that has songs: false when the user
    // cancels or the save fails.
    bool isReadyToOpen();
    // Opens a songlist (interactive: after isReadyToOpen, and with the open
    // chooser when file is the nonexistent file); the songs, the undo history
    // and the name are replaced only when the file holds songs. An error is
    // shown for a missing file, and (interactive) for one that is not a
    // songlist or of a newer format.
    bool OpenProject(const juce::File& file, bool interactive);
    // Opens the last songlist (the backup of the previous run) as an
    // untitled songlist.
    bool OpenLastProject();
    // Saves under the songlist's name, or under a chosen one when untitled
    // or with saveAs; a failed write offers to choose another file. Only a
    // save that succeeded names the songlist and clears its modified state.
    bool SaveProject(bool saveAs);
    // Writes the backup songlist when there are songs (a failed write is
    // silent); the undo stack calls it half a second after the last edit,
    // the destructor at the end.
    bool BackupProject();
    // The shared steps: reading a songlist into the host, and writing the
    // songs to a file (changing no state).
    bool openProjectInternal(const juce::File& file, bool interactive);
    bool saveProjectInternal(const juce::File& file);

    // ---- Transport ----------------------------------------------------------

    int GetPlayerStatus() const { return m_playerStatus.load(std::memory_order_acquire); }
    int GetPlayerSpeedStatus() const { return m_speedStatus; }
    int GetFromToPlayStatus() const { return m_fromToStatus; }
    ePlayerMode GetPlayerMode() const { return m_playMode; }
    bool IsRepeat() const { return m_repeat; }
    bool IsScrubbing() const { return m_scrubbing; }

    // Play (0), pause (1) or stop (2). Play and pause fall back to stop
    // without a running device or a song that loads.
    void SetPlayerStatus(int status);
    void SetPlayerSpeedStatus(int speed);
    void SetFromToPlayStatus(int status);
    // A mode outside 0..2 is reported and ignored.
    void setPlayerMode(int mode);
    void setRepeat(bool on);

    // Makes a song current (in export mode: the exported song); with load it
    // stops the player and loads the song. Returns whether it loaded.
    bool SetCurPlayTrack(int index, bool load, bool reshuffle);
    bool loadCurrentSong();
    // The current song's record (null when the current index names none).
    Vextal::TrackInfo* GetCurrentSong() const;

    bool SkipNext(bool tryUntilLoaded) { return SkipSong(true, tryUntilLoaded); }
    bool SkipBack(bool tryUntilLoaded) { return SkipSong(false, tryUntilLoaded); }
    // Moves to the next or previous song by play mode, repeat and shuffle
    // order, keeping the player status; false when there is nowhere to go.
    bool SkipSong(bool next, bool tryUntilLoaded);
    // Moves the play position by delta x 0.1 s, into the next or previous
    // song in play modes 1 and 2 unless told to stay.
    void SkipByWheel(double delta, bool stayInSong);
    // position 0..1.
    void SkipByTimeBar(double position);
    void SetSkipByIdleLoop(bool on);
    // kind 1: the pending wheel offset; kind 2: the time-bar drag position.
    void SetDraggingValue(double value, int kind);
    int GetDragKind() const { return m_dragKind; }
    // 0 nothing, 1 the jog wheel, 2 the time bar.
    void SetDragKind(int kind) { m_dragKind = kind; }

    void GetCurTime(int* hours, int* minutes, float* seconds);
    float GetCurTimeBarPosition();
    bool canDivide(double seconds) const;
    bool canDivide() const;
    // Stops and releases the current song when one of its files lies at or
    // inside path (a volume about to be unmounted).
    void releaseFileIfCurrentlyUsed(const juce::String& path);
    // Sends the levels and the clip state of the player (of the export in
    // export mode).
    void UpdateLevelAndClip();

    // The 50 ms tick.
    void timerCallback() override;

    // ---- Notices the host receives -------------------------------------------

    void exportAboutToStart(Vextal::ExportSession* session) override;
    void exportEnded(Vextal::ExportSession* session, bool cancelled) override;
    void OnVXAudioDeviceAboutToStart(CVXAudioDeviceManager* manager, double rate, int bufferSize) override;
    void OnVXAudioDeviceStopped(CVXAudioDeviceManager* manager) override;
    // Platform audio thread.
    void OnVXAudioDeviceIOCallback(const float* const* in, int numIn, float* const* out, int numOut,
                                   int numSamples) override;
    // Player's reader thread.
    void OnAudioFileTransportStopped(CAudioFileTransport* transport) override;
    void OnAudioFileTransportErrorOccured(CAudioFileTransport* transport) override;
    void handleMessage(const juce::Message& message) override;
    void songMarkerChanged(Vextal::TrackInfo* song, int markerIndex) override;
    void songTextChanged(Vextal::TrackInfo* song, int textIndex) override;
    void songPictureChanged(Vextal::TrackInfo* song) override;
    void songControlChanged(Vextal::TrackInfo* song, int controlId) override;
    void songReloaded(Vextal::TrackInfo* song) override;

private:
    friend class CZJESingleton<CVXHost>;

    // The host's own posted messages: the type and one value.
    enum MessageType
    {
        kFromToStatusMessage = 0,
        kVolumeMessage = kVolumeListenerId,
        kPlayerStoppedMessage = 2,
        kReadErrorMessage = 3
    };
    class HostMessage : public juce::Message
    {
    public:
        HostMessage(int type, int value) : intParameter1(type), intParameter2(value) {}

        const int intParameter1;
        const int intParameter2;
    };

    CVXHost();

    // Construction and destruction steps.
    void RegisterWithServices();
    void UnregisterFromServices();
    void PrepareSonglistFiles();

    bool IsValidIndex(int index) const { return index >= 0 && index < GetNumSongs(); }
    bool IsDeviceRunning() const;
    // The current index of the host mode, and setting it (mode 0 keeps the
    // record it names).
    void SetCurrentIndex(int index);
    // Finds the current record again after the list changed: first near the
    // old index (where inserting or removing one song leaves it), else by a
    // walk.
    void FollowCurrentRecord();
    void MarkCurrentRecord(Vextal::TrackInfo* song);
    // Closes the song the player plays: the player's source, then the
    // stream's files.
    void EjectCurrentSong();
    void StopPlayback();
    // Opening a songlist: every song goes, with the selection and the undo
    // history.
    void RemoveAllSongs();
    // A record entering or leaving the list: the current-song flag, the name
    // index and the host's listening.
    void AttachSong(Vextal::TrackInfo* record);
    void DetachSong(Vextal::TrackInfo* record);
    void ApplyCurrentSongToPlayer(Vextal::TrackInfo* song);
    Vextal::ExportSession* GetRunningSession() const;
    static bool IsEraseSession(Vextal::ExportSession* session);
    double GetLoadedSongSeconds() const;

    // The automatic moves of the tick.
    bool CurrentSongCanBeChanged();
    void MoveOnAtSongEnd();
    void CueWhilePaused();
    // The songs SkipSong tries, fixed when it begins.
    struct SkipPlan
    {
        bool next;
        bool shuffle;
        int current;
        // Positions: song indices, or places in the shuffle order.
        int position;
        int count;
        int after;
        int before;
        int size;
    };
    SkipPlan MakeSkipPlan(bool next) const;
    int CandidateSong(const SkipPlan& plan, int k) const;

    // The transport notices, on the message thread.
    void HandlePlayerStopped();
    void HandleReadError(uint32_t generation);

    // Every host listener in order; no lock is held while they run.
    template <typename F>
    void NotifyListeners(F&& f)
    {
        CallListeners(f);
    }
    // The shuffle order, made anew when the song count changed since.
    void EnsureShuffleOrder() const;
    void RebuildShuffleOrder() const;
    // The pieces of the edits.
    std::unique_ptr<Vextal::TrackInfo> MakeLinkedSong(const Vextal::TrackInfo& first,
                                                      const Vextal::TrackInfo& second) const;
    std::unique_ptr<Vextal::TrackInfo> MakeCombinedSong(const std::vector<int>& indices) const;
    bool CanCombineSongs(const std::vector<int>& indices) const;
    void NotifySonglistName();

    // Every registration whose filter selects the song.
    void RelaySongNotice(Vextal::TrackInfo* song, const std::function<void(Vextal::TrackInfoListener&)>& f);

    const Services m_services;

    bool m_quitOnExportEnd = false;
    int m_hostMode = 0;
    int m_exportedSong = -1;
    juce::SparseSet<int> m_parkedSelection;
    juce::CriticalSection m_listenerLock;

    std::unique_ptr<CAudioFilePlayerPcmOutput> m_player;
    std::unique_ptr<CSongRead> m_songReader;
    std::atomic<int> m_playerStatus{kStatusStopped};
    int m_speedStatus = 0;
    int m_fromToStatus = 0;
    ePlayerMode m_playMode = kPlayOneSong;
    bool m_repeat = false;
    int m_peakHoldLevelMs = 0;
    int m_peakHoldClipMs = 0;
    int m_dragKind = 0;
    double m_wheelOffset = 0.0;
    double m_barDragPosition = 0.0;
    float m_lastBarPosition = 0.0f;
    bool m_scrubbing = false;

    std::vector<std::unique_ptr<Vextal::TrackInfo>> m_songs;
    // The names of the songs, guarded by the song lock.
    Vextal::SongNameIndex m_names;
    mutable std::vector<int> m_shuffleOrder;
    mutable int m_shufflePosition = 0;
    mutable bool m_shuffleStale = false;
    int m_currentSong = -1;
    // The record m_currentSong names (null when it names none).
    Vextal::TrackInfo* m_currentRecord = nullptr;
    // The record whose current-song flag the host set.
    Vextal::TrackInfo* m_flaggedRecord = nullptr;
    juce::SparseSet<int> m_selection;
    bool m_canCombine = false;
    bool m_canLink = false;
    juce::CriticalSection m_songLock;

    juce::File m_songlistFile;
    bool m_songlistChanged = false;
    juce::StringArray m_recentSonglists;
    juce::File m_lastSonglistFile;
    juce::File m_backupSonglistFile;
    std::vector<std::pair<Vextal::TrackInfoListener*, int>> m_songListeners;

    // Counts the songs handed to the player, so that a read error reported
    // for a song that has been replaced since is ignored.
    std::atomic<uint32_t> m_loadGeneration{0};
    // The tick counter and the divide availability last sent.
    int m_tickCounter = 1;
    bool m_lastCanDivide = false;
};
