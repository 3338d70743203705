#include "common/file/CAudioFileReadBase.h"

#include "library/util/CAtomicFileWriter.h"
#include "library/util/CDataUtil.h"

#include <cstring>

CAudioFileReadBase::CAudioFileReadBase() : CBinaryFile64(false) {}
CAudioFileReadBase::~CAudioFileReadBase() = default;

uint32_t CAudioFileReadBase::ReadAttachedPicture(uint8_t* buf, uint32_t size)
{
    if (buf != nullptr)
        std::memset(buf, 0, size);
    return 0;
}

uint32_t CAudioFileReadBase::ReadAudioDataForInternalProcess(int32_t**, uint32_t)
{
    return 0;
}

bool CAudioFileReadBase::UseFileTimeStampAsRecDate()
{
    char date[11];
    char time[9];
    if (!GetFileTimeStamp(date, time))
        return false;
    GetMetaDataPtr()->GetStringPtr(CAudioMetaData::kRecDate)->SetString(date, -1, false);
    GetMetaDataPtr()->GetStringPtr(CAudioMetaData::kRecTime)->SetString(time, -1, false);
    return true;
}

CAudioFileWriteBase::CAudioFileWriteBase() : CBinaryFile64(true) {}

// CBinaryFile64's destructor discards a file still open for writing.
CAudioFileWriteBase::~CAudioFileWriteBase() = default;

void CAudioFileWriteBase::RemoveFile()
{
    if (IsFileOpen())
        Discard();
}

void CAudioFileWriteBase::GetCurTime(int* hours, int* minutes, float* seconds)
{
    CDataUtil::SecondToTime(GetCurTimeSecond(), hours, minutes, seconds);
}

double CAudioFileWriteBase::GetCurTimeSecond()
{
    const uint32_t rate = GetSampleRate();
    return rate == 0 ? 0.0 : static_cast<double>(GetCurSamplePosition()) / rate;
}

bool CAudioFileWriteBase::CloseAndRenameFile(const wchar_t* newPath)
{
    if (!IsFileOpen())
        return false;
    SetTargetFileName(newPath);
    return CloseFile();
}

std::unique_ptr<CAtomicFileWriter> CAudioFileWriteBase::CloseFileUncommitted(const wchar_t* newPath)
{
    if (!IsFileOpen())
        return nullptr;
    if (newPath != nullptr)
        SetTargetFileName(newPath);
    SetCommitDeferred(true);
    const bool finished = CloseFile();
    SetCommitDeferred(false);
    std::unique_ptr<CAtomicFileWriter> file = TakeFinishedFile();
    if (!finished)
        file.reset();
    return file;
}
