#include "common/disc/CAudioDiscBurnBase.h"

#include "common/disc/CDiscJob.h"
#include "common/disc/CDiscMessageKeys.h"

CAudioDiscBurnBase::CAudioDiscBurnBase() : CAudioDiscBurnBase(CreateDiscBurnImp()) {}

CAudioDiscBurnBase::CAudioDiscBurnBase(std::unique_ptr<CDiscBurnImp> backEnd) : m_imp(std::move(backEnd)) {}

CAudioDiscBurnBase::~CAudioDiscBurnBase() = default;

const std::vector<CDDrive>& CAudioDiscBurnBase::GetAvailableCDDrives()
{
    return m_imp->GetAvailableCDDrives();
}

void CAudioDiscBurnBase::RefreshCDDriveList()
{
    RefreshCDDriveListLater(nullptr);
}

void CAudioDiscBurnBase::RefreshCDDriveListLater(std::function<void()> done)
{
    // The worker runs its work in order: an answer queued behind a scan
    // that has not begun comes after that scan.
    if (m_bScanQueued.exchange(true))
    {
        m_driveWorker.Post(nullptr, std::move(done));
        return;
    }
    ++m_scansUnfinished;
    m_driveWorker.Post(
        [this]
        {
            m_bScanQueued = false;
            m_imp->RefreshCDDriveList();
            --m_scansUnfinished;
        },
        std::move(done));
}

int CAudioDiscBurnBase::OpenDrive(uint32_t index)
{
    CScopedCriticalSection lock(m_lock);
    return m_imp->OpenDrive(index);
}

void CAudioDiscBurnBase::CloseDrive()
{
    CScopedCriticalSection lock(m_lock);
    m_imp->CloseDrive();
}

const wchar_t* CAudioDiscBurnBase::GetCurrentDriveRootPath()
{
    return m_imp->GetCurrentDriveRootPath();
}

bool CAudioDiscBurnBase::CanBurnCDText()
{
    return m_imp->CanBurnCDText();
}

bool CAudioDiscBurnBase::AudioCdGapSettingsMayFail()
{
    return m_imp->AudioCdGapSettingsMayFail();
}

int CAudioDiscBurnBase::ReloadDisc()
{
    CScopedCriticalSection lock(m_lock);
    return m_imp->ReloadDisc();
}

void CAudioDiscBurnBase::SetMediumWaitsAbandoned(bool abandoned)
{
    m_imp->SetMediumWaitsAbandoned(abandoned);
}

eDiscType CAudioDiscBurnBase::GetInsertedDiscType()
{
    CScopedCriticalSection lock(m_lock);
    return m_imp->GetInsertedDiscType();
}

bool CAudioDiscBurnBase::IsErasableDisc()
{
    return m_imp->IsErasableDisc();
}

bool CAudioDiscBurnBase::IsBlankDisc()
{
    CScopedCriticalSection lock(m_lock);
    return m_imp->IsBlankDisc();
}

bool CAudioDiscBurnBase::IsProcessing()
{
    return m_imp->IsProcessing();
}

void CAudioDiscBurnBase::Cancel()
{
    m_imp->Cancel();
}

void CAudioDiscBurnBase::EjectDisc()
{
    m_imp->EjectDisc();
}

void CAudioDiscBurnBase::EjectDiscLater(std::function<void()> done)
{
    m_driveWorker.Post([this] { m_imp->EjectDisc(); }, std::move(done));
}

bool CAudioDiscBurnBase::AreDrivesKnown()
{
    return m_scansUnfinished.load() == 0 && !m_imp->IsScanningDrives();
}

void CAudioDiscBurnBase::WhenDrivesKnown(std::function<void()> done)
{
    m_driveWorker.Post([this] { m_imp->GetAvailableCDDrives(); }, std::move(done));
}

float CAudioDiscBurnBase::GetBurnProgressPercent()
{
    return m_imp->GetBurnProgressPercent();
}

float CAudioDiscBurnBase::GetEraseProgressPercent()
{
    return m_imp->GetEraseProgressPercent();
}

eBurnStatus CAudioDiscBurnBase::GetCurrentBurnStatus()
{
    return m_imp->GetCurrentBurnStatus();
}

const std::vector<uint32_t>& CAudioDiscBurnBase::GetAvailableWriteSpeedsKbps()
{
    return m_imp->GetAvailableWriteSpeedsKbps();
}

int CAudioDiscBurnBase::SetWriteSpeed(uint32_t kbps)
{
    m_writeSpeed = kbps;
    return 0;
}

int CAudioDiscBurnBase::SetOptimizedWriteSpeed()
{
    m_imp->GetAvailableWriteSpeedsKbps();
    return m_imp->SetWriteSpeed(m_writeSpeed);
}

int CAudioDiscBurnBase::StartEraseDisc(bool quick)
{
    ClearRefusal();
    if (SetOptimizedWriteSpeed() != 0)
        return Refuse(CDiscJob::Text(DiscMessageKeys::kWriteSpeedNotOffered));
    return m_imp->StartEraseDisc(quick);
}

void CAudioDiscBurnBase::ClearRefusal()
{
    CScopedCriticalSection lock(m_lock);
    m_bRefused = false;
    m_refusal.clear();
}

int CAudioDiscBurnBase::Refuse(const std::wstring& message)
{
    CScopedCriticalSection lock(m_lock);
    m_bRefused = true;
    m_refusal = message;
    return 1;
}

int CAudioDiscBurnBase::GetLastProcessErrorCode()
{
    CScopedCriticalSection lock(m_lock);
    return m_bRefused ? 1 : m_imp->GetLastProcessErrorCode();
}

std::wstring CAudioDiscBurnBase::GetLastProcessErrorMessage()
{
    CScopedCriticalSection lock(m_lock);
    if (m_bRefused)
        return m_refusal;
    const wchar_t* message = m_imp->GetLastProcessErrorMessage();
    return message != nullptr ? message : L"";
}
