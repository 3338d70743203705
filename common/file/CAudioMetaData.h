#pragma once

#include "common/file/CMultiString.h"

#include <memory>

// Song information carried with audio: nine texts and the path of a picture
// to embed when writing.
class CAudioMetaData
{
public:
    enum Field
    {
        kAlbum = 0,
        kTitle = 1,
        kAlbumArtist = 2,
        kArtist = 3,
        kGenre = 4,
        kLocation = 5,
        kRecDate = 6,
        kRecTime = 7,
        kEncodingSoftware = 8,
        kNumFields = 9
    };
    static constexpr uint32_t kFieldCapacity = 128;
    static constexpr uint32_t kPicturePathLength = 1024;

    CAudioMetaData();
    virtual ~CAudioMetaData();

    CAudioMetaData(const CAudioMetaData&) = delete;
    CAudioMetaData& operator=(const CAudioMetaData&) = delete;

    // Field i, or null for an index outside 0..8.
    CMultiString* GetStringPtr(int i);

    // Paths of kPicturePathLength characters or more are cut.
    void SetAttachedPicture(const wchar_t* path);
    const wchar_t* GetAttachedPictureFilePath() const { return m_picturePath; }

    void ClearAll();
    void CopyAll(const CAudioMetaData* other);

    // The year in the first four characters of the recording date, or -1.
    int GetRecDateYear();
    bool IsRecDateAvailable() { return GetRecDateYear() != -1; }

private:
    std::unique_ptr<CMultiString> m_fields[kNumFields];
    wchar_t m_picturePath[kPicturePathLength] = {};
};
