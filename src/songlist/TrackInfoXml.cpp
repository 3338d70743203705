// The songlist form of a song record: the Track element that a songlist
// file holds for each song (SonglistFile.h describes the document around it).
//
// Every value leaf carries a type attribute ("string", "integer", "float",
// "boolean") that is written and never checked: values are read by element
// name. Numbers are written and read without regard to the locale: floats
// with six decimals and "." as decimal mark (marker times with nine
// significant digits); a "," read in a float is taken as the decimal mark.

#include "src/songlist/TrackInfo.h"

#include "common/file/CMarker.h"
#include "common/file/CPlaylistSong.h"
#include "library/util/CCheckUtil.h"
#include "library/util/CRegularFile.h"
#include "src/songlist/VXUtil.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <optional>
#include <vector>

namespace Vextal
{
namespace
{
// Bounds of the format data a songlist states. The data is read again from
// the files when the song is loaded; until then these values are only shown,
// so anything outside what a file can hold is limited.
constexpr int kMaxBitsPerSample = 64;
constexpr int kMaxChannels = 65535;
constexpr double kMaxSampleRate = 100000000.0;

const char* const kTextElements[] = {"Title", "Artist", "Album", "Genre", "Location"};
const char* const kDateElements[] = {"Year", "Month", "Day"};
const char* const kTimeElements[] = {"Hour", "Minute", "Second"};

// ---------------------------------------------------------------------------
// Writing

juce::XmlElement* AddLeaf(juce::XmlElement& parent, const char* name, const char* type,
                          const juce::String& text)
{
    juce::XmlElement* leaf = parent.createNewChildElement(name);
    leaf->setAttribute("type", type);
    if (text.isNotEmpty())
        leaf->addTextElement(text);
    return leaf;
}

juce::XmlElement* AddString(juce::XmlElement& parent, const char* name, const juce::String& text)
{
    return AddLeaf(parent, name, "string", text);
}

void AddInteger(juce::XmlElement& parent, const char* name, int64_t value)
{
    AddLeaf(parent, name, "integer", juce::String(value));
}

// printf "%f" (or "%.9g" with significantDigits), "." as decimal mark
// whatever the locale.
juce::String FloatText(double value, std::optional<int> significantDigits = std::nullopt)
{
    char text[400];
    const auto result =
        significantDigits
            ? std::to_chars(text, text + sizeof(text), value, std::chars_format::general, *significantDigits)
            : std::to_chars(text, text + sizeof(text), value, std::chars_format::fixed, 6);
    return result.ec == std::errc() ? juce::String(text, static_cast<size_t>(result.ptr - text)) : "0";
}

void AddFloat(juce::XmlElement& parent, const char* name, double value)
{
    // Zero is written as 0.000000, never with the sign of -0.
    AddLeaf(parent, name, "float", FloatText(value == 0.0 ? 0.0 : value));
}

void AddBoolean(juce::XmlElement& parent, const char* name, bool value)
{
    AddLeaf(parent, name, "boolean", value ? "true" : "false");
}

// Full paths a songlist stated for files that were not found, by the path
// the file was given instead (TrackInfo::m_unresolvedPaths).
using UnresolvedPaths = std::map<juce::String, juce::String>;

// The path relative to the songlist's folder (".." steps); the full path
// when there is no folder or the path is not a full path.
juce::String RelativePath(const juce::String& path, const juce::File& folder)
{
    if (!juce::File::isAbsolutePath(path) || folder == juce::File())
        return path;
    return juce::File(path).getRelativePathFrom(folder);
}

// The full path to write for path: the one the songlist stated while the
// file it named is still missing (path then only guesses at it from where
// the songlist was), else path itself.
juce::String AbsoluteText(const juce::String& path, const UnresolvedPaths& unresolved)
{
    const auto stated = unresolved.find(path);
    if (stated == unresolved.end() || stated->second.isEmpty() ||
        (juce::File::isAbsolutePath(path) && juce::File(path).existsAsFile()))
        return path;
    return stated->second;
}

void AddPathPair(juce::XmlElement& parent, const juce::String& path, const UnresolvedPaths& unresolved,
                 const juce::File& folder)
{
    AddString(parent, "FilePath", AbsoluteText(path, unresolved))->setAttribute("option", "absolute");
    AddString(parent, "FilePath", RelativePath(path, folder))->setAttribute("option", "relative");
}

void AddFile(juce::XmlElement& parent, const CPlaylistFile& file, const UnresolvedPaths& unresolved,
             const juce::File& folder)
{
    juce::XmlElement* element = parent.createNewChildElement("File");
    AddPathPair(*element, juce::String(file.GetFilePath()), unresolved, folder);
    AddInteger(*element, "StartSample", file.GetAbsStartSample());
    AddInteger(*element, "StopSample", file.GetAbsStopSample());
    AddInteger(*element, "MediaUniqueID", file.GetMediaUniqueID());
}

void AddTrackFiles(juce::XmlElement& parent, const CPlaylistTrack& track, const UnresolvedPaths& unresolved,
                   const juce::File& folder)
{
    for (int f = 0; f < track.GetNumFiles(); ++f)
        AddFile(parent, *track.GetFilePtr(static_cast<unsigned>(f)), unresolved, folder);
}

// The sections, then the flat list of files when every section has exactly
// one track.
void AddSongFiles(juce::XmlElement& fileInfo, const CPlaylistSong& song, const UnresolvedPaths& unresolved,
                  const juce::File& folder)
{
    bool oneTrackEach = song.GetNumSections() > 0;
    for (int s = 0; s < song.GetNumSections(); ++s)
    {
        const CPlaylistSection* section = song.GetSectionPtr(static_cast<unsigned>(s));
        juce::XmlElement* sectionElement = fileInfo.createNewChildElement("Section");
        for (int t = 0; t < section->GetNumTracks(); ++t)
            AddTrackFiles(*sectionElement->createNewChildElement("Track"),
                          *section->GetTrackPtr(static_cast<unsigned>(t)), unresolved, folder);
        oneTrackEach = oneTrackEach && section->GetNumTracks() == 1;
    }
    if (!oneTrackEach)
        return;
    for (int s = 0; s < song.GetNumSections(); ++s)
        AddTrackFiles(fileInfo, *song.GetSectionPtr(static_cast<unsigned>(s))->GetTrackPtr(0), unresolved,
                      folder);
}

// ---------------------------------------------------------------------------
// Reading

juce::String StringOf(const juce::XmlElement& parent, const char* name)
{
    const juce::XmlElement* leaf = parent.getChildByName(name);
    return leaf != nullptr ? leaf->getAllSubText() : juce::String();
}

// The leading decimal number (blanks and a sign may come first), limited to
// the 64-bit range; 0 when there is none.
int64_t LeadingInteger(const juce::String& text)
{
    juce::String::CharPointerType p = text.getCharPointer();
    while (juce::CharacterFunctions::isWhitespace(*p))
        ++p;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+')
        ++p;
    uint64_t magnitude = 0;
    constexpr uint64_t kLimit = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    for (; juce::CharacterFunctions::isDigit(*p); ++p)
        magnitude = std::min(kLimit + 1, magnitude * 10 + static_cast<uint64_t>(*p - '0'));
    if (negative)
        return magnitude > kLimit ? std::numeric_limits<int64_t>::min() : -static_cast<int64_t>(magnitude);
    return static_cast<int64_t>(std::min(magnitude, kLimit));
}

int64_t IntegerOf(const juce::XmlElement& parent, const char* name)
{
    const juce::XmlElement* leaf = parent.getChildByName(name);
    return leaf != nullptr ? LeadingInteger(leaf->getAllSubText()) : 0;
}

int IntOf(const juce::XmlElement& parent, const char* name, int low, int high)
{
    return static_cast<int>(std::clamp<int64_t>(IntegerOf(parent, name), low, high));
}

// A decimal number with "," or "." as decimal mark; nothing when the text
// holds none, or names a value that is not finite or beyond the double range.
std::optional<double> ParseDecimal(juce::String text)
{
    text = text.trim().replaceCharacter(',', '.');
    if (text.startsWithChar('+'))
        text = text.substring(1);
    const char* begin = text.toRawUTF8();
    const char* end = begin + text.getNumBytesAsUTF8();
    double value = 0.0;
    const auto result = std::from_chars(begin, end, value, std::chars_format::general);
    if (result.ptr == begin)
        return 0.0;
    if (result.ec != std::errc() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// A float child: fallback when it is missing; nothing when its value is
// refused.
std::optional<double> FloatOf(const juce::XmlElement& parent, const char* name, double fallback)
{
    const juce::XmlElement* leaf = parent.getChildByName(name);
    return leaf != nullptr ? ParseDecimal(leaf->getAllSubText()) : std::optional<double>(fallback);
}

bool BooleanOf(const juce::XmlElement& parent, const char* name, bool fallback)
{
    const juce::XmlElement* leaf = parent.getChildByName(name);
    return leaf != nullptr ? leaf->getAllSubText().trim().equalsIgnoreCase("true") : fallback;
}

// The texts of the FilePath children by their option; a later one replaces
// an earlier one, other options are ignored.
struct PathTexts
{
    juce::String absolute;
    juce::String relative;
};

PathTexts PathTextsOf(const juce::XmlElement& parent)
{
    PathTexts texts;
    for (const juce::XmlElement* child : parent.getChildWithTagNameIterator("FilePath"))
    {
        const juce::String option = child->getStringAttribute("option");
        if (option == "absolute")
            texts.absolute = child->getAllSubText();
        else if (option == "relative")
            texts.relative = child->getAllSubText();
    }
    return texts;
}

// The file a relative text names beside the songlist; File() for an empty
// text (which does not name the songlist's folder).
juce::File RelativeFile(const juce::String& text, const juce::File& folder)
{
    if (text.isEmpty() || folder == juce::File())
        return juce::File::isAbsolutePath(text) ? juce::File(text) : juce::File();
    return folder.getChildFile(text);
}

juce::File AbsoluteFile(const juce::String& text)
{
    return juce::File::isAbsolutePath(text) ? juce::File(text) : juce::File();
}

// Whether a file is there to be read: a regular file, links followed. A FIFO,
// a device or a folder under a song's or a picture's name counts as missing.
bool IsThere(const juce::File& file)
{
    return file != juce::File() && CRegularFile::IsRegular(file.getFullPathName().toStdString());
}

// The path of a file element: the relative file when it exists, else the
// absolute file when that exists, else the relative file (found is then
// false).
juce::String ResolveFilePath(const PathTexts& texts, const juce::File& folder, bool* found)
{
    const juce::File relative = RelativeFile(texts.relative, folder);
    *found = true;
    if (IsThere(relative))
        return relative.getFullPathName();
    const juce::File absolute = AbsoluteFile(texts.absolute);
    if (IsThere(absolute))
        return absolute.getFullPathName();
    *found = false;
    return relative.getFullPathName();
}

// One File element into a new file of the track; false when its file was
// not found (its stated full path is then kept in unresolved).
bool ReadFile(const juce::XmlElement& element, CPlaylistTrack& track, const juce::File& folder,
              UnresolvedPaths& unresolved)
{
    bool found = false;
    const PathTexts texts = PathTextsOf(element);
    const juce::String path = ResolveFilePath(texts, folder, &found);
    if (!found)
        unresolved[path] = texts.absolute;
    // A start before the file is its first frame; a stop below -1 (the end
    // of the file) means the end.
    const int64_t start = std::max<int64_t>(0, IntegerOf(element, "StartSample"));
    const int64_t stop = std::max<int64_t>(-1, IntegerOf(element, "StopSample"));
    const int mediaId = static_cast<int>(static_cast<uint32_t>(IntegerOf(element, "MediaUniqueID")));
    track.CreateNewFile()->SetFile(path.toWideCharPointer(), start, stop, mediaId);
    return found;
}

bool ReadTrackFiles(const juce::XmlElement& parent, CPlaylistTrack& track, const juce::File& folder,
                    UnresolvedPaths& unresolved)
{
    bool allFound = true;
    for (const juce::XmlElement* file : parent.getChildWithTagNameIterator("File"))
        allFound = ReadFile(*file, track, folder, unresolved) && allFound;
    return allFound;
}
} // namespace

// ---------------------------------------------------------------------------
// Writing

std::unique_ptr<juce::XmlElement> TrackInfo::serializeToXml(int version,
                                                            const juce::File& songlistFolder) const
{
    (void)version;
    auto track = std::make_unique<juce::XmlElement>("Track");
    AddString(*track, "Name", m_texts[kSongName]);

    juce::XmlElement* textData = track->createNewChildElement("TextData");
    for (int i = 0; i < 5; ++i)
        AddString(*textData, kTextElements[i], m_texts[kTitle + i]);
    juce::XmlElement* recDate = textData->createNewChildElement("RecDate");
    juce::XmlElement* recTime = textData->createNewChildElement("RecTime");
    for (int i = 0; i < 3; ++i)
    {
        AddString(*recDate, kDateElements[i], m_texts[kRecYear + i]);
        AddString(*recTime, kTimeElements[i], m_texts[kRecHour + i]);
    }

    juce::XmlElement* dataSpec = track->createNewChildElement("DataSpec");
    AddInteger(*dataSpec, "Bit", m_bitsPerSample);
    AddFloat(*dataSpec, "SampleRate", m_sampleRate);
    AddBoolean(*dataSpec, "Compressed", m_compressed);
    AddBoolean(*dataSpec, "Lossless", m_lossless);
    AddString(*dataSpec, "Format", m_formatId.toLowerCase());
    AddInteger(*dataSpec, "Channels", m_numChannels);
    juce::XmlElement* time = dataSpec->createNewChildElement("Time");
    AddInteger(*time, "Hour", m_hours);
    AddInteger(*time, "Minute", m_minutes);
    AddFloat(*time, "Second", m_seconds);

    juce::XmlElement* control = track->createNewChildElement("Control");
    AddFloat(*control, "Gain", m_gain);
    AddFloat(*control, "Balance", m_balance);
    juce::XmlElement* fadeIn = control->createNewChildElement("FadeIn");
    AddInteger(*fadeIn, "FadeType", m_fadeInType);
    AddFloat(*fadeIn, "FadeTime", m_fadeInTime);
    juce::XmlElement* fadeOut = control->createNewChildElement("FadeOut");
    AddInteger(*fadeOut, "FadeType", m_fadeOutType);
    AddFloat(*fadeOut, "FadeTime", m_fadeOutTime);
    AddInteger(*control, "DCCut", m_dcCut);

    juce::XmlElement* fileInfo = track->createNewChildElement("FileInfo");
    AddSongFiles(*fileInfo, *m_song, m_unresolvedPaths, songlistFolder);
    juce::XmlElement* picture = fileInfo->createNewChildElement("Picture");
    if (m_picturePath.isNotEmpty())
        AddPathPair(*picture, m_picturePath, m_unresolvedPaths, songlistFolder);

    juce::XmlElement* marker = track->createNewChildElement("Marker");
    for (int i = 0; i < m_markers->GetNumMarkers(); ++i)
        AddLeaf(*marker->createNewChildElement("Mark"), "Time", "float",
                FloatText(m_markers->GetMarkerTimeSecond(i), 9));
    return track;
}

// ---------------------------------------------------------------------------
// Reading

bool TrackInfo::deserializeFromXml(const juce::XmlElement* track, juce::String& error,
                                   const juce::File& songlistFolder)
{
    error.clear();
    if (!VX_CHECK(track != nullptr && track->hasTagName("Track")))
        return false;
    bool ok = true;
    const auto part = [&](const char* name, const char* missing) -> const juce::XmlElement*
    {
        const juce::XmlElement* element = track->getChildByName(name);
        if (element == nullptr)
        {
            error << missing;
            ok = false;
        }
        return element;
    };
    if (part("Name", "Track name tag not found.") != nullptr)
        setText(kSongName, StringOf(*track, "Name"), false);
    if (const juce::XmlElement* textData = part("TextData", "Text data tag not found."))
        deserializeTextData(*textData);
    if (const juce::XmlElement* dataSpec = part("DataSpec", "Data spec tag not found."))
        deserializeDataSpec(*dataSpec);
    if (const juce::XmlElement* control = part("Control", "Control tag not found."))
        deserializeControl(*control);
    if (const juce::XmlElement* fileInfo = part("FileInfo", "File info tag not found."))
        deserializeFileInfo(*fileInfo, songlistFolder);
    if (const juce::XmlElement* marker = track->getChildByName("Marker"))
    {
        // Sorted once: a songlist may list many markers in any order.
        std::vector<double> times;
        for (const juce::XmlElement* mark : marker->getChildWithTagNameIterator("Mark"))
        {
            const juce::String text = StringOf(*mark, "Time");
            const std::optional<double> seconds = text.isEmpty() ? std::nullopt : ParseDecimal(text);
            if (seconds && *seconds >= 0.0)
                times.push_back(*seconds);
        }
        m_markers->AddAll(times);
    }
    m_vbr = false;
    m_numSamples = 0;
    m_bitRate = 0;
    m_notYetLoaded = true;
    return ok;
}

void TrackInfo::deserializeTextData(const juce::XmlElement& textData)
{
    for (int i = 0; i < 5; ++i)
        setText(kTitle + i, StringOf(textData, kTextElements[i]), false);
    // The recording date and time are kept as the songlist states them.
    if (const juce::XmlElement* recDate = textData.getChildByName("RecDate"))
        for (int i = 0; i < 3; ++i)
            m_texts[kRecYear + i] = StringOf(*recDate, kDateElements[i]);
    if (const juce::XmlElement* recTime = textData.getChildByName("RecTime"))
        for (int i = 0; i < 3; ++i)
            m_texts[kRecHour + i] = StringOf(*recTime, kTimeElements[i]);
}

void TrackInfo::deserializeDataSpec(const juce::XmlElement& dataSpec)
{
    m_bitsPerSample = IntOf(dataSpec, "Bit", 0, kMaxBitsPerSample);
    m_sampleRate = static_cast<float>(
        std::clamp(FloatOf(dataSpec, "SampleRate", 0.0).value_or(0.0), 0.0, kMaxSampleRate));
    m_compressed = BooleanOf(dataSpec, "Compressed", false);
    m_lossless = BooleanOf(dataSpec, "Lossless", true);
    m_formatId = StringOf(dataSpec, "Format").toUpperCase();
    m_numChannels = IntOf(dataSpec, "Channels", 0, kMaxChannels);
    if (const juce::XmlElement* time = dataSpec.getChildByName("Time"))
    {
        m_hours = IntOf(*time, "Hour", 0, INT_MAX);
        m_minutes = IntOf(*time, "Minute", 0, 59);
        const double seconds = FloatOf(*time, "Second", 0.0).value_or(0.0);
        m_seconds = seconds >= 0.0 && seconds < 60.0 ? static_cast<float>(seconds) : 0.0f;
    }
}

void TrackInfo::deserializeControl(const juce::XmlElement& control)
{
    const auto setFloat = [this](const juce::XmlElement& parent, const char* name, int id)
    {
        if (const std::optional<double> value = FloatOf(parent, name, 0.0))
            setControl(id, static_cast<float>(std::clamp(*value, -1.0e6, 1.0e6)), false);
    };
    const auto setInt = [this](const juce::XmlElement& parent, const char* name, int id)
    { setControl(id, IntOf(parent, name, INT_MIN, INT_MAX), false); };
    setFloat(control, "Gain", kGain);
    setFloat(control, "Balance", kBalance);
    if (const juce::XmlElement* fadeIn = control.getChildByName("FadeIn"))
    {
        setInt(*fadeIn, "FadeType", kFadeInType);
        setFloat(*fadeIn, "FadeTime", kFadeInTime);
    }
    if (const juce::XmlElement* fadeOut = control.getChildByName("FadeOut"))
    {
        setInt(*fadeOut, "FadeType", kFadeOutType);
        setFloat(*fadeOut, "FadeTime", kFadeOutTime);
    }
    setInt(control, "DCCut", kDcCut);
}

void TrackInfo::deserializeFileInfo(const juce::XmlElement& fileInfo, const juce::File& songlistFolder)
{
    m_song->DeleteAll();
    m_unresolvedPaths.clear();
    bool present = true;
    if (fileInfo.getChildByName("Section") != nullptr)
    {
        for (const juce::XmlElement* section : fileInfo.getChildWithTagNameIterator("Section"))
        {
            CPlaylistSection* newSection = m_song->CreateNewSection();
            for (const juce::XmlElement* track : section->getChildWithTagNameIterator("Track"))
                present = ReadTrackFiles(*track, *newSection->CreateNewTrack(), songlistFolder,
                                         m_unresolvedPaths) &&
                          present;
        }
    }
    else
    {
        present = ReadTrackFiles(fileInfo, *m_song->CreateNewSection()->CreateNewTrack(), songlistFolder,
                                 m_unresolvedPaths);
    }
    m_present = present;
    deserializePicture(fileInfo.getChildByName("Picture"), songlistFolder);
}

void TrackInfo::deserializePicture(const juce::XmlElement* picture, const juce::File& songlistFolder)
{
    juce::String path;
    if (picture != nullptr)
    {
        const PathTexts texts = PathTextsOf(*picture);
        juce::File chosen = RelativeFile(texts.relative, songlistFolder);
        const juce::File absolute = AbsoluteFile(texts.absolute);
        if (!IsThere(chosen) && (IsThere(absolute) || chosen == juce::File()))
            chosen = absolute;
        path = chosen != juce::File() ? chosen.getFullPathName() : juce::String();
        if (chosen != juce::File() && !chosen.existsAsFile())
            m_unresolvedPaths[path] = texts.absolute;
    }
    else if (m_song->GetNumSections() > 0 && m_song->GetSectionPtr(0)->GetNumTracks() > 0 &&
             m_song->GetSectionPtr(0)->GetTrackPtr(0)->GetNumFiles() > 0)
    {
        const juce::String first(m_song->GetSectionPtr(0)->GetTrackPtr(0)->GetFilePtr(0)->GetFilePath());
        const juce::String extension = juce::File::isAbsolutePath(first)
                                           ? juce::File(first).getFileExtension().substring(1).toLowerCase()
                                           : juce::String();
        if (extension.isNotEmpty() && getImageFileExtensions(true).contains(extension))
            path = first;
    }
    setAttachedPictureFilePath(path, false);
}

} // namespace Vextal
