#include "src/songlist/Output/DiscBurnSession.h"

#include "common/disc/CAudioCDTempFileCreator.h"
#include "common/disc/CAudioDiscBurnProxy.h"
#include "common/file/CPlaylistSong.h"
#include "library/util/CCheckUtil.h"
#include "library/vextal_juce/CZJEResource.h"
#include "src/songlist/CVXHost.h"
#include "src/songlist/TrackInfo.h"
#include "src/songlist/VXUtil.h"

#include <juce_events/juce_events.h>

#include <algorithm>

namespace Vextal
{
namespace
{
constexpr int kStampDigits = 14;
constexpr int64_t kFramesPerBlock = CAudioCDTempFileCreator::kFramesPerBlock;
constexpr int64_t kMinTrackBlocks = CAudioCDTempFileCreator::kMinTrackFrames / kFramesPerBlock;
constexpr int64_t kFirstTrackPreGapBlocks = 150;
// What a track file holds besides its samples (the AIFF header and the
// song information).
constexpr int64_t kTrackFileOverhead = 2048;

void AddIndex(juce::SparseSet<int>& set, int index)
{
    set.addRange({index, index + 1});
}

// Whether path names root or something below it.
bool IsOnRoot(const juce::String& path, const juce::File& root)
{
    if (!juce::File::isAbsolutePath(path))
        return false;
    const juce::File file(path);
    return file == root || file.isAChildOf(root);
}

// The song's length in frames at 44100 Hz, rounded up.
int64_t FramesAt44100(const TrackInfo& song)
{
    const auto rate = static_cast<int64_t>(song.getSampleRate());
    const int64_t samples = std::max<int64_t>(song.getNumSamples(), 0);
    if (rate <= 0)
        return 0;
    const int64_t rateOut = CAudioCDTempFileCreator::kSampleRate;
    return samples / rate * rateOut + ((samples % rate) * rateOut + rate - 1) / rate;
}

// CD frames of one track file: the audio rounded up to whole frames, the
// closing frame of silence, at least four seconds.
int64_t TrackBlocks(int64_t frames)
{
    return std::max((std::max<int64_t>(frames, 0) + kFramesPerBlock - 1) / kFramesPerBlock + 1,
                    kMinTrackBlocks);
}

bool IsStampedFolderName(const juce::String& name)
{
    const juce::String prefix = juce::String(".") + DiscBurnSession::kTempPrefix;
    if (!name.startsWith(prefix))
        return false;
    const juce::String stamp = name.substring(prefix.length());
    return stamp.length() == kStampDigits && stamp.containsOnly("0123456789");
}
} // namespace

DiscBurnSession::DiscBurnSession(CAudioDiscBurnProxy& burnerProxy, const CommonExportParameter& common,
                                 const DiscBurnParameter& disc, CVXHost* host, CommandManager* commands)
    : OutputExportSessionBase(common, host, commands), juce::Thread("DiscBurnSessionThread"),
      burner(burnerProxy), discParameter(disc)
{
}

DiscBurnSession::~DiscBurnSession()
{
    if (isThreadRunning())
        cancel();
    signalThreadShouldExit();
    notify();
    waitForThreadToExit(-1);
    deleteConverter();
}

uint32_t DiscBurnSession::getOutputSampleRate()
{
    return discParameter.getSampleRate();
}

bool DiscBurnSession::isSucceeded()
{
    return m_burnResult.load(std::memory_order_acquire) == 0;
}

juce::String DiscBurnSession::getLastErrorMessage()
{
    if (m_burnResult.load(std::memory_order_acquire) > 0)
    {
        const std::wstring message = burner->GetLastProcessErrorMessage();
        if (!message.empty())
            return juce::String(message.c_str());
    }
    return CZJEResource::GetText(kFailedKey);
}

void DiscBurnSession::waitForWorkToEnd()
{
    signalThreadShouldExit();
    notify();
    waitForThreadToExit(-1);
}

void DiscBurnSession::cancelOutputProcess()
{
    pendingBurnCancel.store(true, std::memory_order_release);
    if (isThreadRunning())
        burner->Cancel();
    notify();
}

bool DiscBurnSession::stopRequested() const
{
    return isCancelled() || threadShouldExit();
}

bool DiscBurnSession::fail(const char* key, const juce::SparseSet<int>& songs, const juce::StringArray& args)
{
    notifyError(key, songs, args);
    return false;
}

// ---------------------------------------------------------------------------
// Start

bool DiscBurnSession::start()
{
    VX_ASSERT_MESSAGE_THREAD();
    m_burnResult.store(-1, std::memory_order_release);
    if (!openDrive() || !checkSongs() || !openStaging())
        return false;
    cancelled.store(false, std::memory_order_release);
    pendingBurnCancel.store(false, std::memory_order_release);
    if (!makeConverter(converterParameters()))
        return failStaged(kErrorCannotCreateTempFileKey);
    if (!startThread())
    {
        deleteConverter();
        return failStaged(kErrorCannotCreateTempFileKey);
    }
    notifyStart();
    return true;
}

bool DiscBurnSession::openDrive()
{
    // Only a position in the burner's list is taken.
    const int driveIndex = discParameter.getDriveIndex();
    {
        const std::vector<CDDrive>& drives = burner->GetAvailableCDDrives();
        if (!juce::isPositiveAndBelow(driveIndex, static_cast<int>(drives.size())))
            return fail(kErrorCannotOpenDriveKey);
        drive = drives[static_cast<size_t>(driveIndex)];
    }
    if (discParameter.getDiscFormat() != DiscBurnParameter::kFormatAudioCD && !drive.canWriteDVDR)
        return fail(kErrorDriveCannotBurnDSDDiscKey);
    burner.SetClass(CAudioDiscBurnProxy::kClassAudioCD);
    if (burner->OpenDrive(static_cast<uint32_t>(driveIndex)) != 0)
        return fail(kErrorCannotOpenDriveKey);
    return true;
}

bool DiscBurnSession::checkSongs()
{
    if (!checkTargetSongs(kWarningFileNotFoundKey, kErrorNoSongToExportKey))
        return false;
    if (targetSongs.size() > kMaxTracks)
        return fail(kErrorTooManyTracksKey);
    sourceOnOutputDrive = false;
    if (!checkSourceOnOutputDrive(sourceOnOutputDrive))
        return false;
    const juce::String folderPath = commonParameter.getParameterText(CommonExportParameter::kTempDirectory);
    if (!juce::File::isAbsolutePath(folderPath) || !juce::File(folderPath).isDirectory())
        return fail(kErrorCannotCreateTempDirKey);
    return checkSizeToWrite(sizeToWrite);
}

bool DiscBurnSession::openStaging()
{
    tempDirectory = createTempDirectory(
        juce::File(commonParameter.getParameterText(CommonExportParameter::kTempDirectory)));
    if (!tempDirectory.isDirectory())
    {
        tempDirectory = juce::File();
        return fail(kErrorCannotCreateTempDirKey);
    }
    if (burner->OpenDisc(tempDirectory.getFullPathName().toWideCharPointer()) != 0)
        return failStaged(kErrorCannotCreateTempDirKey);
    if (burner->OpenAlbum(discParameter.getAlbumTitle().toWideCharPointer(),
                          discParameter.getAlbumArtist().toWideCharPointer(), getOutputSampleRate(),
                          discParameter.getBitDepth(), 2) != 0)
        return failStaged(kErrorCannotCreateTempDirKey);
    burner->SetWriteSpeed(discParameter.getWriteSpeed());
    return true;
}

bool DiscBurnSession::failStaged(const char* key)
{
    burner->CloseDisc();
    tempDirectory.deleteRecursively(false);
    tempDirectory = juce::File();
    return fail(key);
}

CVXConverterThread::ParameterSet DiscBurnSession::converterParameters()
{
    CVXConverterThread::ParameterSet params;
    params.songs = targetSongs;
    params.outputSampleRate = static_cast<int32_t>(getOutputSampleRate());
    params.gapBetweenSongs = discParameter.getGapBetweenSongs();
    params.secondGap = 0.0f;
    params.dsdOutbandFilterType = commonParameter.getParameterValue(CommonExportParameter::kDsdFilter);
    params.ditherType = commonParameter.getParameterValue(CommonExportParameter::kDitherType);
    params.discBurner = burner.GetInstance();
    params.quality = 0;
    return params;
}

bool DiscBurnSession::checkSourceOnOutputDrive(bool& onDrive)
{
    const wchar_t* rootText = burner->GetCurrentDriveRootPath();
    CVXHost* songs = host();
    if (rootText == nullptr || rootText[0] == 0 || songs == nullptr)
        return true;
    const juce::File root{juce::String(rootText)};
    juce::SparseSet<int> marked;
    for (int k = 0; k < targetSongs.size(); ++k)
    {
        const int index = targetSongs[k];
        const TrackInfo* song = songs->GetSong(index);
        if (song == nullptr)
            continue;
        juce::Array<CPlaylistFile*> files;
        song->getAllFiles(files);
        const bool fileOnDisc = std::any_of(files.begin(), files.end(),
                                            [&root](const CPlaylistFile* file) {
                                                return file != nullptr && IsOnRoot(file->GetFilePath(), root);
                                            });
        const juce::String& picture = song->getAttachedPictureFilePath();
        if (fileOnDisc || (picture.isNotEmpty() && IsOnRoot(picture, root)))
            AddIndex(marked, index);
    }
    if (marked.isEmpty())
        return true;
    onDrive = true;
    return shouldIgnoreWarning(kWarningNeedToReplaceDiscKey, marked, {});
}

int64_t DiscBurnSession::neededBytes(const std::vector<int64_t>& frames44100, float gapSeconds)
{
    const int64_t gapBlocks = CAudioCDTempFileCreator::SecondsToBlocks(gapSeconds);
    int64_t bytes = 0;
    for (size_t i = 0; i < frames44100.size(); ++i)
    {
        const int64_t preGap = i == 0 ? std::max(gapBlocks, kFirstTrackPreGapBlocks) : gapBlocks;
        bytes += (TrackBlocks(frames44100[i]) + preGap) * kAudioBlockBytes + kTrackFileOverhead;
    }
    return bytes;
}

bool DiscBurnSession::checkSizeToWrite(int64_t& size)
{
    CVXHost* songs = host();
    std::vector<int64_t> frames;
    juce::SparseSet<int> shortSongs;
    juce::SparseSet<int> overSize;
    const bool audioCD = discParameter.getDiscFormat() == DiscBurnParameter::kFormatAudioCD;
    for (int k = 0; songs != nullptr && k < targetSongs.size(); ++k)
    {
        const int index = targetSongs[k];
        TrackInfo* song = songs->GetSong(index);
        if (song == nullptr)
            continue;
        if (song->isNotYetLoaded())
            song->reload(true);
        frames.push_back(FramesAt44100(*song));
        int64_t songBytes = TrackBlocks(frames.back()) * kAudioBlockBytes + kTrackFileOverhead;
        if (!audioCD)
            songBytes += song->getAttachedPictureSize();
        if (song->getTotalTimeSecond() < kMinSongSeconds)
            AddIndex(shortSongs, index);
        if (songBytes > kMaxSongBytes)
            AddIndex(overSize, index);
    }
    size = neededBytes(frames, discParameter.getGapBetweenSongs()) + kSizeReserve;

    const juce::File folder(commonParameter.getParameterText(CommonExportParameter::kTempDirectory));
    if (size > folder.getBytesFreeOnVolume())
        return fail(kErrorDiskFullKey, {}, {descriptionOfSizeInBytes(size, false, 2)});
    if (!overSize.isEmpty())
        return fail(kErrorOver4GBKey, overSize);
    if (!shortSongs.isEmpty() && audioCD)
        return shouldIgnoreWarning(kWarningSilenceAppendedKey, shortSongs, {});
    return true;
}

juce::File DiscBurnSession::createTempDirectory(const juce::File& parent)
{
    const juce::String base =
        juce::String(".") + kTempPrefix + juce::Time::getCurrentTime().formatted("%Y%m%d%H%M%S");
    juce::String name = base;
    for (int n = 0; parent.getChildFile(name).exists(); ++n)
        name = base + "_" + juce::String(n);
    const juce::File folder = parent.getChildFile(name);
    return folder.createDirectory().wasOk() && folder.isDirectory() ? folder : juce::File();
}

int DiscBurnSession::deleteTempDirectories(const juce::String& folderPath)
{
    if (!juce::File::isAbsolutePath(folderPath) || !juce::File(folderPath).isDirectory())
        return 0;
    int removed = 0;
    for (const juce::File& child : juce::File(folderPath).findChildFiles(juce::File::findDirectories, false))
        if (IsStampedFolderName(child.getFileName()) && child.deleteRecursively(false))
            ++removed;
    return removed;
}

// ---------------------------------------------------------------------------
// The disc

bool DiscBurnSession::checkDiscReadyToWrite()
{
    discErrorArgs.clear();
    discErrorKey = nullptr;
    burner->ReloadDisc();
    const eDiscType type = burner->GetInsertedDiscType();
    m_checkedDiscType = type;
    if (type == kDiscTypeInTransition || type == kDiscTypeNone)
        discErrorKey = kErrorDiscNotFoundKey;
    else if (!burner->IsBlankDisc())
        discErrorKey = burner->IsErasableDisc() ? kErrorUsedErasableDiscKey : kErrorUsedDiscKey;
    else
    {
        const std::vector<eDiscType>& supported = burner->GetSupportedDiscType();
        bool writable = false;
        switch (type)
        {
        case kDiscTypeCDR:
            writable = drive.canWriteCDR;
            break;
        case kDiscTypeCDRW:
            writable = drive.canWriteCDRW;
            break;
        case kDiscTypeDVDR:
            writable = drive.canWriteDVDR;
            break;
        case kDiscTypeDVDRAM:
            writable = drive.canWriteDVDRAM;
            break;
        case kDiscTypeDVDRW:
            writable = drive.canWriteDVDRW;
            break;
        case kDiscTypeDVDPlusRW:
            writable = drive.canWriteDVDPlusRW;
            break;
        case kDiscTypeDVDPlusR:
            writable = drive.canWriteDVDPlusR;
            break;
        case kDiscTypeDVDPlusRDoubleLayer:
            writable = drive.canWriteDVDPlusRDoubleLayer;
            break;
        case kDiscTypeDVDRDualLayer:
            writable = drive.canWriteDVDRDualLayer;
            break;
        default:
            break;
        }
        if (std::find(supported.begin(), supported.end(), type) == supported.end())
            discErrorKey = discParameter.getDiscFormat() != DiscBurnParameter::kFormatAudioCD
                               ? kErrorUnsuitableForDSDDiscKey
                               : kErrorUnsuitableForAudioCDKey;
        else if (!writable)
            discErrorKey = kErrorDriveCannotBurnThisTypeOfDiscKey;
        else if (burner->GetFreeSizeOnDisc() <= sizeToWrite)
        {
            discErrorKey = kErrorOverDiscSizeKey;
            discErrorArgs.add(descriptionOfSizeInBytes(sizeToWrite, true, 2));
        }
    }
    return discErrorKey == nullptr;
}

bool DiscBurnSession::waitForBlankDisc()
{
    // The burner's notice of a changed medium wakes the thread to look
    // again, as a stop request does (cancelOutputProcess and the destructor
    // notify it). A notice that comes while the thread looks leaves the
    // thread's event set, so it is never lost. A back end that can miss a
    // change (the system may not tell it of a disc) is also looked at again
    // every kMediumRecheckMs; the others are waited on without a time-out.
    CAudioDiscBurnBase* disc = burner.GetInstance();
    const CDiscNotice::Scoped wake(disc->MediumChanged(), [this] { notify(); });
    const int waitMs = disc->CanMissMediumChanges() ? kMediumRecheckMs : -1;
    const char* lastKey = nullptr;
    while (!stopRequested() && !checkDiscReadyToWrite())
    {
        if (discErrorKey != lastKey)
        {
            notifyProgress(0.0,
                           discErrorKey == kErrorDiscNotFoundKey ? kStatusWaitForBlankDiscKey : discErrorKey,
                           discErrorArgs);
            lastKey = discErrorKey;
            // Only the disc the check saw is ejected, never one inserted
            // since.
            if (m_checkedDiscType != kDiscTypeInTransition && m_checkedDiscType != kDiscTypeNone)
            {
                // The unsuitable disc leaves; its message stays until another
                // medium comes.
                burner->EjectDisc();
                lastKey = kErrorDiscNotFoundKey;
            }
        }
        wait(waitMs);
    }
    return !stopRequested();
}

bool DiscBurnSession::createTempFiles()
{
    if (!startConverter())
        return false;
    while (!converterHasFinished())
    {
        notifyProgress(converterProgressPercent(), kStatusCreateTempKey, {});
        if (stopRequested())
        {
            const juce::ScopedLock lock(converterLock);
            if (converter != nullptr)
                converter->cancel();
        }
        wait(kPollMs);
    }
    const juce::SparseSet<int> failed = converterErrorSongs();
    if (!failed.isEmpty())
        return fail(kErrorCannotCreateTempFileKey, failed);
    return !stopRequested();
}

bool DiscBurnSession::burnDisc()
{
    // A start the burner or the drive refuses never runs: its result is the
    // refusal, read below.
    if (burner->StartBurnDisc() == 0)
    {
        while (burner->IsProcessing())
        {
            const char* key = nullptr;
            switch (burner->GetCurrentBurnStatus())
            {
            case kBurnStatusPreparing:
                key = kStatusOpenSessionKey;
                break;
            case kBurnStatusWriting:
                key = kStatusWriteTracksKey;
                break;
            case kBurnStatusClosing:
                key = kStatusCloseSessionKey;
                break;
            case kBurnStatusVerifying:
                key = kStatusVerifyKey;
                break;
            default:
                break;
            }
            if (stopRequested())
                key = kStatusCancelKey;
            if (pendingBurnCancel.exchange(false, std::memory_order_acq_rel) || threadShouldExit())
                burner->Cancel();
            notifyProgress(burner->GetBurnProgressPercent(), key, {});
            wait(kPollMs);
        }
    }
    m_burnResult.store(burner->GetLastProcessErrorCode() == 0 ? 0 : 1, std::memory_order_release);
    if (burner->GetInsertedDiscType() != kDiscTypeNone)
        burner->EjectDisc();
    return !stopRequested();
}

// ---------------------------------------------------------------------------
// The run

void DiscBurnSession::run()
{
    bool aborted = true;
    const auto work = [this, &aborted]
    {
        if (!sourceOnOutputDrive && !waitForBlankDisc())
            return;
        if (!calcNormalizeGains())
            return;
        notifySongProcessStart();
        if (!createTempFiles())
            return;
        {
            // The host reloads its current song, which the rendering left.
            const juce::MessageManagerLock lock(this);
            CVXHost* songs = host();
            if (lock.lockWasGained() && songs != nullptr)
                songs->SetCurPlayTrack(songs->GetCurPlayTrack(0), true, false);
        }
        if (sourceOnOutputDrive)
            burner->EjectDisc();
        for (;;)
        {
            if (!waitForBlankDisc() || !burnDisc())
                return;
            if (!shouldRepeat())
            {
                aborted = false;
                return;
            }
        }
    };
    work();
    closeStaging();
    notifyEnd(aborted);
    deleteConverter();
}

void DiscBurnSession::closeStaging()
{
    burner->CloseDisc();
    burner->CloseDrive();
    if (tempDirectory != juce::File())
        tempDirectory.deleteRecursively(false);
}
} // namespace Vextal
