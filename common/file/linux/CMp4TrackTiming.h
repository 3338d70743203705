#pragma once

#include <cstdint>

// Reads what an MP4-family file (MP4, M4A, MOV) says about the timing of one
// track, from its 'moov' box: the track's time scale, the sum of the
// durations in its time-to-sample table (every tick the samples cover), and
// its edit list (which tick is presented first, and for how long).
//
// An AAC track starts with priming the edit list skips (its media time), and
// its last packet may carry padding: where the table covers only the real
// samples (as FFmpeg writes it), the table less the priming is the exact
// length; where the table covers the padding too, the edit's duration tells
// where the audio ends.
//
// Bounds: the 'moov' box is read whole only up to kMaxMoovSize; box sizes
// that run past their parent, and sums beyond kMaxTicks, make the read fail.
class CMp4TrackTiming
{
public:
    struct Timing
    {
        uint32_t movieTimeScale = 0;
        uint32_t mediaTimeScale = 0;
        // The sum of the time-to-sample durations, in media ticks.
        int64_t sampleTableTicks = 0;
        // An edit presents the media (empty edits before it are ignored).
        bool hasEdit = false;
        // It is the only one that does.
        bool singleEdit = false;
        // The first media tick the first such edit presents.
        int64_t editMediaTime = 0;
        // Its duration in movie ticks; 0 when it names none.
        int64_t editDuration = 0;
    };

    // A larger movie header is taken for damage.
    static constexpr uint32_t kMaxMoovSize = 64u * 1024u * 1024u;
    // Far beyond any real track (about 6.6 million years at 44100 Hz).
    static constexpr int64_t kMaxTicks = int64_t(1) << 53;

    // The timing of the track with the given ID (the track header's ID);
    // false when the file holds no such track or its boxes can't be read.
    static bool Read(const char* utf8Path, uint32_t trackId, Timing* out);
    // The same from an open file (read with pread: its offset is left alone).
    static bool Read(int fd, uint32_t trackId, Timing* out);
};
