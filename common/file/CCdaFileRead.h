#pragma once

#include "common/file/CAudioCDRead.h"

#include <cstdint>

// Opens a ".cda" track-pointer file (a small RIFF "CDDA" file naming a track
// of an audio CD) as that track of the disc.
//
// The file names no drive that exists on this system, so the disc is looked
// for among the CD drives holding an audio disc and then among the BIN/CUE
// disc images (".cue") in the .cda file's folder, by name: the first disc
// whose audio track of the file's number starts at the sector the file gives
// is taken, else the first disc that has an audio track of that number.
//
// Once open, the reader is the disc's CAudioCDRead with the track selected;
// GetFileName() answers the disc's volume path.
class CCdaFileRead : public CAudioCDRead
{
public:
    // The "fmt " chunk of a .cda file.
    struct Header
    {
        char riffId[4] = {'R', 'I', 'F', 'F'};
        uint32_t riffSize = 36;
        char cddaId[4] = {'C', 'D', 'D', 'A'};
        char fmtId[4] = {'f', 'm', 't', ' '};
        uint32_t fmtSize = 24;
        uint16_t version = 1;
        uint16_t trackNumber = 0;
        uint32_t serialNumber = 0;
        uint32_t trackStart = 0;
        uint32_t trackLength = 0;
        uint8_t trackStartMsf[4] = {};
        uint8_t trackLengthMsf[4] = {};
    };

    explicit CCdaFileRead(bool readCdText = true);
    ~CCdaFileRead() override;

    // 0 opened; 2 the file cannot be opened or no disc is found; 3 no usable
    // "fmt " chunk, or no disc found has an audio track of the file's number;
    // 4 not a RIFF "CDDA" file.
    int OpenFile(const wchar_t* path) override;
    void CloseFile() override;

    const Header& GetHeader() const { return m_header; }

private:
    // Reads the header of the .cda file; an OpenFile result.
    int ReadHeader(const wchar_t* path);

    Header m_header;
};
