#pragma once

#include <cstdint>
#include <vector>

class CCdioDisc;

// The CDDB identifier of an audio CD, which songs keep to find their disc
// again under another path.
class CDiscUtilLinux
{
public:
    // The identifier of the disc a CD path names (see CAudioCDPath); 0 when
    // its table of contents cannot be read.
    static int GetCDDBID(const wchar_t* path);
    // The identifier of an open disc, from all its tracks (audio and data).
    static int GetCDDBID(const CCdioDisc& disc);

    // The identifier of a table of contents given as the start addresses of
    // its tracks and of its lead-out in LBA (sectors from the disc's start,
    // the first track usually at 150): the sum of the decimal digits of every
    // start in whole seconds (start / 75), modulo 255, in the top byte; the
    // playing time in whole seconds (lead-out / 75 - first start / 75) in the
    // next 16 bits; the number of tracks in the low byte. 0 when the digit
    // sum is 0 or there is no track.
    static uint32_t ComputeCDDBID(const std::vector<int32_t>& trackStartLba, int32_t leadOutLba);
};
