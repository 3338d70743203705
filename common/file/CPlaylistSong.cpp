#include "common/file/CPlaylistSong.h"

// ---------------------------------------------------------------------------
// CPlaylistFile

void CPlaylistFile::SetFile(const wchar_t* path, int64_t absStart, int64_t absStop, int mediaId)
{
    m_path = path != nullptr ? path : L"";
    m_absStart = absStart;
    m_absStop = absStop;
    m_mediaId = mediaId;
}

void CPlaylistFile::Copy(const CPlaylistFile* other)
{
    if (other == nullptr || other == this)
        return;
    m_path = other->m_path;
    m_absStart = other->m_absStart;
    m_absStop = other->m_absStop;
    m_mediaId = other->m_mediaId;
}

bool CPlaylistFile::ContinuesTo(const CPlaylistFile* next) const
{
    if (next == nullptr)
        return false;
    // A part that runs to the end of its file has no known end to join.
    if (m_absStop < 0)
        return false;
    if (m_path != next->m_path)
        return false;
    if (next->m_absStart != m_absStop)
        return false;
    // Only the earlier part's 0 acts as "any medium".
    return m_mediaId == 0 || m_mediaId == next->m_mediaId;
}

// ---------------------------------------------------------------------------
// CPlaylistTrack

CPlaylistFile* CPlaylistTrack::CreateNewFile()
{
    m_files.push_back(std::make_unique<CPlaylistFile>());
    return m_files.back().get();
}

CPlaylistFile* CPlaylistTrack::GetFilePtr(unsigned i) const
{
    return i < m_files.size() ? m_files[i].get() : nullptr;
}

void CPlaylistTrack::DeleteLast()
{
    if (!m_files.empty())
        m_files.pop_back();
}

void CPlaylistTrack::DeleteAll()
{
    while (!m_files.empty())
        DeleteLast();
}

void CPlaylistTrack::CopyAll(const CPlaylistTrack* other)
{
    if (other == this)
        return;
    DeleteAll();
    if (other == nullptr)
        return;
    for (const auto& file : other->m_files)
        CreateNewFile()->Copy(file.get());
}

bool CPlaylistTrack::ContinuesTo(const CPlaylistTrack* next) const
{
    if (next == nullptr || m_files.empty())
        return false;
    return m_files.back()->ContinuesTo(next->GetFilePtr(0));
}

// ---------------------------------------------------------------------------
// CPlaylistSection

CPlaylistTrack* CPlaylistSection::CreateNewTrack()
{
    m_tracks.push_back(std::make_unique<CPlaylistTrack>());
    return m_tracks.back().get();
}

CPlaylistTrack* CPlaylistSection::GetTrackPtr(unsigned i) const
{
    return i < m_tracks.size() ? m_tracks[i].get() : nullptr;
}

CPlaylistTrack* CPlaylistSection::GetLastTrackPtr() const
{
    return m_tracks.empty() ? nullptr : m_tracks.back().get();
}

void CPlaylistSection::DeleteLast()
{
    if (!m_tracks.empty())
        m_tracks.pop_back();
}

void CPlaylistSection::DeleteAll()
{
    while (!m_tracks.empty())
        DeleteLast();
}

void CPlaylistSection::CopyAll(const CPlaylistSection* other)
{
    if (other == this)
        return;
    DeleteAll();
    if (other == nullptr)
        return;
    for (const auto& track : other->m_tracks)
        CreateNewTrack()->CopyAll(track.get());
}

bool CPlaylistSection::ContinuesTo(const CPlaylistSection* next) const
{
    if (next == nullptr || m_tracks.empty())
        return false;
    if (m_tracks.size() != next->m_tracks.size())
        return false;
    for (size_t i = 0; i < m_tracks.size(); ++i)
    {
        if (!m_tracks[i]->ContinuesTo(next->m_tracks[i].get()))
            return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// CPlaylistSong

CPlaylistSection* CPlaylistSong::CreateNewSection()
{
    m_sections.push_back(std::make_unique<CPlaylistSection>());
    return m_sections.back().get();
}

CPlaylistSection* CPlaylistSong::GetSectionPtr(unsigned i) const
{
    return i < m_sections.size() ? m_sections[i].get() : nullptr;
}

CPlaylistSection* CPlaylistSong::GetLastSectionPtr() const
{
    return m_sections.empty() ? nullptr : m_sections.back().get();
}

void CPlaylistSong::DeleteLast()
{
    if (!m_sections.empty())
        m_sections.pop_back();
}

void CPlaylistSong::DeleteAll()
{
    while (!m_sections.empty())
        DeleteLast();
    m_markers.DeleteAll();
}

void CPlaylistSong::CopyAll(const CPlaylistSong* other)
{
    if (other == this)
        return;
    DeleteAll();
    if (other == nullptr)
        return;
    for (const auto& section : other->m_sections)
        CreateNewSection()->CopyAll(section.get());
    m_markers.CopyAll(&other->m_markers);
}

bool CPlaylistSong::ContinuesTo(const CPlaylistSong* next) const
{
    if (next == nullptr || m_sections.empty())
        return false;
    return m_sections.back()->ContinuesTo(next->GetSectionPtr(0));
}

CPlaylistSong::PartCounts& CPlaylistSong::PartCounts::operator+=(const PartCounts& other)
{
    sections += other.sections;
    tracks += other.tracks;
    files += other.files;
    return *this;
}

bool CPlaylistSong::PartCounts::IsWithinLimit() const
{
    return sections <= kMaxParts && tracks <= kMaxParts && files <= kMaxParts;
}

CPlaylistSong::PartCounts CPlaylistSong::CountParts() const
{
    PartCounts counts;
    counts.sections = GetNumSections();
    for (const auto& section : m_sections)
    {
        counts.tracks += section->GetNumTracks();
        for (int t = 0; t < section->GetNumTracks(); ++t)
            counts.files += section->GetTrackPtr(static_cast<unsigned>(t))->GetNumFiles();
    }
    return counts;
}
