#pragma once

#include <memory>

namespace Vextal
{
class TrackInfo;

// A source of new song records, read one at a time: a songlist file
// (VXSLReader), an audio file (AudioFileReader) or an audio CD
// (AudioCDTrackReader).
//
// Threads. A reader is made, used and destroyed by one thread (the add-songs
// worker, or the message thread when a songlist is opened). The records it
// hands out belong to nobody else yet and have no listeners.
class TrackReader
{
public:
    virtual ~TrackReader() = default;

    // Whether next() has another record.
    virtual bool isReady() const = 0;
    // The next record (null when not ready); the caller owns it.
    virtual std::unique_ptr<TrackInfo> next() = 0;
    // 0 to 1.
    virtual double getCurrentProgress() const = 0;
    // Whether the reader still prepares the last record's audio in the
    // background.
    virtual bool isProcessing() const { return false; }
    virtual void cancel() {}
};
} // namespace Vextal
