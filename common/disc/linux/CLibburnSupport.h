#pragma once

#include "common/disc/CDiscBurnImp.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

// What both disc back ends of this platform share of libburn: the library's
// one-time set-up, its messages, the of its media profiles and drive states; and the CD-Text of
// an album.
//
// Threads. Initialize may be called from any thread, as often as wanted.
// libburn's message queue is process-wide: DrainMessages may be called from
// any thread.
class CLibburnSupport
{
public:
    // Initialises libburn once per process (no signal handler; messages
    // queued, never printed). False when the library cannot start.
    static bool Initialize();

    // Writes every queued libburn message to the system log; the texts of
    // those of severity FAILURE and above are appended to failures, one per
    // line, when it is given.
    static void DrainMessages(std::wstring* failures);

    // libburn keeps one list of drives for the whole process: back ends that
    // scan or grab drives on their own threads take turns under this lock.
    static std::mutex& DriveListLock();

    // The album's titles and performers as raw CD-Text packs (18 bytes
    // each, without a header; see CCdTextPacker): block 0 in English and
    // ISO 8859-1 holds every text that character set can write; when some
    // cannot, block 1 in Japanese and MS-JIS holds those (a reader takes the
    // others from block 0). A text neither can write stays empty. A set of
    // texts too large for CD-Text loses block 1, then all CD-Text (written
    // to the system log). Empty when the album has no text at all.
    static std::vector<uint8_t> MakeCdTextPacks(const AudioCDAlbumTrackList& album);

    // The medium of an MMC profile number; 0 for one this system doesn't
    // name.
    static eDiscType DiscTypeOfProfile(int profile);
    // The burn phase of a drive state; a state that is not a burn's phase is
    // written to the system log as "Unknown Status" and gives 0.
    static eBurnStatus PhaseOfDriveStatus(int status);

    // A text in ISO 8859-1; false when a character has no form there.
    static bool ToLatin1(const std::wstring& text, std::string* out);
    // A text in MS-JIS (Shift-JIS as Microsoft writes it), every character
    // in two bytes as CD-Text's double-byte blocks take them: ASCII letters
    // and spaces become their full-width forms. False when a character has
    // no double-byte form.
    static bool ToMsJis(const std::wstring& text, std::string* out);
};
