#include "common/disc/linux/CCdioDisc.h"

#include "common/disc/linux/CAudioCDPath.h"
#include "library/util/CRegularFile.h"

#include <juce_core/juce_core.h>

#include <cdio/cdio.h>
#include <cdio/cdtext.h>
#include <cdio/logging.h>
#include <cdio/memory.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <mutex>
#include <sys/stat.h>

namespace
{
// CD-Text holds at most 8 blocks of 256 packs.
constexpr size_t kMaxCdTextBytes = 4 + 8 * 256 * CCdTextBlocks::kPackSize;
constexpr size_t kMaxCueBytes = 1 << 20;

std::string ToUtf8(const std::wstring& text)
{
    return juce::String(text.c_str()).toStdString();
}

int64_t FileSize(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? static_cast<int64_t>(st.st_size) : -1;
}

// The whole of a regular file of at most limit bytes (a cue sheet or a
// CD-Text file named by one); false for anything else.
bool ReadWholeFile(const std::string& path, size_t limit, std::string* out)
{
    return CRegularFile::ReadAll(path, limit, *out);
}

void InitLibrary()
{
    static std::once_flag once;
    std::call_once(once,
                   []
                   {
                       // Failures are answered through return values; libcdio's
                       // own warnings about damaged images would only clutter
                       // the standard error stream.
                       cdio_loglevel_default = CDIO_LOG_ERROR;
                       ::cdio_init();
                   });
}
} // namespace

CCdioDisc::CCdioDisc() = default;

CCdioDisc::~CCdioDisc()
{
    Close();
}

void CCdioDisc::Close()
{
    if (m_cdio != nullptr)
        ::cdio_destroy(m_cdio);
    m_cdio = nullptr;
    m_volume.clear();
    m_cuePath.clear();
    m_imageDataPath.clear();
    m_firstTrack = 0;
    m_starts.clear();
    m_isAudio.clear();
    m_lastSessionStart = -1;
}

bool CCdioDisc::Open(const wchar_t* path)
{
    Close();
    std::wstring root;
    if (!CAudioCDPath::Parse(path, &root, nullptr))
        return false;
    InitLibrary();
    const bool image = CAudioCDPath::IsImagePath(root.c_str());
    if (image)
    {
        m_cuePath = ToUtf8(root);
        m_imageDataPath = ToUtf8(CAudioCDPath::GetImageDataPath(root.c_str()));
        // The image driver reads the CD-Text file the cue sheet names as it
        // opens the image, blocking on a FIFO and reading a device to the
        // end: only a regular file is let through, anything else is refused
        // as a missing one is.
        std::string cue;
        if (FileSize(m_cuePath) < 0 || FileSize(m_imageDataPath) < 0 ||
            !ReadWholeFile(m_cuePath, kMaxCueBytes, &cue))
        {
            Close();
            return false;
        }
        const std::string textFile = CdTextFileNamedBy(cue);
        if (!textFile.empty() && !CRegularFile::IsRegular(textFile))
        {
            Close();
            return false;
        }
        m_cdio = ::cdio_open(m_cuePath.c_str(), DRIVER_BINCUE);
    }
    else
    {
        m_cdio = ::cdio_open(ToUtf8(root).c_str(), DRIVER_DEVICE);
    }
    if (m_cdio == nullptr)
    {
        Close();
        return false;
    }

    const track_t first = ::cdio_get_first_track_num(m_cdio);
    const track_t count = ::cdio_get_num_tracks(m_cdio);
    if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || count == 0 ||
        first + count - 1 > CAudioCDPath::kMaxTrackNumber)
    {
        Close();
        return false;
    }
    m_firstTrack = first;
    for (int t = first; t < first + count; ++t)
    {
        m_starts.push_back(::cdio_get_track_lsn(m_cdio, static_cast<track_t>(t)));
        m_isAudio.push_back(::cdio_get_track_format(m_cdio, static_cast<track_t>(t)) == TRACK_FORMAT_AUDIO);
    }
    m_starts.push_back(::cdio_get_track_lsn(m_cdio, CDIO_CDROM_LEADOUT_TRACK));
    // A table of contents whose tracks don't follow each other inside the
    // disc cannot be read from safely.
    for (size_t i = 0; i < m_starts.size(); ++i)
    {
        if (m_starts[i] == CDIO_INVALID_LSN || m_starts[i] < 0 || (i > 0 && m_starts[i] <= m_starts[i - 1]))
        {
            Close();
            return false;
        }
    }
    if (!image)
    {
        lsn_t session = 0;
        if (::cdio_get_last_session(m_cdio, &session) == DRIVER_OP_SUCCESS)
            m_lastSessionStart = session;
    }
    m_volume = root;
    return true;
}

std::vector<std::wstring> CCdioDisc::ListDrives()
{
    InitLibrary();
    std::vector<std::wstring> drives;
    char** devices = ::cdio_get_devices(DRIVER_DEVICE);
    if (devices == nullptr)
        return drives;
    for (char** d = devices; *d != nullptr; ++d)
        drives.push_back(juce::String::fromUTF8(*d).toWideCharPointer());
    ::cdio_free_device_list(devices);
    return drives;
}

bool CCdioDisc::HasTrack(int number) const
{
    return IsOpen() && number >= m_firstTrack && number <= GetLastTrackNumber();
}

bool CCdioDisc::IsAudioTrack(int number) const
{
    return HasTrack(number) && m_isAudio[static_cast<size_t>(number - m_firstTrack)];
}

int32_t CCdioDisc::GetTrackStartLsn(int number) const
{
    if (!IsOpen() || number < m_firstTrack || number > GetLastTrackNumber() + 1)
        return -1;
    return m_starts[static_cast<size_t>(number - m_firstTrack)];
}

int32_t CCdioDisc::GetTrackEndLsn(int number) const
{
    if (!HasTrack(number))
        return -1;
    const int32_t start = GetTrackStartLsn(number);
    const int32_t next = GetTrackStartLsn(number + 1);
    // Only an audio track followed by a data track on a disc in a drive can
    // end before the next track starts: a disc image has no sessions.
    const bool audioThenData =
        number < GetLastTrackNumber() && IsAudioTrack(number) && !IsAudioTrack(number + 1);
    if (!audioThenData || IsImage())
        return next;
    // A drive reports where its last session starts; without that answer a
    // change between audio and data is taken as the session change of an
    // enhanced CD.
    const bool nextOpensSession =
        m_lastSessionStart > 0 ? next == m_lastSessionStart : m_lastSessionStart < 0;
    if (nextOpensSession && next - kSessionGapSectors > start)
        return next - kSessionGapSectors;
    return next;
}

int CCdioDisc::GetFirstAudioTrackNumber() const
{
    for (int t = m_firstTrack; IsOpen() && t <= GetLastTrackNumber(); ++t)
        if (IsAudioTrack(t))
            return t;
    return 0;
}

int CCdioDisc::GetLastAudioTrackNumber() const
{
    for (int t = GetLastTrackNumber(); IsOpen() && t >= m_firstTrack; --t)
        if (IsAudioTrack(t))
            return t;
    return 0;
}

bool CCdioDisc::ReadAudioSectors(uint8_t* dst, int32_t lsn, uint32_t count)
{
    if (dst == nullptr)
        return false;
    const size_t bytes = static_cast<size_t>(count) * kBytesPerSector;
    bool ok = IsOpen() && lsn >= 0 && static_cast<int64_t>(lsn) + count <= GetLeadOutLsn();
    // The image driver reads a cut ".bin" short without saying so, leaving
    // the rest of the buffer as it was: the file must hold every sector
    // asked for, before and after the read.
    const int64_t needed = (static_cast<int64_t>(lsn) + count) * kBytesPerSector;
    if (ok && IsImage())
        ok = FileSize(m_imageDataPath) >= needed;
    if (ok && count > 0)
        ok = ::cdio_read_audio_sectors(m_cdio, dst, lsn, count) == DRIVER_OP_SUCCESS;
    if (ok && IsImage())
        ok = FileSize(m_imageDataPath) >= needed;
    if (!ok)
        std::memset(dst, 0, bytes);
    return ok;
}

std::string CCdioDisc::FindCdTextFileOfCue() const
{
    std::string cue;
    if (m_cuePath.empty() || !ReadWholeFile(m_cuePath, kMaxCueBytes, &cue))
        return {};
    return CdTextFileNamedBy(cue);
}

std::string CCdioDisc::CdTextFileNamedBy(const std::string& cue) const
{
    const std::string keyword = "CDTEXTFILE";
    size_t lineStart = 0;
    while (lineStart < cue.size())
    {
        size_t lineEnd = cue.find_first_of("\r\n", lineStart);
        if (lineEnd == std::string::npos)
            lineEnd = cue.size();
        std::string line = cue.substr(lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 1;
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line.compare(first, keyword.size(), keyword) != 0)
            continue;
        std::string name = line.substr(first + keyword.size());
        const size_t open = name.find('"');
        if (open != std::string::npos)
        {
            const size_t close = name.find('"', open + 1);
            name = name.substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1);
        }
        else
        {
            const size_t b = name.find_first_not_of(" \t");
            const size_t e = name.find_last_not_of(" \t");
            name = b == std::string::npos ? std::string() : name.substr(b, e - b + 1);
        }
        if (name.empty())
            return {};
        if (name.front() == '/')
            return name;
        const size_t slash = m_cuePath.rfind('/');
        return slash == std::string::npos ? name : m_cuePath.substr(0, slash + 1) + name;
    }
    return {};
}

bool CCdioDisc::ReadCdText(CCdTextBlocks& out)
{
    out.Clear();
    if (!IsOpen())
        return false;
    if (!IsImage())
    {
        uint8_t* raw = ::cdio_get_cdtext_raw(m_cdio);
        if (raw == nullptr)
            return false;
        // The drive's reply begins with its length (big-endian, without the
        // two length bytes) and two reserved bytes.
        const size_t len = std::min<size_t>(static_cast<size_t>((raw[0] << 8) | raw[1]) + 2, kMaxCdTextBytes);
        if (len > 4)
            out.DecodePacks(raw + 4, len - 4);
        ::cdio_free(raw);
        return !out.IsEmpty();
    }

    const std::string textFile = FindCdTextFileOfCue();
    if (!textFile.empty())
    {
        std::string packs;
        if (!ReadWholeFile(textFile, kMaxCdTextBytes, &packs) || packs.empty())
            return false;
        // A file written from a drive's reply keeps the 4-byte header.
        const uint8_t type = static_cast<uint8_t>(packs[0]);
        const size_t skip = (type < 0x80 || type > 0x8F) && packs.size() >= 4 ? 4 : 0;
        return out.DecodePacks(reinterpret_cast<const uint8_t*>(packs.data()) + skip, packs.size() - skip);
    }

    // The TITLE and PERFORMER lines of the cue sheet, which libcdio holds as
    // UTF-8 (read from the sheet as ISO 8859-1).
    cdtext_t* text = ::cdio_get_cdtext(m_cdio);
    if (text == nullptr)
        return false;
    const cdtext_lang_t* languages = ::cdtext_list_languages_v2(text);
    if (languages == nullptr)
        return false;
    for (int block = 0; block < CCdTextBlocks::kMaxBlocks; ++block)
    {
        const cdtext_lang_t language = languages[block];
        if (language == CDTEXT_LANGUAGE_BLOCK_UNUSED || !::cdtext_set_language_index(text, block))
            continue;
        out.SetBlock(block, language <= CDTEXT_LANGUAGE_AMHARIC ? static_cast<uint8_t>(language) : 0,
                     CCdTextBlocks::kCharCodeLatin1);
        for (int entry = 0; entry <= CCdTextBlocks::kMaxEntry; ++entry)
        {
            const char* title = ::cdtext_get_const(text, CDTEXT_FIELD_TITLE, static_cast<track_t>(entry));
            const char* performer =
                ::cdtext_get_const(text, CDTEXT_FIELD_PERFORMER, static_cast<track_t>(entry));
            if (title != nullptr)
                out.SetText(block, CCdTextBlocks::kTitle, entry,
                            juce::String::fromUTF8(title).toWideCharPointer());
            if (performer != nullptr)
                out.SetText(block, CCdTextBlocks::kPerformer, entry,
                            juce::String::fromUTF8(performer).toWideCharPointer());
        }
    }
    ::cdtext_set_language_index(text, 0);
    return !out.IsEmpty();
}

bool CCdioDisc::Exists(const wchar_t* path)
{
    std::wstring root;
    int number = CAudioCDPath::kNoTrack;
    if (!CAudioCDPath::Parse(path, &root, &number) || !CAudioCDPath::VolumeExists(root.c_str()))
        return false;
    CCdioDisc disc;
    if (!disc.Open(root.c_str()))
        return false;
    return number == CAudioCDPath::kNoTrack ? disc.GetFirstAudioTrackNumber() != 0
                                            : disc.IsAudioTrack(number);
}

std::vector<std::wstring> CCdioDisc::ListAudioVolumes()
{
    std::vector<std::wstring> volumes;
    for (const std::wstring& drive : ListDrives())
        if (CAudioCDPath::IsVolumePath(drive.c_str()) && Exists(drive.c_str()))
            volumes.push_back(drive);
    return volumes;
}
