#include "src/songlist/VXSLReader.h"

#include "library/vextal_juce/CZJEResource.h"
#include "src/songlist/SonglistFile.h"
#include "src/songlist/TrackInfo.h"

#include "common/file/CPlaylistSong.h"

#include <algorithm>

namespace Vextal
{
namespace
{
int CountChildren(const juce::XmlElement& parent, const char* name)
{
    int count = 0;
    for (const juce::XmlElement* child = parent.getChildByName(name); child != nullptr;
         child = child->getNextElementWithTagName(name))
        ++count;
    return count;
}

// The parts the song of a Track element will hold, as
// TrackInfo::deserializeFromXml makes them: its sections, or else one
// section of one track of the plain File children.
CPlaylistSong::PartCounts PartsOf(const juce::XmlElement& track)
{
    CPlaylistSong::PartCounts counts;
    const juce::XmlElement* fileInfo = track.getChildByName("FileInfo");
    if (fileInfo == nullptr)
        return counts;
    if (fileInfo->getChildByName("Section") == nullptr)
    {
        counts.sections = counts.tracks = 1;
        counts.files = CountChildren(*fileInfo, "File");
        return counts;
    }
    for (const juce::XmlElement* section : fileInfo->getChildWithTagNameIterator("Section"))
    {
        ++counts.sections;
        for (const juce::XmlElement* part : section->getChildWithTagNameIterator("Track"))
        {
            ++counts.tracks;
            counts.files += CountChildren(*part, "File");
        }
    }
    return counts;
}
} // namespace

VXSLReader::VXSLReader(const juce::String& path)
{
    const juce::File file = juce::File::isAbsolutePath(path) ? juce::File(path) : juce::File();
    m_folder = file.getParentDirectory();
    switch (SonglistFile::read(file, m_document))
    {
    case SonglistFile::ReadResult::kOk:
        for (const juce::XmlElement* track : m_document->getChildWithTagNameIterator("Track"))
            m_tracks.push_back(track);
        // A song of more parts than any real song is none we wrote: the whole
        // file is refused before any song is made.
        if (!std::all_of(m_tracks.begin(), m_tracks.end(),
                         [](const juce::XmlElement* track) { return PartsOf(*track).IsWithinLimit(); }))
        {
            m_tracks.clear();
            m_document.reset();
            m_error = CZJEResource::GetText("Songlist_Invalid");
        }
        break;
    case SonglistFile::ReadResult::kNewerVersion:
        m_error = CZJEResource::GetText("Songlist_NewerVersion");
        break;
    case SonglistFile::ReadResult::kInvalid:
        m_error = CZJEResource::GetText("Songlist_Invalid");
        break;
    }
}

VXSLReader::~VXSLReader() = default;

bool VXSLReader::isReady() const
{
    return m_index < getNumSongs();
}

std::unique_ptr<TrackInfo> VXSLReader::next()
{
    if (!isReady())
        return nullptr;
    auto song = std::make_unique<TrackInfo>();
    song->deserializeFromXml(m_tracks[static_cast<size_t>(m_index++)], m_error, m_folder);
    return song;
}

double VXSLReader::getCurrentProgress() const
{
    return isReady() ? static_cast<double>(m_index) / getNumSongs() : 1.0;
}
} // namespace Vextal
