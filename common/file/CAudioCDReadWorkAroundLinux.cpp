#include "common/file/CAudioCDReadWorkAroundLinux.h"

#include "common/disc/linux/CAudioCDPath.h"

#include <algorithm>

CAudioCDReadWorkAroundLinux::CAudioCDReadWorkAroundLinux(bool readCdText) : CAudioCDRead(readCdText) {}

CAudioCDReadWorkAroundLinux::~CAudioCDReadWorkAroundLinux()
{
    CloseFile();
}

int CAudioCDReadWorkAroundLinux::OpenFile(const wchar_t* path)
{
    const int result = CAudioCDRead::OpenFile(path);
    if (result != kAudioFileOpened)
        return result;
    if (CAudioCDPath::IsVolumePath(path))
        SelectTrack(0);
    m_trackOffset = GetAbsStartSample();
    return kAudioFileOpened;
}

int CAudioCDReadWorkAroundLinux::OpenTrack(const wchar_t* volumePath, int trackIndex, int64_t trackOffset)
{
    const std::wstring root = CAudioCDPath::GetRoot(volumePath);
    const int result = CAudioCDRead::OpenFile(root.empty() ? volumePath : root.c_str());
    if (result != kAudioFileOpened)
        return result;
    if (!SelectTrack(trackIndex))
    {
        CloseFile();
        return kAudioFileUnsupportedFormat;
    }
    m_trackOffset = trackOffset;
    return kAudioFileOpened;
}

void CAudioCDReadWorkAroundLinux::CloseFile()
{
    CAudioCDRead::CloseFile();
    m_trackOffset = 0;
}

void CAudioCDReadWorkAroundLinux::ExtractData(int64_t start, int64_t end)
{
    if (!IsDiscOpen())
        return;
    start = std::clamp<int64_t>(start, 0, GetCDLength());
    if (end <= start)
        end = GetTrackStartPosition(GetTrackNumber(start) + 1);
    CAudioCDRead::ExtractData(start, end);
}

void CAudioCDReadWorkAroundLinux::SetupPlayerMarkersFromAlbum()
{
    m_markers.DeleteAll();
}
