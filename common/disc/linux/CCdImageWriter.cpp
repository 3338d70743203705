#include "common/disc/linux/CCdImageWriter.h"

#include "common/disc/CAudioCDTempFileCreator.h"
#include "common/file/CBinaryFile64.h"

#include <juce_core/juce_core.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace
{
constexpr int64_t kSectorBytes = 2352;
constexpr int64_t kFramesPerSector = 588;
constexpr int64_t kFirstTrackPreGap = 150;
// Sectors moved per read and write.
constexpr int64_t kChunkSectors = 75;

std::string Utf8(const std::wstring& text)
{
    return juce::String(text.c_str()).toStdString();
}

std::wstring Wide(const std::string& text)
{
    return juce::String::fromUTF8(text.c_str()).toWideCharPointer();
}

std::wstring SystemError(const char* what, const std::string& path)
{
    return Wide(std::string(what) + " " + path + ": " + std::strerror(errno));
}

std::string BaseName(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Msf(int64_t sector)
{
    char text[16];
    std::snprintf(text, sizeof(text), "%02d:%02d:%02d", static_cast<int>(sector / (75 * 60)),
                  static_cast<int>((sector / 75) % 60), static_cast<int>(sector % 75));
    return text;
}

// Writes a whole small file through the atomic writer: the target appears
// only complete.
bool WriteWholeFile(const std::string& path, const uint8_t* data, size_t n, std::wstring* error)
{
    CBinaryFile64 file(true);
    const bool ok = file.Open(Wide(path).c_str()) != -1 &&
                    file.Write(data, static_cast<uint32_t>(n)) == static_cast<int>(n) && file.Close() == 0;
    if (!ok)
    {
        *error = SystemError("cannot write", path);
        file.Discard();
    }
    return ok;
}
} // namespace

CCdImageWriter::CCdImageWriter() : m_out(std::make_unique<CBinaryFile64>(true)) {}

CCdImageWriter::~CCdImageWriter()
{
    Abort();
}

bool CCdImageWriter::Begin(const std::wstring& cuePath, const AudioCDAlbumTrackList& album,
                           std::wstring* error)
{
    Abort();
    m_bFinished = false;
    m_cuePath = cuePath;
    const std::string cue = Utf8(cuePath);
    m_base = cue.size() > 4 ? cue.substr(0, cue.size() - 4) : cue;
    m_binPath = m_base + ".bin";
    m_segments.clear();
    m_trackPaths.clear();
    m_index0.clear();
    m_index1.clear();
    m_segment = 0;
    m_segmentDone = 0;
    m_total = 0;
    m_written = 0;
    if (album.tracks.empty())
    {
        *error = L"no tracks";
        return false;
    }
    for (size_t i = 0; i < album.tracks.size(); ++i)
    {
        if (!AddTrack(i, album.tracks[i], error))
            return false;
    }
    if (m_out->Open(Wide(m_binPath).c_str()) == -1)
    {
        *error = SystemError("cannot create", m_binPath);
        return false;
    }
    return true;
}

bool CCdImageWriter::AddTrack(size_t index, const AudioCDTrackInfo& track, std::wstring* error)
{
    int64_t offset = 0;
    int64_t frames = 0;
    if (!CAudioCDTempFileCreator::LocateTrackSamples(track.path, &offset, &frames) || frames <= 0)
    {
        *error = L"not a track file: " + track.path;
        return false;
    }
    const int64_t preGap = index == 0 ? std::max<int64_t>(track.preGap, kFirstTrackPreGap) - kFirstTrackPreGap
                                      : static_cast<int64_t>(track.preGap);
    m_index0.push_back(m_total);
    if (preGap > 0)
        m_segments.push_back({index, true, preGap, 0, 0});
    m_total += preGap;
    m_index1.push_back(m_total);
    const int64_t sectors = (frames + kFramesPerSector - 1) / kFramesPerSector;
    m_segments.push_back({index, false, sectors, offset, frames});
    m_total += sectors;
    m_trackPaths.push_back(Utf8(track.path));
    return true;
}

size_t CCdImageWriter::GetCurrentTrack() const
{
    return m_segment < m_segments.size() ? m_segments[m_segment].track : m_trackPaths.size();
}

bool CCdImageWriter::WriteSectors(int64_t maxSectors, std::wstring* error)
{
    while (maxSectors > 0 && m_segment < m_segments.size())
    {
        const Segment& segment = m_segments[m_segment];
        const int64_t n = std::min({maxSectors, segment.sectors - m_segmentDone, kChunkSectors});
        if (!WriteSegmentPart(segment, n, error))
            return false;
        m_segmentDone += n;
        m_written += n;
        maxSectors -= n;
        if (m_segmentDone == segment.sectors)
        {
            ++m_segment;
            m_segmentDone = 0;
        }
    }
    return true;
}

bool CCdImageWriter::WriteSegmentPart(const Segment& segment, int64_t sectors, std::wstring* error)
{
    const size_t bytes = static_cast<size_t>(sectors * kSectorBytes);
    m_buffer.assign(bytes, 0);
    if (!segment.silence)
    {
        // The file's samples are big-endian; a disc's are little-endian.
        const int64_t first = m_segmentDone * kSectorBytes;
        const int64_t available =
            std::clamp<int64_t>(segment.frames * 4 - first, 0, static_cast<int64_t>(bytes));
        if (!ReadTrackBytes(segment, first, m_buffer.data(), static_cast<size_t>(available), error))
            return false;
        for (int64_t i = 0; i + 1 < available; i += 2)
            std::swap(m_buffer[static_cast<size_t>(i)], m_buffer[static_cast<size_t>(i + 1)]);
    }
    if (m_out->Write(m_buffer.data(), static_cast<uint32_t>(bytes)) != static_cast<int>(bytes))
    {
        *error = SystemError("cannot write", m_binPath);
        return false;
    }
    return true;
}

bool CCdImageWriter::ReadTrackBytes(const Segment& segment, int64_t firstByte, uint8_t* dst, size_t n,
                                    std::wstring* error)
{
    const std::string& path = m_trackPaths[segment.track];
    if (m_inTrack != segment.track)
    {
        if (m_in >= 0)
            ::close(m_in);
        m_in = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        m_inTrack = segment.track;
    }
    size_t done = 0;
    while (m_in >= 0 && done < n)
    {
        const ssize_t got = ::pread(m_in, dst + done, n - done, segment.byteOffset + firstByte + done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += static_cast<size_t>(got);
    }
    if (done == n)
        return true;
    *error = SystemError("cannot read", path);
    return false;
}

std::string CCdImageWriter::MakeCueSheet(bool withCdText) const
{
    std::string cue;
    if (withCdText)
        cue += "CDTEXTFILE \"" + BaseName(m_base) + ".cdt\"\n";
    cue += "FILE \"" + BaseName(m_base) + ".bin\" BINARY\n";
    for (size_t i = 0; i < m_index1.size(); ++i)
    {
        char line[32];
        std::snprintf(line, sizeof(line), "  TRACK %02d AUDIO\n", static_cast<int>(i + 1));
        cue += line;
        if (m_index0[i] < m_index1[i])
            cue += "    INDEX 00 " + Msf(m_index0[i]) + "\n";
        cue += "    INDEX 01 " + Msf(m_index1[i]) + "\n";
    }
    return cue;
}

bool CCdImageWriter::Finish(const std::vector<uint8_t>& cdTextPacks, std::wstring* error)
{
    if (!m_out->IsFileOpen() || !IsComplete())
    {
        *error = L"the image is not complete";
        return false;
    }
    CloseTrackFile();
    if (m_out->Close() != 0)
    {
        *error = SystemError("cannot write", m_binPath);
        return false;
    }
    if (!cdTextPacks.empty())
    {
        // A cue sheet's CD-Text file holds the packs alone, without the
        // header of a drive's reply.
        const std::vector<uint8_t>& file = cdTextPacks;
        if (!WriteWholeFile(m_base + ".cdt", file.data(), file.size(), error))
        {
            ::unlink(m_binPath.c_str());
            return false;
        }
    }
    // The cue sheet comes last: the image is there once it is.
    const std::string cue = MakeCueSheet(!cdTextPacks.empty());
    if (!WriteWholeFile(Utf8(m_cuePath), reinterpret_cast<const uint8_t*>(cue.data()), cue.size(), error))
    {
        ::unlink(m_binPath.c_str());
        ::unlink((m_base + ".cdt").c_str());
        return false;
    }
    m_bFinished = true;
    return true;
}

void CCdImageWriter::CloseTrackFile()
{
    if (m_in >= 0)
        ::close(m_in);
    m_in = -1;
    m_inTrack = SIZE_MAX;
}

void CCdImageWriter::Abort()
{
    CloseTrackFile();
    // An unfinished image leaves nothing behind.
    if (m_out->IsFileOpen())
        m_out->Discard();
}
