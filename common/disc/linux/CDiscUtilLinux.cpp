#include "common/disc/linux/CDiscUtilLinux.h"

#include "common/disc/linux/CCdioDisc.h"

int CDiscUtilLinux::GetCDDBID(const wchar_t* path)
{
    CCdioDisc disc;
    return disc.Open(path) ? GetCDDBID(disc) : 0;
}

int CDiscUtilLinux::GetCDDBID(const CCdioDisc& disc)
{
    if (!disc.IsOpen())
        return 0;
    std::vector<int32_t> starts;
    for (int t = disc.GetFirstTrackNumber(); t <= disc.GetLastTrackNumber(); ++t)
        starts.push_back(disc.GetTrackStartLsn(t) + CCdioDisc::kLbaOffset);
    return static_cast<int>(ComputeCDDBID(starts, disc.GetLeadOutLsn() + CCdioDisc::kLbaOffset));
}

uint32_t CDiscUtilLinux::ComputeCDDBID(const std::vector<int32_t>& trackStartLba, int32_t leadOutLba)
{
    if (trackStartLba.empty())
        return 0;
    uint32_t digitSum = 0;
    for (const int32_t lba : trackStartLba)
    {
        for (int32_t seconds = lba / 75; seconds > 0; seconds /= 10)
            digitSum += static_cast<uint32_t>(seconds % 10);
    }
    if (digitSum == 0)
        return 0;
    const uint32_t length = static_cast<uint32_t>(leadOutLba / 75 - trackStartLba.front() / 75);
    return ((digitSum % 255) << 24) | ((length & 0xFFFF) << 8) |
           (static_cast<uint32_t>(trackStartLba.size()) & 0xFF);
}
