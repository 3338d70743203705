#include "common/file/CAudioMetaData.h"

#include <cstdlib>
#include <cstring>

CAudioMetaData::CAudioMetaData()
{
    for (auto& field : m_fields)
        field = std::make_unique<CMultiString>(kFieldCapacity);
}

CAudioMetaData::~CAudioMetaData() = default;

CMultiString* CAudioMetaData::GetStringPtr(int i)
{
    if (i < 0 || i >= kNumFields)
        return nullptr;
    return m_fields[i].get();
}

void CAudioMetaData::SetAttachedPicture(const wchar_t* path)
{
    std::memset(m_picturePath, 0, sizeof(m_picturePath));
    if (path == nullptr)
        return;
    for (uint32_t i = 0; i + 1 < kPicturePathLength && path[i] != 0; ++i)
        m_picturePath[i] = path[i];
}

void CAudioMetaData::ClearAll()
{
    for (auto& field : m_fields)
        field->Clear();
    std::memset(m_picturePath, 0, sizeof(m_picturePath));
}

void CAudioMetaData::CopyAll(const CAudioMetaData* other)
{
    if (other == nullptr || other == this)
        return;
    for (int i = 0; i < kNumFields; ++i)
        m_fields[i]->SetString(other->m_fields[i]->GetReadPtrWChar(), -1, true);
    SetAttachedPicture(other->m_picturePath);
}

int CAudioMetaData::GetRecDateYear()
{
    CMultiString* date = m_fields[kRecDate].get();
    if (date->GetStringLengthChar() < 4)
        return -1;
    char year[5] = {};
    std::memcpy(year, date->GetReadPtrChar(), 4);
    const int value = std::atoi(year);
    return value < 1 ? -1 : value;
}
