#include "common/disc/linux/CCdImageWriter.h"

#include "common/disc/CAudioCDTempFileCreator.h"

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

bool WriteAll(int fd, const uint8_t* data, size_t n)
{
    while (n > 0)
    {
        const ssize_t done = ::write(fd, data, n);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return false;
        data += done;
        n -= static_cast<size_t>(done);
    }
    return true;
}

// Writes a whole small file beside its target and renames it over it.
bool WriteFileAtomically(const std::string& path, const uint8_t* data, size_t n, std::wstring* error)
{
    const std::string temp = path + ".part";
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
    {
        *error = SystemError("cannot create", temp);
        return false;
    }
    const bool ok = WriteAll(fd, data, n) && ::fsync(fd) == 0;
    const int savedErrno = errno;
    ::close(fd);
    if (!ok || ::rename(temp.c_str(), path.c_str()) != 0)
    {
        errno = ok ? errno : savedErrno;
        *error = SystemError("cannot write", path);
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}
} // namespace

CCdImageWriter::~CCdImageWriter()
{
    if (!m_bFinished)
        Abort();
    CloseFiles();
}

bool CCdImageWriter::Begin(const std::wstring& cuePath, const AudioCDAlbumTrackList& album,
                           std::wstring* error)
{
    Abort();
    m_bFinished = false;
    m_cuePath = cuePath;
    const std::string cue = Utf8(cuePath);
    m_base = cue.size() > 4 ? cue.substr(0, cue.size() - 4) : cue;
    m_partPath = m_base + ".bin.part";
    m_segments.clear();
    m_trackPaths.clear();
    m_index0.clear();
    m_index1.clear();
    m_segment = 0;
    m_segmentDone = 0;
    m_total = 0;
    m_written = 0;
    m_bFinished = false;
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
    m_out = ::open(m_partPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (m_out < 0)
    {
        *error = SystemError("cannot create", m_partPath);
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
    if (!WriteAll(m_out, m_buffer.data(), bytes))
    {
        *error = SystemError("cannot write", m_partPath);
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
    if (m_out < 0 || !IsComplete())
    {
        *error = L"the image is not complete";
        return false;
    }
    if (::fsync(m_out) != 0)
    {
        *error = SystemError("cannot write", m_partPath);
        return false;
    }
    CloseFiles();
    const std::string bin = m_base + ".bin";
    if (::rename(m_partPath.c_str(), bin.c_str()) != 0)
    {
        *error = SystemError("cannot name", bin);
        return false;
    }
    if (!cdTextPacks.empty())
    {
        // The packs follow the header a drive's reply has: their length plus
        // two (big-endian) and two reserved bytes.
        std::vector<uint8_t> file(4);
        const size_t length = cdTextPacks.size() + 2;
        file[0] = static_cast<uint8_t>(length >> 8);
        file[1] = static_cast<uint8_t>(length);
        file.insert(file.end(), cdTextPacks.begin(), cdTextPacks.end());
        if (!WriteFileAtomically(m_base + ".cdt", file.data(), file.size(), error))
        {
            ::unlink(bin.c_str());
            return false;
        }
    }
    const std::string cue = MakeCueSheet(!cdTextPacks.empty());
    if (!WriteFileAtomically(Utf8(m_cuePath), reinterpret_cast<const uint8_t*>(cue.data()), cue.size(),
                             error))
    {
        ::unlink(bin.c_str());
        ::unlink((m_base + ".cdt").c_str());
        return false;
    }
    m_bFinished = true;
    return true;
}

void CCdImageWriter::CloseFiles()
{
    if (m_out >= 0)
        ::close(m_out);
    if (m_in >= 0)
        ::close(m_in);
    m_out = -1;
    m_in = -1;
    m_inTrack = SIZE_MAX;
}

void CCdImageWriter::Abort()
{
    CloseFiles();
    if (!m_partPath.empty() && !m_bFinished)
        ::unlink(m_partPath.c_str());
    // Another writer may take the same name next.
    m_partPath.clear();
}
