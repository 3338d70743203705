#include "common/disc/CDiscJob.h"

#include "common/disc/CDiscMessageKeys.h"
#include "library/vextal_juce/CZJEResource.h"

#include <juce_events/juce_events.h>

#include <algorithm>
#include <syslog.h>
#include <utility>

namespace
{

void LogJobEnd(bool ok, const wchar_t* message)
{
    if (ok)
        syslog(LOG_USER | LOG_NOTICE, "Vextal disc job done");
    else
        syslog(LOG_USER | LOG_WARNING, "Vextal disc job failed: %s", juce::String(message).toRawUTF8());
}
} // namespace

class CDiscJob::Worker : public CThread
{
public:
    Worker(CDiscJob& job, uint64_t id, Body body) : m_job(job), m_id(id), m_body(std::move(body)) {}
    ~Worker() override { StopThread(-1); }

protected:
    void Run() override
    {
        Control control(m_job);
        Outcome outcome = m_body(control);
        m_job.Complete(m_id, std::move(outcome));
        if (m_job.m_endNotice)
            m_job.m_endNotice();
    }

private:
    CDiscJob& m_job;
    const uint64_t m_id;
    Body m_body;
};

// What a posted notice holds of the job: cleared when the job goes.
struct CDiscJob::Token
{
    std::mutex lock;
    CDiscJob* job = nullptr;
};

CDiscJob::CDiscJob() : m_token(std::make_shared<Token>())
{
    m_token->job = this;
}

CDiscJob::~CDiscJob()
{
    RequestCancel();
    Join();
    std::lock_guard<std::mutex> guard(m_token->lock);
    m_token->job = nullptr;
}

std::wstring CDiscJob::Text(const char* key)
{
    const juce::String text = CZJEResource::GetText(key);
    return (text.isNotEmpty() ? text : juce::String(key)).toWideCharPointer();
}

std::wstring CDiscJob::WithDetail(const std::wstring& text, const std::wstring& detail)
{
    return detail.empty() ? text : text + L":\n" + detail;
}

std::wstring CDiscJob::TextWithSize(const char* key, int64_t bytes)
{
    return juce::String(Text(key).c_str())
        .replace("%1", juce::File::descriptionOfSizeInBytes(bytes))
        .toWideCharPointer();
}

void CDiscJob::StoreResultLocked(bool ok, const std::wstring& message)
{
    m_lastErrorCode = ok ? 0 : 1;
    std::wstring text = message;
    if (!ok && text.empty())
        text = Text(DiscMessageKeys::kFailed);
    const size_t n = std::min(text.size(), kMaxMessage);
    std::copy_n(text.data(), n, m_lastErrorMessage);
    m_lastErrorMessage[n] = 0;
}

void CDiscJob::SetResult(bool ok, const std::wstring& message)
{
    std::lock_guard<std::mutex> guard(m_lock);
    StoreResultLocked(ok, message);
}

bool CDiscJob::TryBegin()
{
    std::lock_guard<std::mutex> guard(m_lock);
    EndFinishedJobLocked();
    if (m_state != kIdle)
    {
        StoreResultLocked(false, Text(DiscMessageKeys::kDriveBusy));
        return false;
    }
    m_state = kStarting;
    StoreResultLocked(true, {});
    m_phase = kBurnStatusIdle;
    m_percent = 0.0f;
    return true;
}

void CDiscJob::Refuse(const std::wstring& message)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_state = kIdle;
    StoreResultLocked(false, message);
    LogJobEnd(false, m_lastErrorMessage);
}

bool CDiscJob::Launch(State kind, Body body)
{
    Join();
    uint64_t id = 0;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        id = ++m_jobId;
        m_state = kind;
        m_outcomeArrived = false;
        m_cancel.store(false, std::memory_order_release);
    }
    const auto worker = std::make_shared<Worker>(*this, id, std::move(body));
    // The ended worker is let go outside the lock (a join may still hold it).
    std::shared_ptr<Worker> ended;
    {
        const std::lock_guard<std::mutex> guard(m_workerLock);
        ended = std::exchange(m_worker, worker);
    }
    if (worker->StartThread(0))
        return true;
    Refuse(WithDetail(Text(DiscMessageKeys::kFailed), L"the job's thread could not be started"));
    return false;
}

int CDiscJob::LaunchUnlessRefused(const std::wstring& refusal, State kind, Body body)
{
    if (refusal.empty())
        return Launch(kind, std::move(body)) ? 0 : 1;
    Refuse(refusal);
    return 1;
}

void CDiscJob::RequestCancel()
{
    m_cancel.store(true, std::memory_order_release);
}

void CDiscJob::Join()
{
    std::shared_ptr<Worker> worker;
    {
        const std::lock_guard<std::mutex> guard(m_workerLock);
        worker = m_worker;
    }
    if (worker == nullptr)
        return;
    if (m_joinPause)
        m_joinPause();
    worker->StopThread(-1);
}

void CDiscJob::SetProgress(eBurnStatus phase, float percent)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_phase = phase;
    m_percent = std::clamp(percent, 0.0f, 100.0f);
}

void CDiscJob::Complete(uint64_t id, Outcome outcome)
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (id != m_jobId)
            return;
        m_outcome = std::move(outcome);
        m_outcomeArrived = true;
    }
    std::weak_ptr<Token> weak = m_token;
    juce::MessageManager::callAsync(
        [weak, id]
        {
            if (auto token = weak.lock())
            {
                std::lock_guard<std::mutex> guard(token->lock);
                if (token->job != nullptr)
                    token->job->EndJob(id);
            }
        });
}

void CDiscJob::EndJob(uint64_t id)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (id == m_jobId)
        EndFinishedJobLocked();
}

void CDiscJob::EndFinishedJobLocked()
{
    if ((m_state != kBurning && m_state != kErasing) || !m_outcomeArrived)
        return;
    m_state = kIdle;
    m_outcomeArrived = false;
    m_phase = kBurnStatusIdle;
    m_percent = 0.0f;
    StoreResultLocked(m_outcome.ok, m_outcome.message);
    LogJobEnd(m_outcome.ok, m_lastErrorMessage);
}

CDiscJob::State CDiscJob::GetState()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_state;
}

bool CDiscJob::IsProcessing()
{
    std::lock_guard<std::mutex> guard(m_lock);
    EndFinishedJobLocked();
    return m_state != kIdle;
}

int CDiscJob::GetLastErrorCode()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_lastErrorCode;
}

const wchar_t* CDiscJob::GetLastErrorMessage()
{
    return m_lastErrorMessage;
}

eBurnStatus CDiscJob::GetBurnStatus()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_state == kBurning ? m_phase : kBurnStatusIdle;
}

float CDiscJob::GetBurnProgressPercent()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_state == kBurning ? m_percent : 0.0f;
}

float CDiscJob::GetEraseProgressPercent()
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_state == kErasing ? m_percent : 0.0f;
}
