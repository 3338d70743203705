#pragma once

#include "common/file/CMarker.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The song model: which pieces of which audio files make up one song. A song is
// a list of sections played one after another; a section is a list of tracks
// played in parallel (their channels side by side, track 0 first); a track is a
// list of file parts played back to back. Each level owns its children, which
// are only appended at the end or deleted from the end.
//
// The classes cannot be copied by value; a whole model is duplicated with
// CopyAll, which makes a deep copy that shares nothing with its source.
//
// ContinuesTo is the seamless test, asked of the earlier piece about the later
// one: true when this piece ends exactly where the next one begins in the same
// source, so that both can be played or written as one without a gap.

// One range of absolute sample frames of one file.
class CPlaylistFile
{
public:
    CPlaylistFile() = default;
    virtual ~CPlaylistFile() = default;

    CPlaylistFile(const CPlaylistFile&) = delete;
    CPlaylistFile& operator=(const CPlaylistFile&) = delete;

    // absStop is the first frame not used, or -1 for the end of the file;
    // mediaId 0 accepts any medium.
    void SetFile(const wchar_t* path, int64_t absStart, int64_t absStop, int mediaId);
    void Copy(const CPlaylistFile* other);

    const wchar_t* GetFilePath() const { return m_path.c_str(); }
    int64_t GetAbsStartSample() const { return m_absStart; }
    int64_t GetAbsStopSample() const { return m_absStop; }
    int GetMediaUniqueID() const { return m_mediaId; }

    bool ContinuesTo(const CPlaylistFile* next) const;

private:
    std::wstring m_path;
    int64_t m_absStart = 0;
    int64_t m_absStop = -1;
    int m_mediaId = 0;
};

// File parts played back to back.
class CPlaylistTrack
{
public:
    CPlaylistTrack() = default;
    virtual ~CPlaylistTrack() = default;

    CPlaylistTrack(const CPlaylistTrack&) = delete;
    CPlaylistTrack& operator=(const CPlaylistTrack&) = delete;

    // Appends a part with an empty path, start 0, stop -1 and media id 0.
    CPlaylistFile* CreateNewFile();

    int GetNumFiles() const { return static_cast<int>(m_files.size()); }
    CPlaylistFile* GetFilePtr(unsigned i) const;

    void DeleteLast();
    void DeleteAll();
    void CopyAll(const CPlaylistTrack* other);

    bool ContinuesTo(const CPlaylistTrack* next) const;

private:
    std::vector<std::unique_ptr<CPlaylistFile>> m_files;
};

// Tracks played in parallel.
class CPlaylistSection
{
public:
    CPlaylistSection() = default;
    virtual ~CPlaylistSection() = default;

    CPlaylistSection(const CPlaylistSection&) = delete;
    CPlaylistSection& operator=(const CPlaylistSection&) = delete;

    CPlaylistTrack* CreateNewTrack();

    int GetNumTracks() const { return static_cast<int>(m_tracks.size()); }
    CPlaylistTrack* GetTrackPtr(unsigned i) const;
    CPlaylistTrack* GetLastTrackPtr() const;

    void DeleteLast();
    void DeleteAll();
    void CopyAll(const CPlaylistSection* other);

    bool ContinuesTo(const CPlaylistSection* next) const;

private:
    std::vector<std::unique_ptr<CPlaylistTrack>> m_tracks;
};

// Sections played one after another, with the song's markers.
class CPlaylistSong
{
public:
    // The most sections a song holds, and likewise the most tracks and the
    // most file parts, each counted over the whole song. No real song comes
    // near it; every part costs a reader while the song plays, so a song of
    // thousands of sections would take gigabytes.
    static constexpr int kMaxParts = 400;

    struct PartCounts
    {
        int sections = 0;
        int tracks = 0;
        int files = 0;

        PartCounts& operator+=(const PartCounts& other);
        bool IsWithinLimit() const;
    };

    CPlaylistSong() = default;
    virtual ~CPlaylistSong() = default;

    CPlaylistSong(const CPlaylistSong&) = delete;
    CPlaylistSong& operator=(const CPlaylistSong&) = delete;

    CPlaylistSection* CreateNewSection();

    int GetNumSections() const { return static_cast<int>(m_sections.size()); }
    CPlaylistSection* GetSectionPtr(unsigned i) const;
    CPlaylistSection* GetLastSectionPtr() const;

    // The song's own marker list, in seconds from the start of the song.
    CMarker* GetMarkerPtr() { return &m_markers; }
    const CMarker* GetMarkerPtr() const { return &m_markers; }

    // Deletes the last section; the markers stay.
    void DeleteLast();
    // Deletes all sections and all markers.
    void DeleteAll();
    void CopyAll(const CPlaylistSong* other);

    bool ContinuesTo(const CPlaylistSong* next) const;

    // The sections, tracks and file parts of the whole song.
    PartCounts CountParts() const;

private:
    std::vector<std::unique_ptr<CPlaylistSection>> m_sections;
    CMarker m_markers;
};
