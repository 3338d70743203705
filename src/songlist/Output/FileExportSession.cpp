#include "src/songlist/Output/FileExportSession.h"

#include "common/dsp/CAudioFileConverterBase.h"
#include "common/file/CPlaylistSong.h"
#include "common/file/VextalFileUtil.h"
#include "library/util/CCheckUtil.h"
#include "src/songlist/CVXHost.h"
#include "src/songlist/SafeFileName.h"
#include "src/songlist/TrackInfo.h"
#include "src/songlist/VXUtil.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <optional>
#include <set>
#include <utility>
#include <vector>

namespace Vextal
{
namespace
{
// Formats from this value up (DSDIFF, DSF, WSD) can hold files over 4 GB.
constexpr int kFirstFormatOver4GB = 10;

void AddIndex(juce::SparseSet<int>& set, int index)
{
    set.addRange({index, index + 1});
}

// The files the songs of the songlist read: by path, and by device and
// inode for those that exist (the same file through a link).
class SonglistFiles
{
public:
    explicit SonglistFiles(const CVXHost& host)
    {
        for (int s = 0; s < host.GetNumSongs(); ++s)
        {
            const TrackInfo* song = host.GetSong(s);
            if (song == nullptr)
                continue;
            juce::Array<CPlaylistFile*> files;
            song->getAllFiles(files);
            for (const CPlaylistFile* f : files)
            {
                const juce::String path(f->GetFilePath());
                m_paths.insert(path);
                if (const auto id = IdOf(path))
                    m_ids.insert(*id);
            }
        }
    }

    bool Contains(const juce::File& file) const
    {
        if (m_paths.count(file.getFullPathName()) != 0)
            return true;
        const auto id = IdOf(file.getFullPathName());
        return id && m_ids.count(*id) != 0;
    }

private:
    using FileId = std::pair<dev_t, ino_t>;

    static std::optional<FileId> IdOf(const juce::String& path)
    {
        struct stat info = {};
        if (::stat(path.toRawUTF8(), &info) != 0)
            return std::nullopt;
        return FileId{info.st_dev, info.st_ino};
    }

    std::set<juce::String> m_paths;
    std::set<FileId> m_ids;
};
} // namespace

FileExportSession::FileExportSession(const CommonExportParameter& common, const FileExportParameter& file,
                                     CVXHost* host, CommandManager* commands)
    : OutputExportSessionBase(common, host, commands), juce::Thread("File Export Session"),
      fileParameter(file)
{
}

FileExportSession::~FileExportSession()
{
    if (isThreadRunning())
        cancel();
    waitForWorkToEnd();
}

void FileExportSession::waitForWorkToEnd()
{
    // Also abandons a wait of the thread for the message-manager lock,
    // which the message thread, waiting here, could not give.
    signalThreadShouldExit();
    waitForThreadToExit(-1);
}

int64_t FileExportSession::freeBytesOfVolume(const juce::File& folder)
{
    struct statvfs info = {};
    if (::statvfs(folder.getFullPathName().toRawUTF8(), &info) != 0)
        return -1;
    return static_cast<int64_t>(info.f_bavail) * static_cast<int64_t>(info.f_frsize);
}

// ---------------------------------------------------------------------------
// Start and checks

bool FileExportSession::start()
{
    VX_ASSERT_MESSAGE_THREAD();
    if (!checkDestination() || !checkTargetSongs(kWarningFileNotFoundKey, kErrorNoSongToExportKey) ||
        !checkFileNames() || !checkOverwrite() || !checkSizeToWrite())
        return false;
    if (!makeConverter(ConverterParameters()))
    {
        notifyError(kErrorCannotOpenOutputFileKey, targetSongs, {});
        return false;
    }
    notifyStart();
    startThread();
    return true;
}

juce::File FileExportSession::OutputFolder() const
{
    const juce::String path = fileParameter.getParameterText(FileExportParameter::kOutputPath);
    return juce::File::isAbsolutePath(path) ? juce::File(path) : juce::File();
}

juce::String FileExportSession::Extension() const
{
    return juce::String(
        VextalFileUtil::FormatUniqueIDToFileExtension(fileParameter.getFormatUniqueID().toRawUTF8()).c_str());
}

juce::StringArray FileExportSession::FileNamesOf(int songIndex) const
{
    const TrackInfo* song = host()->GetSong(songIndex);
    if (song == nullptr)
        return {};
    return exportFileNamesOf(song->getText(TrackInfo::kSongName), song->getNumChannels(), Extension(),
                             fileParameter.getParameterValue(FileExportParameter::kType));
}

bool FileExportSession::checkDestination()
{
    if (OutputFolder().isDirectory())
        return true;
    notifyError(kErrorDestinationNotFoundKey, {}, {});
    return false;
}

bool FileExportSession::checkFileNames()
{
    std::vector<juce::StringArray> names;
    for (int i = 0; i < targetSongs.size(); ++i)
        names.push_back(FileNamesOf(targetSongs[i]));
    const juce::SparseSet<int> colliding = findCollidingFileNames(names);
    if (colliding.isEmpty())
        return true;
    juce::SparseSet<int> songs;
    for (int i = 0; i < colliding.size(); ++i)
        AddIndex(songs, targetSongs[colliding[i]]);
    notifyError(kErrorFileNameCollisionKey, songs, {});
    return false;
}

bool FileExportSession::checkOverwrite()
{
    const juce::File folder = OutputFolder();
    juce::SparseSet<int> exists;
    juce::SparseSet<int> inSonglist;
    const SonglistFiles songlistFiles(*host());
    for (int i = 0; i < targetSongs.size(); ++i)
    {
        const int index = targetSongs[i];
        for (const juce::String& name : FileNamesOf(index))
        {
            const juce::File path = folder.getChildFile(name);
            // Safe names never leave the folder; should one, nothing is written.
            if (!VX_CHECK(path.getParentDirectory() == folder) || songlistFiles.Contains(path))
                AddIndex(inSonglist, index);
            else if (path.exists())
                AddIndex(exists, index);
        }
    }
    if (!inSonglist.isEmpty())
    {
        notifyError(kErrorAlreadyExistsInSonglistKey, inSonglist, {});
        return false;
    }
    return exists.isEmpty() || shouldIgnoreWarning(kWarningAlreadyExistsKey, exists, {});
}

bool FileExportSession::checkSizeToWrite()
{
    const int format = fileParameter.getParameterValue(FileExportParameter::kFormat);
    const int rate = static_cast<int>(fileParameter.getSampleRate());
    const int bits = fileParameter.getBitDepth();
    const int outCh = std::max(fileParameter.getNumChannels(), 1);
    const int quality = fileParameter.getQualityOption();
    const bool picture = VextalFileUtil::CanEmbedPicture(fileParameter.getFormatUniqueID().toRawUTF8());
    int64_t total = 0;
    juce::SparseSet<int> over4GB;
    for (int i = 0; i < targetSongs.size(); ++i)
    {
        const int index = targetSongs[i];
        TrackInfo* song = host()->GetSong(index);
        if (song == nullptr)
            continue;
        if (song->isNotYetLoaded())
            song->reload(true);
        const int maxCh = std::max(outCh, song->getNumChannels());
        const int64_t files = maxCh > outCh ? (maxCh + outCh - 1) / outCh : 1;
        const int inRate = static_cast<int>(song->getSampleRate());
        const int64_t fileSize = CAudioFileConverterBase::GetExportDataSize(song->getNumSamples(), inRate,
                                                                            rate, bits, outCh, quality);
        int64_t songSize = CAudioFileConverterBase::GetExportDataSize(song->getNumSamples(), inRate, rate,
                                                                      bits, maxCh, quality);
        if (files >= 2 && quality > 0)
            songSize *= files;
        const int64_t pictureSize = picture ? song->getAttachedPictureSize() : 0;
        total += songSize + pictureSize * files;
        if (fileSize + pictureSize > kMaxPcmFileBytes)
            AddIndex(over4GB, index);
    }
    const int64_t needed = total + kFreeSpaceMargin;
    const int64_t available = freeBytesAt(OutputFolder());
    if (available >= 0 && needed > available)
    {
        notifyError(kErrorDiskFullKey, {}, juce::StringArray(descriptionOfSizeInBytes(needed, false, 2)));
        return false;
    }
    if (over4GB.isEmpty())
        return true;
    if (format >= kFirstFormatOver4GB)
        return shouldIgnoreWarning(kWarningOver4GBKey, over4GB, {});
    notifyError(kErrorPCMOver4GBKey, over4GB, {});
    return false;
}

CVXConverterThread::ParameterSet FileExportSession::ConverterParameters() const
{
    CVXConverterThread::ParameterSet params;
    params.songs = targetSongs;
    params.outputSampleRate = static_cast<int32_t>(fileParameter.getSampleRate());
    params.gapBetweenSongs = 0.0f;
    params.secondGap = 0.0f;
    params.discBurner = nullptr;
    params.outputFolder = OutputFolder();
    params.formatId = fileParameter.getFormatUniqueID();
    params.channelMode = fileParameter.getParameterValue(FileExportParameter::kType);
    params.bitsPerSample = fileParameter.getBitDepth();
    params.dsdOutbandFilterType = commonParameter.getParameterValue(CommonExportParameter::kDsdFilter);
    params.ditherType = commonParameter.getParameterValue(CommonExportParameter::kDitherType);
    params.quality = fileParameter.getQualityOption();
    return params;
}

// ---------------------------------------------------------------------------
// The session's thread

void FileExportSession::run()
{
    const bool completed = calcNormalizeGains() && ConvertSongs();
    notifyEnd(!completed);
    deleteConverter();
}

bool FileExportSession::ConvertSongs()
{
    notifySongProcessStart();
    // Not started when a cancel came first.
    if (!startConverter())
        return false;
    while (!converterHasFinished())
    {
        notifyProgress(converterProgressPercent(), nullptr, {});
        wait(kProgressIntervalMs);
    }
    const juce::SparseSet<int> failed = converterErrorSongs();
    if (!failed.isEmpty())
    {
        notifyError(kErrorCannotOpenOutputFileKey, failed, {});
        return false;
    }
    return !isCancelled();
}
} // namespace Vextal
