#include "src/songlist/CVXConverterThread.h"

#include "common/disc/CAudioDiscBurnBase.h"
#include "common/dsp/CAudioFileConverterPcmOutput.h"
#include "common/file/CChannelGroupWrite.h"
#include "common/file/CSongRead.h"
#include "common/file/CSongWrite.h"
#include "common/file/VextalFileUtil.h"
#include "library/util/CCheckUtil.h"
#include "src/songlist/CVXHost.h"
#include "src/songlist/ConverterSongOutput.h"
#include "src/songlist/SafeFileName.h"
#include "src/songlist/TrackInfo.h"

#include <juce_events/juce_events.h>

#include <algorithm>
#include <string>

using Vextal::ConverterSongOutput;
using Vextal::TrackInfo;

namespace
{
// The level the converter shows before any song.
constexpr float kSilentLeveldB = -200.0f;

// The members of the set, ascending.
std::vector<int> IndicesOf(const juce::SparseSet<int>& set)
{
    std::vector<int> indices;
    for (int r = 0; r < set.getNumRanges(); ++r)
    {
        const juce::Range<int> range = set.getRange(r);
        for (int i = range.getStart(); i < range.getEnd(); ++i)
            indices.push_back(i);
    }
    return indices;
}

juce::String ExtensionOf(const juce::String& formatId)
{
    return juce::String(VextalFileUtil::FormatUniqueIDToFileExtension(formatId.toRawUTF8()).c_str());
}

// The files a song writer of the channel mode makes for the song.
juce::StringArray FileNamesOf(const TrackInfo* song, const juce::String& extension, int channelMode)
{
    if (song == nullptr)
        return {};
    return Vextal::exportFileNamesOf(song->getText(TrackInfo::kSongName), song->getNumChannels(), extension,
                                     channelMode);
}

void AddSeconds(std::atomic<double>& total, double seconds)
{
    total.store(total.load(std::memory_order_relaxed) + seconds, std::memory_order_release);
}
} // namespace

// ---------------------------------------------------------------------------
// Construction and destruction

CVXConverterThread::CVXConverterThread(const ParameterSet& params)
    : CVXConverterThread(params, CVXHost::GetInstance())
{
}

CVXConverterThread::CVXConverterThread(const ParameterSet& params, CVXHost* host)
    : juce::Thread("Converter"), m_params(params), m_host(host), m_songReader(std::make_unique<CSongRead>())
{
    if (params.outputSampleRate < kFirstRateWithoutConverter)
    {
        m_converter = std::make_unique<CAudioFileConverterPcmOutput>(2);
        m_converter->SetDsdOutbandFilterType(params.dsdOutbandFilterType);
        m_converter->SetOutputProcessType(params.ditherType);
    }
}

CVXConverterThread::~CVXConverterThread()
{
    // An owner may delete a thread that has not finished (a session that
    // ends early): it is cancelled and waited for, never killed.
    stopAndWait();
}

void CVXConverterThread::stopAndWait()
{
    if (!isThreadRunning())
        return;
    cancel();
    // Also abandons a wait for the message-manager lock.
    signalThreadShouldExit();
    if (!waitForThreadToExit(kStopWaitMs))
    {
        CCheckUtil::ReportFailure(__FILE__, __LINE__);
        waitForThreadToExit(-1);
    }
}

// ---------------------------------------------------------------------------
// Controls and queries

void CVXConverterThread::getLeveldB(float* levels, int* clipState) const
{
    if (m_converter != nullptr)
    {
        m_converter->GetPeakLeveldB(levels, clipState);
        return;
    }
    if (levels != nullptr)
        levels[0] = levels[1] = kSilentLeveldB;
    if (clipState != nullptr)
        *clipState = 0;
}

void CVXConverterThread::getCurTime(int* hours, int* minutes, float* seconds) const
{
    if (m_converter != nullptr)
    {
        m_converter->GetCurTime(hours, minutes, seconds);
        return;
    }
    if (hours != nullptr)
        *hours = 0;
    if (minutes != nullptr)
        *minutes = 0;
    if (seconds != nullptr)
        *seconds = 0.0f;
}

double CVXConverterThread::getCurPositionPercent() const
{
    return m_converter != nullptr ? m_converter->GetCurPositionPercent() : 0.0;
}

double CVXConverterThread::getProgressPercent() const
{
    const double total = m_totalSeconds.load(std::memory_order_acquire);
    if (total <= 0.0)
        return 0.0;
    int hours = 0;
    int minutes = 0;
    float seconds = 0.0f;
    getCurTime(&hours, &minutes, &seconds);
    const double done =
        m_doneSeconds.load(std::memory_order_acquire) + (hours * 60.0 + minutes) * 60.0 + seconds;
    // The song's time and the done seconds are read one after the other.
    return std::clamp(done / total * 100.0, 0.0, 100.0);
}

bool CVXConverterThread::isDirectProcessMode() const
{
    return m_converter != nullptr && m_converter->IsDirectProcessMode();
}

void CVXConverterThread::pause()
{
    if (m_converter != nullptr)
        m_converter->Pause();
}

void CVXConverterThread::resume()
{
    if (m_converter != nullptr)
        m_converter->Resume();
}

void CVXConverterThread::cancel()
{
    if (m_converter != nullptr)
        m_converter->Cancel();
    m_cancelled.store(true, std::memory_order_release);
}

juce::SparseSet<int> CVXConverterThread::getErrorSongs() const
{
    const std::lock_guard<std::mutex> lock(m_failedLock);
    return m_failed;
}

// ---------------------------------------------------------------------------
// The run

void CVXConverterThread::run()
{
    Guarded([this] { RenderSongs(); });
    Guarded([this] { EndRun(); });
    Guarded([this] { SetHostSong(-1); });
    m_finished.store(true, std::memory_order_release);
    if (onFinished != nullptr)
        onFinished();
}

template <typename Step>
void CVXConverterThread::Guarded(Step&& step)
{
    try
    {
        step();
    }
    catch (...)
    {
        CCheckUtil::ReportFailure(__FILE__, __LINE__);
        Abandon();
    }
}

void CVXConverterThread::Abandon()
{
    // Nothing more is written: what is still open is incomplete.
    if (m_converter != nullptr)
        m_converter->Cancel();
    if (m_songInProgress >= 0)
        FailSong(m_songInProgress);
    m_stopped.store(true, std::memory_order_release);
    DiscardAllOutputs();
}

bool CVXConverterThread::ShouldStop() const
{
    return threadShouldExit() || m_cancelled.load(std::memory_order_acquire) ||
           m_stopped.load(std::memory_order_acquire);
}

bool CVXConverterThread::GaplessAllowed() const
{
    return m_params.gapBetweenSongs == 0.0f && m_params.secondGap == 0.0f;
}

void CVXConverterThread::RenderSongs()
{
    if (!Prepare())
        return;
    for (size_t i = 0; i < m_targets.size() && !ShouldStop(); ++i)
        convertSong(static_cast<int>(i));
}

bool CVXConverterThread::Prepare()
{
    const std::vector<int> indices = IndicesOf(m_params.songs);
    const juce::MessageManagerLock lock(this);
    if (!lock.lockWasGained())
        return false;
    double total = 0.0;
    for (int index : indices)
    {
        const TrackInfo* song = m_host != nullptr ? m_host->GetSong(index) : nullptr;
        const double seconds = song != nullptr ? song->getTotalTimeSecond() : 0.0;
        m_targets.push_back({index, seconds});
        total += seconds;
    }
    m_doneSeconds.store(0.0, std::memory_order_release);
    m_totalSeconds.store(total, std::memory_order_release);
    if (m_targets.empty())
        return false;
    if (!VX_CHECK(m_host != nullptr) || m_converter == nullptr)
        return FailSong(m_targets.front().index);
    return m_params.discBurner != nullptr || CheckFileNames();
}

bool CVXConverterThread::CheckFileNames()
{
    const juce::String extension = ExtensionOf(m_params.formatId);
    std::vector<juce::StringArray> names;
    for (size_t i = 0; i < m_targets.size(); ++i)
        names.push_back(FileNamesOf(TargetSong(i), extension, m_params.channelMode));
    const juce::SparseSet<int> colliding = Vextal::findCollidingFileNames(names);
    for (int position : IndicesOf(colliding))
        FailSong(m_targets[static_cast<size_t>(position)].index);
    return colliding.isEmpty();
}

void CVXConverterThread::convertSong(int i)
{
    const size_t target = static_cast<size_t>(i);
    m_songInProgress = m_targets[target].index;
    if (BindSong(target))
        RenderBoundSong(target);
    m_songInProgress = -1;
}

TrackInfo* CVXConverterThread::TargetSong(size_t i) const
{
    return i < m_targets.size() ? m_host->GetSong(m_targets[i].index) : nullptr;
}

bool CVXConverterThread::TakeSnapshot(size_t i, SongSnapshot& snapshot)
{
    const int index = m_targets[i].index;
    const juce::MessageManagerLock lock(this);
    if (!lock.lockWasGained())
        return false;
    const TrackInfo* song = TargetSong(i);
    if (song == nullptr || !song->isPresent())
        return FailSong(index);
    // A copy of its own: the record may be edited or deleted meanwhile.
    snapshot.song = std::make_unique<TrackInfo>(*song);
    snapshot.song->setNormalize(song->isNormalize());
    snapshot.song->setNormalizeOffset(song->getNormalizeOffset());
    const TrackInfo* previous = i > 0 ? TargetSong(i - 1) : nullptr;
    const TrackInfo* next = TargetSong(i + 1);
    snapshot.connectsToNext = song->canConnectTo(next);
    snapshot.connectedFromPrevious = previous != nullptr && previous->canConnectTo(song);
    snapshot.isLast = next == nullptr;
    return true;
}

bool CVXConverterThread::BindSong(size_t i)
{
    const int index = m_targets[i].index;
    SongSnapshot snapshot;
    if (!TakeSnapshot(i, snapshot))
        return false;
    // The song's files and the output are opened without the message-manager
    // lock: a compressed song is scanned while it opens.
    const TrackInfo& song = *snapshot.song;
    std::unique_ptr<ConverterSongOutput> output = MakeOutput(snapshot, i);
    if (output == nullptr)
        return FailSong(index);
    const bool opened = m_songReader->OpenSong(song.getSong(), false);
    // The reader's earlier song goes only once the reader has let it go.
    m_boundSong = std::move(snapshot.song);
    if (!opened)
    {
        output->Discard();
        return FailSong(index);
    }
    m_boundSong->copyMetaDataTo(m_songReader.get());
    m_boundSong->copyControlsTo(m_converter->GetDynamicControlParamsPtr(), true);
    const bool connectsToNext = GaplessAllowed() && snapshot.connectsToNext && output->Sink().CanDoGapless();
    m_owedAtBind = OwedOutputs();
    // What came of the binding (and of finishing a chain it breaks), the
    // song's Process tells.
    m_converter->SetAudioFiles(m_songReader.get(), &output->Sink(), connectsToNext);
    m_retired.clear();
    CountDoneSeconds();
    m_boundOutput = output.get();
    m_outputs.push_back(std::move(output));
    SetHostSong(index);
    return true;
}

std::unique_ptr<ConverterSongOutput> CVXConverterThread::MakeOutput(const SongSnapshot& snapshot, size_t i)
{
    if (m_params.discBurner != nullptr)
        return MakeBurnerTrack(snapshot, i);
    bool opened = false;
    std::unique_ptr<CSongWrite> writer = createOutput(*snapshot.song, opened);
    if (writer == nullptr)
        return nullptr;
    if (!opened)
    {
        writer->RemoveFile();
        return nullptr;
    }
    return std::make_unique<Vextal::ConverterFileOutput>(m_targets[i].index, std::move(writer));
}

std::unique_ptr<ConverterSongOutput> CVXConverterThread::MakeBurnerTrack(const SongSnapshot& snapshot,
                                                                         size_t i)
{
    CAudioDiscBurnBase& burner = *m_params.discBurner;
    Vextal::ConverterBurnerTrack::Track track;
    track.title = snapshot.song->getText(TrackInfo::kTitle);
    track.connectedFromPrevious = GaplessAllowed() && snapshot.connectedFromPrevious && burner.CanDoGapless();
    track.isLast = snapshot.isLast;
    track.gapSeconds = m_params.gapBetweenSongs;
    track.secondGapSeconds = m_params.secondGap;
    return std::make_unique<Vextal::ConverterBurnerTrack>(m_targets[i].index, burner, track);
}

std::unique_ptr<CSongWrite> CVXConverterThread::createOutput(const TrackInfo& song, bool& opened)
{
    opened = false;
    const std::string formatId = m_params.formatId.toStdString();
    const uint32_t rate = static_cast<uint32_t>(m_params.outputSampleRate);
    const uint16_t bits = static_cast<uint16_t>(m_params.bitsPerSample);
    std::unique_ptr<CSongWrite> writer;
    if (m_params.channelMode == 0)
        writer = std::make_unique<CSongWrite>(
            formatId.c_str(), rate, bits, static_cast<uint16_t>(song.getNumChannels()), 1, m_params.quality);
    else if (VX_CHECK(m_params.channelMode == 1))
        writer = std::make_unique<CSongWrite>(formatId.c_str(), rate, bits, 2, 2, m_params.quality);
    else
        return nullptr;
    if (m_params.outputFolder == juce::File())
        return writer;
    const juce::String extension = ExtensionOf(m_params.formatId);
    const juce::String base = m_params.outputFolder.getFullPathName() + "/" +
                              Vextal::makeExportFileBaseName(song.getText(TrackInfo::kSongName), extension);
    opened = writer->OpenAudioFile(base.toWideCharPointer(), extension.toWideCharPointer());
    return writer;
}

void CVXConverterThread::RenderBoundSong(size_t target)
{
    const int result =
        m_cancelled.load(std::memory_order_acquire) ? kConvertCancelled : m_converter->Process();
    ActOnResult(result, target);
}

void CVXConverterThread::ActOnResult(int result, size_t target)
{
    const int index = m_targets[target].index;
    switch (result)
    {
    case kConvertDone:
        m_secondsToCount = m_targets[target].seconds;
        CompleteOutputs(false);
        return;
    case kConvertCancelled:
        if (m_cancelled.load(std::memory_order_acquire))
        {
            // Every output still open is incomplete.
            DiscardAllOutputs();
            return;
        }
        // A stop that nobody asked for fails the song.
        break;
    case kConvertPreviousSongFailed:
        // The last frames of earlier songs could not be written; this song
        // stops with them.
        FailOutputs(m_owedAtBind);
        DiscardOutput(m_boundOutput);
        m_stopped.store(true, std::memory_order_release);
        return;
    default:
        break;
    }
    FailSong(index);
    DiscardOutput(m_boundOutput);
}

void CVXConverterThread::EndRun()
{
    if (m_converter != nullptr)
    {
        // Songs still owed their last frames get their tail now.
        const std::vector<ConverterSongOutput*> owed = OwedOutputs();
        const int result = m_converter->EjectAudioFiles();
        if (result == kConvertCancelled)
            DiscardOutputs(owed);
        else if (result != kConvertDone)
            FailOutputs(owed);
    }
    CompleteOutputs(true);
    m_boundOutput = nullptr;
    m_retired.clear();
    CountDoneSeconds();
    m_songReader->EjectAllFiles();
}

void CVXConverterThread::SetHostSong(int index)
{
    const juce::MessageManagerLock lock(this);
    if (lock.lockWasGained() && m_host != nullptr)
        m_host->SetCurPlayTrack(index, true, false);
}

void CVXConverterThread::CountDoneSeconds()
{
    AddSeconds(m_doneSeconds, m_secondsToCount);
    m_secondsToCount = 0.0;
}

// ---------------------------------------------------------------------------
// Outputs and failed songs

std::vector<ConverterSongOutput*> CVXConverterThread::OwedOutputs() const
{
    std::vector<ConverterSongOutput*> owed;
    for (const auto& output : m_outputs)
    {
        if (m_converter->OwesFramesTo(&output->Sink()))
            owed.push_back(output.get());
    }
    return owed;
}

void CVXConverterThread::CompleteOutputs(bool everything)
{
    std::vector<ConverterSongOutput*> done;
    for (const auto& output : m_outputs)
    {
        if (everything || m_converter == nullptr || !m_converter->OwesFramesTo(&output->Sink()))
            done.push_back(output.get());
    }
    for (ConverterSongOutput* output : done)
    {
        m_songInProgress = output->GetSongIndex();
        if (output->Complete())
        {
            Retire(output);
            continue;
        }
        FailSong(output->GetSongIndex());
        DiscardOutput(output);
    }
    m_songInProgress = -1;
}

void CVXConverterThread::Retire(ConverterSongOutput* output)
{
    const auto it = std::find_if(m_outputs.begin(), m_outputs.end(),
                                 [output](const auto& o) { return o.get() == output; });
    if (it == m_outputs.end())
        return;
    m_retired.push_back(std::move(*it));
    m_outputs.erase(it);
}

void CVXConverterThread::DiscardOutput(ConverterSongOutput* output)
{
    const auto it = std::find_if(m_outputs.begin(), m_outputs.end(),
                                 [output](const auto& o) { return o.get() == output; });
    if (it == m_outputs.end())
        return;
    output->Discard();
    Retire(output);
}

void CVXConverterThread::DiscardOutputs(const std::vector<ConverterSongOutput*>& outputs)
{
    for (ConverterSongOutput* output : outputs)
        DiscardOutput(output);
}

void CVXConverterThread::DiscardAllOutputs()
{
    while (!m_outputs.empty())
        DiscardOutput(m_outputs.front().get());
}

bool CVXConverterThread::FailSong(int index)
{
    {
        const std::lock_guard<std::mutex> lock(m_failedLock);
        m_failed.addRange({index, index + 1});
    }
    m_stopped.store(true, std::memory_order_release);
    return false;
}

void CVXConverterThread::FailOutputs(const std::vector<ConverterSongOutput*>& outputs)
{
    for (ConverterSongOutput* output : outputs)
    {
        const bool open = std::any_of(m_outputs.begin(), m_outputs.end(),
                                      [output](const auto& o) { return o.get() == output; });
        if (!open)
            continue;
        FailSong(output->GetSongIndex());
        DiscardOutput(output);
    }
}
