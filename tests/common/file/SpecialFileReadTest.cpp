#include "common/disc/linux/CCdioDisc.h"
#include "common/file/CAiffFileRead.h"
#include "common/file/CAudioFileReadBase.h"
#include "common/file/CBinaryFile64.h"
#include "common/file/CImageFileReadBase.h"
#include "common/file/CJpegFileRead.h"
#include "common/file/CPngFileRead.h"
#include "common/file/CWavFileRead.h"
#include "common/file/VextalFileUtil.h"
#include "library/vextal_juce/common/CZJEXmlReader.h"
#include "library/zad/CZadPreferences.h"

#include "tests/common/disc/CdTestImages.h"
#include "tests/support/OpenWatchdog.h"
#include "tests/support/SpecialFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using rifftest::Wide;
using vxtest::ESpecialFile;

namespace
{
// One way a file from outside is read: the name the file is given (its
// extension picks the reader) and what reading it comes to, as a number to
// compare.
struct EntryPoint
{
    const char* what;
    const char* fileName;
    std::function<int(const fs::path&)> read;
};

int RawFileOpen(const fs::path& path)
{
    CBinaryFile64 file(false);
    return file.Open(Wide(path).c_str()) < 0 ? -1 : 0;
}

template <class Reader>
int ReaderOpen(const fs::path& path)
{
    Reader reader;
    return reader.OpenFile(Wide(path).c_str());
}

int SongFactory(const fs::path& path)
{
    std::unique_ptr<CAudioFileReadBase> reader(
        VextalFileUtil::CreateAudioFileReadObject(Wide(path).c_str(), true));
    return reader != nullptr ? 1 : 0;
}

int PictureFactory(const fs::path& path)
{
    std::unique_ptr<CImageFileReadBase> reader(VextalFileUtil::CreateImageFileReadObject(Wide(path).c_str()));
    return reader != nullptr ? 1 : 0;
}

int XmlFile(const fs::path& path)
{
    return CZJEXmlReader::ParseFile(juce::File(path.string())) != nullptr ? 1 : 0;
}

// A settings file opens as an empty store, as a missing one does.
int SettingsFile(const fs::path& path)
{
    CZadPreferences preferences;
    const bool opened = preferences.OpenFile(juce::File(path.string()));
    const bool empty = !preferences.ReadString("PlayerMode").has_value();
    preferences.Close();
    return (opened ? 1 : 0) + (empty ? 2 : 0);
}

// The part of a disc image named by path (its cue sheet, its data or the
// CD-Text file its cue sheet names) is the file under test; the rest of the
// image is written beside it.
int DiscImage(const fs::path& path)
{
    const fs::path folder = path.parent_path();
    cdtest::Image image;
    image.tracks = {{"AUDIO", 0}};
    image.sectors = 300;
    image.cdTextFile = "album.cdt";
    const fs::path written = folder / "written";
    fs::create_directory(written);
    cdtest::WriteImage(written, "album", image);
    for (const char* part : {"album.cue", "album.bin"})
    {
        if (path.filename() != part)
            fs::copy_file(written / part, folder / part);
    }
    fs::remove_all(written);
    CCdioDisc disc;
    const bool opened = disc.Open(Wide(folder / "album.cue").c_str());
    CCdTextBlocks text;
    const bool cdText = opened && disc.ReadCdText(text);
    return (opened ? 1 : 0) + (cdText ? 2 : 0);
}

std::vector<EntryPoint> EntryPoints()
{
    return {
        {"the raw file reader", "song.wav", RawFileOpen},
        {"the WAV reader", "song.wav", ReaderOpen<CWavFileRead>},
        {"the AIFF reader", "song.aif", ReaderOpen<CAiffFileRead>},
        {"the song reader factory, WAV", "song.wav", SongFactory},
        {"the song reader factory, AIFF", "song.aiff", SongFactory},
        {"the song reader factory, MP3", "song.mp3", SongFactory},
        {"the song reader factory, M4A", "song.m4a", SongFactory},
        {"the JPEG reader", "cover.jpg", ReaderOpen<CJpegFileRead>},
        {"the PNG reader", "cover.png", ReaderOpen<CPngFileRead>},
        {"the picture reader factory, JPEG", "cover.jpg", PictureFactory},
        {"the picture reader factory, MP3", "cover.mp3", PictureFactory},
        {"the picture reader factory, M4A", "cover.m4a", PictureFactory},
        {"the picture reader factory, AIFF", "cover.aif", PictureFactory},
        {"the XML reader", "songlist.vxsl", XmlFile},
        {"the settings", "Vextal.settings", SettingsFile},
        {"a disc image's cue sheet", "album.cue", DiscImage},
        {"a disc image's data", "album.bin", DiscImage},
        {"a disc image's CD-Text file", "album.cdt", DiscImage},
    };
}

// A FIFO without a writer (opening it to read would block for good), an
// endless device behind a link, or a folder, given where a file from outside
// is read, is refused at once and comes to what a missing file comes to.
TEST(SpecialFileRead, EveryReaderRefusesSpecialFilesLikeMissingOnes)
{
    for (const EntryPoint& entry : EntryPoints())
    {
        SCOPED_TRACE(entry.what);
        vxtest::TempFolder missingFolder("vxspecial");
        const int missing = entry.read(missingFolder / entry.fileName);
        for (const ESpecialFile kind : vxtest::AllSpecialFiles())
        {
            SCOPED_TRACE(vxtest::SpecialFileName(kind));
            vxtest::TempFolder folder("vxspecial");
            const fs::path path = folder / entry.fileName;
            ASSERT_TRUE(vxtest::MakeSpecialFile(kind, path));
            vxtest::OpenWatchdog watchdog({path.string()});
            EXPECT_EQ(entry.read(path), missing);
        }
    }
}
} // namespace
