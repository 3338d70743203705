#include "common/file/CCdaFileRead.h"

#include "common/disc/linux/CAudioCDPath.h"
#include "common/disc/linux/CCdioDisc.h"
#include "common/file/CBinaryFile64.h"
#include "library/util/CTextUtil.h"

#include <juce_core/juce_core.h>

#include <algorithm>

namespace
{
// The volumes a .cda file may point into: the drives holding an audio disc,
// then the disc images beside the file, by name.
std::vector<std::wstring> CandidateVolumes(const wchar_t* cdaPath)
{
    std::vector<std::wstring> volumes = CCdioDisc::ListAudioVolumes();
    const juce::File folder = juce::File(juce::String(cdaPath)).getParentDirectory();
    std::vector<std::wstring> images;
    for (const auto& entry : juce::RangedDirectoryIterator(folder, false, "*", juce::File::findFiles))
    {
        const std::wstring path = entry.getFile().getFullPathName().toWideCharPointer();
        if (CAudioCDPath::IsImagePath(path.c_str()) && CAudioCDPath::IsVolumePath(path.c_str()))
            images.push_back(path);
    }
    std::sort(images.begin(), images.end());
    volumes.insert(volumes.end(), images.begin(), images.end());
    return volumes;
}
} // namespace

CCdaFileRead::CCdaFileRead(bool readCdText) : CAudioCDRead(readCdText) {}

CCdaFileRead::~CCdaFileRead()
{
    CloseFile();
}

void CCdaFileRead::CloseFile()
{
    CAudioCDRead::CloseFile();
    m_header = Header();
}

int CCdaFileRead::ReadHeader(const wchar_t* path)
{
    CBinaryFile64 file(false);
    if (file.Open(path) < 0)
        return kAudioFileCannotOpen;
    char id[4];
    if (file.Read(id, 4) != 4 || !CTextUtil::CompID(id, "RIFF"))
        return kAudioFileNotThisFormat;
    const uint32_t riffSize = static_cast<uint32_t>(file.ReadDataLittleEndian(4));
    char type[4];
    if (file.Read(type, 4) != 4 || !CTextUtil::CompID(type, "CDDA"))
        return kAudioFileNotThisFormat;
    if (file.FindChunk8("fmt ", -1) < 32)
        return kAudioFileUnsupportedFormat;

    Header header;
    header.riffSize = riffSize;
    file.Read(header.fmtId, 4);
    header.fmtSize = static_cast<uint32_t>(file.ReadDataLittleEndian(4));
    header.version = static_cast<uint16_t>(file.ReadDataLittleEndian(2));
    header.trackNumber = static_cast<uint16_t>(file.ReadDataLittleEndian(2));
    header.serialNumber = static_cast<uint32_t>(file.ReadDataLittleEndian(4));
    header.trackStart = static_cast<uint32_t>(file.ReadDataLittleEndian(4));
    header.trackLength = static_cast<uint32_t>(file.ReadDataLittleEndian(4));
    file.Read(header.trackStartMsf, 4);
    file.Read(header.trackLengthMsf, 4);
    m_header = header;
    return kAudioFileOpened;
}

int CCdaFileRead::OpenFile(const wchar_t* path)
{
    CloseFile();
    const int headerResult = ReadHeader(path);
    if (headerResult != kAudioFileOpened)
    {
        CloseFile();
        return headerResult;
    }

    const int number = m_header.trackNumber;
    const std::vector<std::wstring> volumes = CandidateVolumes(path);
    std::wstring chosen;
    std::wstring fallback;
    bool anyDisc = false;
    for (const std::wstring& volume : volumes)
    {
        CCdioDisc disc;
        if (!disc.Open(volume.c_str()))
            continue;
        anyDisc = true;
        if (!disc.IsAudioTrack(number))
            continue;
        // The file gives the track's start as a sector address, with or
        // without the 150 sectors before the program area.
        const int64_t start = disc.GetTrackStartLsn(number);
        if (start == m_header.trackStart || start + CCdioDisc::kLbaOffset == m_header.trackStart)
        {
            chosen = volume;
            break;
        }
        if (fallback.empty())
            fallback = volume;
    }
    if (chosen.empty())
        chosen = fallback;
    if (chosen.empty())
    {
        CloseFile();
        return anyDisc ? kAudioFileUnsupportedFormat : kAudioFileCannotOpen;
    }

    const Header header = m_header;
    const int result = CAudioCDRead::OpenFile(CAudioCDPath::MakeTrackPath(chosen.c_str(), number).c_str());
    if (result != kAudioFileOpened)
    {
        CloseFile();
        return result == kAudioFileUnsupportedFormat ? kAudioFileUnsupportedFormat : kAudioFileCannotOpen;
    }
    m_header = header;
    return kAudioFileOpened;
}
