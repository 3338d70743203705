#include "src/songlist/Output/OutputExportSessionBase.h"

#include "common/dsp/CAudioFilePlayer.h"
#include "library/util/CCheckUtil.h"
#include "src/songlist/Action/CVXActionChangeValue.h"
#include "src/songlist/CVXHost.h"
#include "src/songlist/CommandManager.h"
#include "src/songlist/Output/NormalizeGainDetectThread.h"
#include "src/songlist/TrackInfo.h"

#include <juce_events/juce_events.h>

#include <functional>

namespace Vextal
{
namespace
{
// The level shown before the converter exists.
constexpr float kSilentLeveldB = -200.0f;
// How often the normalization pass reports its progress.
constexpr int kNormalizePollMs = 200;

constexpr char kDetectNormalizeGainKey[] = "Export_DetectNormalizeGain";
constexpr char kCannotReadSongsKey[] = "Export_CannotReadSongs";
constexpr char kApplyNormalizedGainKey[] = "Action_ApplyNormalizedGain";

enum NormalizeMode
{
    kNormalizeOff = 0,
    kNormalizeEach = 1,
    kNormalizeAll = 2
};

void AddIndex(juce::SparseSet<int>& set, int index)
{
    set.addRange({index, index + 1});
}

// A notice for a worker's end that wakes the thread calling now (the
// session's thread) from its wait between two looks at the worker, so that
// the next stage starts at once; nothing when that is not a juce::Thread.
std::function<void()> WakeCallingThread()
{
    juce::Thread* const thread = juce::Thread::getCurrentThread();
    return [thread]
    {
        if (thread != nullptr)
            thread->notify();
    };
}

// Waits on the calling thread until a worker's end wakes it or ms pass.
void WaitForWorker(int ms)
{
    if (juce::Thread* thread = juce::Thread::getCurrentThread())
        thread->wait(ms);
    else
        juce::Thread::sleep(ms);
}
} // namespace

OutputExportSessionBase::OutputExportSessionBase(const CommonExportParameter& common, CVXHost* host,
                                                 CommandManager* commands)
    : commonParameter(common), m_host(host), m_commands(commands)
{
}

OutputExportSessionBase::~OutputExportSessionBase()
{
    const juce::ScopedLock lock(converterLock);
    normalizeThread.reset();
    converter.reset();
}

CVXHost* OutputExportSessionBase::host() const
{
    return m_host != nullptr ? m_host : CVXHost::GetInstance();
}

CommandManager* OutputExportSessionBase::commandManager() const
{
    return m_commands != nullptr ? m_commands : CommandManager::GetInstance();
}

// ---------------------------------------------------------------------------
// Target songs

bool OutputExportSessionBase::checkTargetSongs(const char* missingWarningKey, const char* noSongErrorKey)
{
    VX_ASSERT_MESSAGE_THREAD();
    targetSongs.clear();
    CVXHost* songs = host();
    juce::SparseSet<int> candidates;
    const int source = commonParameter.getParameterValue(CommonExportParameter::kSource);
    if (songs != nullptr && source == CommonExportParameter::kSourceAll && songs->GetNumSongs() > 0)
        candidates.addRange({0, songs->GetNumSongs()});
    else if (songs != nullptr && source == CommonExportParameter::kSourceSelected)
        candidates = songs->GetSelection();

    juce::SparseSet<int> found;
    juce::SparseSet<int> missing;
    for (int i = 0; i < candidates.size(); ++i)
    {
        const int index = candidates[i];
        TrackInfo* song = songs->GetSong(index);
        if (song == nullptr)
            continue;
        song->reload(true);
        AddIndex(song->isPresent() ? found : missing, index);
    }
    if (found.isEmpty())
    {
        notifyError(noSongErrorKey, missing, {});
        return false;
    }
    targetSongs = found;
    return missing.isEmpty() || shouldIgnoreWarning(missingWarningKey, missing, {});
}

juce::SparseSet<int> OutputExportSessionBase::getTargetSongs() const
{
    return targetSongs;
}

// ---------------------------------------------------------------------------
// Normalization

bool OutputExportSessionBase::doesNormalize()
{
    return commonParameter.getParameterValue(CommonExportParameter::kNormalizeMode) != kNormalizeOff;
}

bool OutputExportSessionBase::hasNormalized()
{
    return normalized.load(std::memory_order_acquire);
}

bool OutputExportSessionBase::calcNormalizeGains()
{
    normalized.store(false, std::memory_order_release);
    if (!doesNormalize())
    {
        ClearNormalizeFlags();
        return true;
    }
    StopPlayback();
    if (!StartNormalizeThread())
        return false;
    PollNormalizeThread();
    if (isCancelled())
        return false;
    juce::SparseSet<int> failed;
    {
        const juce::ScopedLock lock(converterLock);
        failed = normalizeThread->getFailedSongs();
    }
    if (!failed.isEmpty())
    {
        notifyError(kCannotReadSongsKey, failed, {});
        return false;
    }
    StoreNormalizeGains();
    normalized.store(true, std::memory_order_release);
    return true;
}

bool OutputExportSessionBase::StartNormalizeThread()
{
    const int mode = commonParameter.getParameterValue(CommonExportParameter::kNormalizeMode);
    const int dsdFilter = commonParameter.getParameterValue(CommonExportParameter::kDsdFilter);
    const juce::ScopedLock lock(converterLock);
    if (isCancelled())
        return false;
    normalizeThread = std::make_unique<NormalizeGainDetectThread>(targetSongs, getOutputSampleRate(),
                                                                  dsdFilter, mode == kNormalizeAll, host());
    normalizeThread->onFinished = WakeCallingThread();
    return normalizeThread->start();
}

void OutputExportSessionBase::PollNormalizeThread()
{
    const int count = targetSongs.size();
    for (;;)
    {
        bool finished = false;
        double percent = 0.0;
        int position = 0;
        {
            const juce::ScopedLock lock(converterLock);
            finished = normalizeThread->hasFinished();
            percent = normalizeThread->getProgressPercent();
            position = normalizeThread->getCurrentSong();
        }
        if (finished)
            return;
        juce::String text;
        {
            const juce::MessageManagerLock mml(juce::Thread::getCurrentThread());
            const TrackInfo* song =
                mml.lockWasGained() && position < count ? host()->GetSong(targetSongs[position]) : nullptr;
            if (song != nullptr)
                text = song->getText(TrackInfo::kSongName) +
                       juce::String::formatted(" (%d / %d)", position + 1, count);
        }
        notifyProgress(percent, kDetectNormalizeGainKey, juce::StringArray(text));
        WaitForWorker(kNormalizePollMs);
    }
}

void OutputExportSessionBase::StoreNormalizeGains()
{
    const juce::MessageManagerLock mml(juce::Thread::getCurrentThread());
    if (!mml.lockWasGained())
        return;
    for (int i = 0; i < targetSongs.size(); ++i)
    {
        TrackInfo* song = host()->GetSong(targetSongs[i]);
        if (song == nullptr)
            continue;
        song->setNormalize(true);
        song->setNormalizeOffset(i < normalizeThread->getNumResults() ? normalizeThread->getResult(i) : 0.0f);
    }
}

void OutputExportSessionBase::ClearNormalizeFlags()
{
    const juce::MessageManagerLock mml(juce::Thread::getCurrentThread());
    if (!mml.lockWasGained() || host() == nullptr)
        return;
    for (int i = 0; i < targetSongs.size(); ++i)
    {
        if (TrackInfo* song = host()->GetSong(targetSongs[i]))
        {
            song->setNormalize(false);
            song->setNormalizeOffset(0.0f);
        }
    }
}

void OutputExportSessionBase::StopPlayback()
{
    const juce::MessageManagerLock mml(juce::Thread::getCurrentThread());
    CVXHost* songs = host();
    if (!mml.lockWasGained() || songs == nullptr)
        return;
    songs->SetPlayerStatus(CVXHost::kStatusStopped);
    if (CAudioFilePlayerPcmOutput* player = songs->GetPlayer())
        player->Stop();
}

void OutputExportSessionBase::applyNormalizedGains()
{
    VX_ASSERT_MESSAGE_THREAD();
    CommandManager* commands = commandManager();
    CVXHost* songs = host();
    if (!doesNormalize() || commands == nullptr || songs == nullptr)
        return;
    const juce::String name = CommandManager::transactionName(kApplyNormalizedGainKey);
    bool first = true;
    for (int i = 0; i < targetSongs.size(); ++i)
    {
        const int index = targetSongs[i];
        const TrackInfo* song = songs->GetSong(index);
        if (song == nullptr)
            continue;
        auto action = std::make_unique<CVXActionChangeValue>(songs);
        action->SetValue(index, 0, song->getNormalizedGain());
        if (commands->stackActionInUndoList(std::move(action), first, name))
            first = false;
    }
}

// ---------------------------------------------------------------------------
// Cancel and the converter

void OutputExportSessionBase::cancel()
{
    cancelled.store(true, std::memory_order_seq_cst);
    {
        const juce::ScopedLock lock(converterLock);
        if (normalizeThread != nullptr)
            normalizeThread->cancel();
        if (converter != nullptr)
            converter->cancel();
    }
    cancelOutputProcess();
}

std::unique_ptr<CVXConverterThread>
OutputExportSessionBase::createConverter(const CVXConverterThread::ParameterSet& params)
{
    return std::make_unique<CVXConverterThread>(params, host());
}

bool OutputExportSessionBase::makeConverter(const CVXConverterThread::ParameterSet& params)
{
    std::unique_ptr<CVXConverterThread> made = createConverter(params);
    const juce::ScopedLock lock(converterLock);
    converter = std::move(made);
    if (converter != nullptr && isCancelled())
        converter->cancel();
    return converter != nullptr;
}

bool OutputExportSessionBase::startConverter()
{
    const juce::ScopedLock lock(converterLock);
    if (converter == nullptr || isCancelled())
        return false;
    converter->onFinished = WakeCallingThread();
    converter->startThread();
    return true;
}

void OutputExportSessionBase::deleteConverter()
{
    std::unique_ptr<CVXConverterThread> old;
    {
        const juce::ScopedLock lock(converterLock);
        old = std::move(converter);
    }
    // A converter that has not finished is cancelled and waited for by its
    // destructor, outside the lock so that a query never waits that long.
}

double OutputExportSessionBase::converterProgressPercent() const
{
    const juce::ScopedLock lock(converterLock);
    return converter != nullptr ? converter->getProgressPercent() : 0.0;
}

bool OutputExportSessionBase::converterHasFinished() const
{
    const juce::ScopedLock lock(converterLock);
    return converter == nullptr || converter->hasFinished();
}

juce::SparseSet<int> OutputExportSessionBase::converterErrorSongs() const
{
    const juce::ScopedLock lock(converterLock);
    return converter != nullptr ? converter->getErrorSongs() : juce::SparseSet<int>();
}

void OutputExportSessionBase::pause()
{
    const juce::ScopedLock lock(converterLock);
    if (converter != nullptr)
        converter->pause();
}

void OutputExportSessionBase::resume()
{
    const juce::ScopedLock lock(converterLock);
    if (converter != nullptr)
        converter->resume();
}

bool OutputExportSessionBase::isDirectProcessMode() const
{
    const juce::ScopedLock lock(converterLock);
    return converter != nullptr && converter->isDirectProcessMode();
}

void OutputExportSessionBase::getCurTime(int* hours, int* minutes, float* seconds) const
{
    const juce::ScopedLock lock(converterLock);
    if (converter != nullptr)
    {
        converter->getCurTime(hours, minutes, seconds);
        return;
    }
    if (hours != nullptr)
        *hours = 0;
    if (minutes != nullptr)
        *minutes = 0;
    if (seconds != nullptr)
        *seconds = 0.0f;
}

double OutputExportSessionBase::getCurPositionPercent() const
{
    const juce::ScopedLock lock(converterLock);
    return converter != nullptr ? converter->getCurPositionPercent() : 0.0;
}

void OutputExportSessionBase::getLeveldB(float* levels, int* clipState) const
{
    const juce::ScopedLock lock(converterLock);
    if (converter != nullptr)
    {
        converter->getLeveldB(levels, clipState);
        return;
    }
    if (levels != nullptr)
        levels[0] = levels[1] = kSilentLeveldB;
    if (clipState != nullptr)
        *clipState = 0;
}

bool OutputExportSessionBase::isConverting() const
{
    const juce::ScopedLock lock(converterLock);
    return converter != nullptr && !converter->hasFinished();
}
} // namespace Vextal
