#include "src/jucer_components/SongPropertyViewer.h"

#include "common/file/CAudioFileReadBase.h"
#include "common/file/CPlaylistSong.h"
#include "common/file/VextalFileUtil.h"
#include "library/vextal_juce/CZJEResource.h"
#include "src/CVXLookAndFeel.h"
#include "src/songlist/CVXHost.h"
#include "src/songlist/TrackInfo.h"
#include "src/songlist/VXUtil.h"

#include <cmath>
#include <vector>

namespace Vextal
{
namespace
{
const juce::Colour kLineColour(0x2BADD8E6);
constexpr int kLineStep = 3;

std::unique_ptr<SongTreeViewItem> Item(const juce::String& text, bool container, bool missing,
                                       const juce::Font& font)
{
    return std::make_unique<SongTreeViewItem>(text, container, missing, font);
}

// The file's length in samples; a file whose end is not known yet is opened
// and its end stored in the reference (of the caller's copy). 0 when it
// cannot be opened.
int64_t MeasureFile(CPlaylistFile& file)
{
    if (file.GetAbsStopSample() < 0)
    {
        std::unique_ptr<CAudioFileReadBase> reader(
            VextalFileUtil::CreateAudioFileReadObject(file.GetFilePath(), false));
        if (reader == nullptr)
            return 0;
        file.SetFile(file.GetFilePath(), file.GetAbsStartSample(), reader->GetAbsStopSample(),
                     file.GetMediaUniqueID());
    }
    return juce::jmax<int64_t>(0, file.GetAbsStopSample() - file.GetAbsStartSample());
}

juce::String TimeOf(int64_t samples, double rate)
{
    const double seconds = rate > 0.0 && std::isfinite(rate) ? static_cast<double>(samples) / rate : 0.0;
    return convertTimeToString(seconds, 0);
}

using Lines = std::vector<std::unique_ptr<SongTreeViewItem>>;

void AddAll(Lines& lines, juce::TreeViewItem& parent)
{
    for (auto& line : lines)
        parent.addSubItem(line.release());
}

// Makes a track's file lines; returns the track's length.
int64_t AddTrack(CPlaylistTrack& track, Lines& lines, const juce::Font& font)
{
    int64_t length = 0;
    for (int f = 0; f < track.GetNumFiles(); ++f)
    {
        CPlaylistFile& file = *track.GetFilePtr(static_cast<unsigned>(f));
        const juce::String path(file.GetFilePath());
        lines.push_back(Item(path, false, !juce::File(path).exists(), font));
        length += MeasureFile(file);
    }
    return length;
}

// Adds a section's line, with its tracks (when more than one) and files
// beneath, to song; returns the section's length.
int64_t AddSection(CPlaylistSection& section, int64_t start, double rate, juce::TreeViewItem& song,
                   const juce::Font& font)
{
    Lines children;
    int64_t length = 0;
    const int tracks = section.GetNumTracks();
    for (int t = 0; t < tracks; ++t)
    {
        CPlaylistTrack& track = *section.GetTrackPtr(static_cast<unsigned>(t));
        if (tracks < 2)
        {
            length = juce::jmax(length, AddTrack(track, children, font));
            continue;
        }
        Lines files;
        length = juce::jmax(length, AddTrack(track, files, font));
        auto trackItem = Item(t == 0 ? "L" : "R", true, false, font);
        AddAll(files, *trackItem);
        children.push_back(std::move(trackItem));
    }
    auto item = Item(TimeOf(start, rate) + " - " + TimeOf(start + length, rate), true, false, font);
    AddAll(children, *item);
    song.addSubItem(item.release());
    return length;
}
} // namespace

SongPropertyViewer::SongPropertyViewer(const CVXHost& host)
    : m_font(CVXLookAndFeel::GetFontOrDefault(CVXLookAndFeel::kFontLocalText, kItemFontHeight)), m_ok("OK"),
      m_root(Item({}, true, false, m_font))
{
    const juce::SparseSet<int>& selection = host.GetSelection();
    for (int i = 0; i < selection.size(); ++i)
    {
        if (const TrackInfo* song = host.GetSong(selection[i]))
            m_root->addSubItem(createTreeFromTrackInfo(*song, m_font).release());
    }
    m_tree.setRootItem(m_root.get());
    m_ok.addListener(this);
    addAndMakeVisible(m_ok);
    addAndMakeVisible(m_tree);
    setSize(kWidth, kHeight);
}

SongPropertyViewer::~SongPropertyViewer()
{
    m_tree.setRootItem(nullptr);
}

std::unique_ptr<SongTreeViewItem> SongPropertyViewer::createTreeFromTrackInfo(const TrackInfo& song,
                                                                              const juce::Font& font)
{
    auto item = Item(song.getText(TrackInfo::kSongName), true, false, font);
    CPlaylistSong model;
    if (song.getSong() != nullptr)
        model.CopyAll(song.getSong());
    int64_t start = 0;
    for (int s = 0; s < model.GetNumSections(); ++s)
        start += AddSection(*model.GetSectionPtr(static_cast<unsigned>(s)), start, song.getSampleRate(),
                            *item, font);
    const juce::String& picture = song.getAttachedPictureFilePath();
    if (picture.isNotEmpty())
    {
        auto caption = Item(CZJEResource::GetText("SongTree_Picture"), true, false, font);
        caption->addSubItem(Item(picture, false, !juce::File(picture).existsAsFile(), font).release());
        item->addSubItem(caption.release());
    }
    return item;
}

void SongPropertyViewer::paint(juce::Graphics& g)
{
    const juce::Colour background = getLookAndFeel().findColour(juce::PopupMenu::backgroundColourId);
    g.fillAll(background);
    g.setColour(background.overlaidWith(kLineColour));
    for (int y = 0; y < getHeight(); y += kLineStep)
        g.drawHorizontalLine(y, 0.0f, static_cast<float>(getWidth()));
}

void SongPropertyViewer::resized()
{
    m_ok.setBounds(getWidth() / 2 - 60, getHeight() - 32, 120, 24);
    m_tree.setBounds(8, 8, getWidth() - 16, getHeight() - 48);
}

void SongPropertyViewer::buttonClicked(juce::Button* button)
{
    if (button != &m_ok)
        return;
    if (auto* dialog = findParentComponentOfClass<juce::DialogWindow>())
        dialog->exitModalState(0);
}
} // namespace Vextal
