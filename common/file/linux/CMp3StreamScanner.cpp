#include "common/file/linux/CMp3StreamScanner.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
constexpr uint32_t kCacheSize = 65536;
// Sync, version, layer and sample rate: what every frame of a stream shares.
constexpr uint32_t kStreamMask = 0xFFFE0C00u;
// The same and the channel mode: what the first two frames must share.
constexpr uint32_t kFirstFramesMask = 0xFFFE0CC0u;

uint32_t BigEndian32(const uint8_t* p)
{
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | p[3];
}

uint32_t LittleEndian32(const uint8_t* p)
{
    return (static_cast<uint32_t>(p[3]) << 24) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[1]) << 8) | p[0];
}
} // namespace

CMp3StreamScanner::CMp3StreamScanner() = default;

CMp3StreamScanner::~CMp3StreamScanner()
{
    Close();
}

bool CMp3StreamScanner::ParseHeader(uint32_t word, Header* out)
{
    static const uint16_t kRatesMpeg1[15] = {0,   32,  40,  48,  56,  64,  80, 96,
                                             112, 128, 160, 192, 224, 256, 320};
    static const uint16_t kRatesMpeg2[15] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    static const uint32_t kSampleRates[3] = {44100, 48000, 32000};

    if ((word & 0xFFE00000u) != 0xFFE00000u)
        return false;
    const uint32_t version = (word >> 19) & 3; // 0: 2.5, 2: 2, 3: 1
    const uint32_t layer = (word >> 17) & 3;   // 1: layer III
    const uint32_t rateIndex = (word >> 12) & 15;
    const uint32_t sampleRateIndex = (word >> 10) & 3;
    if (version == 1 || layer != 1 || rateIndex == 0 || rateIndex == 15 || sampleRateIndex == 3)
        return false;

    const bool mpeg1 = version == 3;
    const bool mono = ((word >> 6) & 3) == 3;
    Header h;
    h.sampleRate = kSampleRates[sampleRateIndex] >> (mpeg1 ? 0 : (version == 2 ? 1 : 2));
    h.bitRate = 1000u * (mpeg1 ? kRatesMpeg1[rateIndex] : kRatesMpeg2[rateIndex]);
    h.samplesPerFrame = mpeg1 ? 1152 : 576;
    h.frameSize = (mpeg1 ? 144u : 72u) * h.bitRate / h.sampleRate + ((word >> 9) & 1);
    h.sideInfoSize = mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
    h.channels = mono ? 1 : 2;
    if (out != nullptr)
        *out = h;
    return true;
}

bool CMp3StreamScanner::Open(const char* utf8Path)
{
    Close();
    if (utf8Path == nullptr)
        return false;
    // Non-blocking, so that a FIFO doesn't wait for a writer; only a regular
    // file is read.
    m_fd = ::open(utf8Path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat st;
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode))
    {
        Close();
        return false;
    }
    m_fileSize = st.st_size;
    m_cache.resize(kCacheSize);
    m_audioEnd = m_fileSize;
    int64_t pos = SkipId3v2Tags();
    FindAudioEnd(m_fileSize);
    pos = SkipInfoFrame(pos);

    uint32_t word = 0;
    Header header;
    const int64_t first = Resync(pos, true);
    if (first < 0 || !ReadWord(first, &word) || !ParseHeader(word, &header))
    {
        Close();
        return false;
    }
    m_referenceWord = word & kStreamMask;
    m_sampleRate = header.sampleRate;
    m_channels = header.channels;
    m_samplesPerFrame = header.samplesPerFrame;
    m_audioStart = first;
    m_scanPos = m_audioStart;
    return true;
}

int64_t CMp3StreamScanner::SkipId3v2Tags()
{
    // Possibly several tags in a row.
    int64_t pos = 0;
    for (;;)
    {
        uint8_t tag[10];
        if (!ReadAt(pos, tag, 10) || std::memcmp(tag, "ID3", 3) != 0 || tag[3] == 0xFF || tag[4] == 0xFF ||
            ((tag[6] | tag[7] | tag[8] | tag[9]) & 0x80) != 0)
            return pos;
        const int64_t size = (static_cast<int64_t>(tag[6]) << 21) | (tag[7] << 14) | (tag[8] << 7) | tag[9];
        pos += 10 + size + ((tag[5] & 0x10) != 0 ? 10 : 0);
    }
}

int64_t CMp3StreamScanner::SkipInfoFrame(int64_t pos)
{
    // An information tag sits in a frame right after the ID3v2 tags.
    uint32_t word = 0;
    Header header;
    uint8_t frame[kMaxFrameSize];
    if (!IsFrameAt(pos, &word, &header) || !ReadAt(pos, frame, header.frameSize))
        return pos;
    ParseInfoTag(frame, header);
    if (!m_bInfoTag)
        return pos;
    const int64_t tagPos = pos;
    pos += header.frameSize;
    // A frame count the rest of the audio could not hold, even in frames of
    // the lowest bit rate, means one of two things. Where the tag's byte count
    // agrees with it and runs past the end, the file was cut: the length
    // stays the tag's, and the decoder meets the end of the data early (a
    // read error). Otherwise the count is damage (it would make a file of a
    // few bytes last for years): the frames are counted instead.
    const int64_t rate = header.sampleRate;
    const bool mpeg1 = header.samplesPerFrame == 1152;
    const int64_t smallestFrame = (mpeg1 ? 144 * 32000 : 72 * 8000) / rate;
    const int64_t largestFrame = (mpeg1 ? 144 * 320000 : 72 * 160000) / rate + 1;
    const bool cut = m_tagBytes > m_audioEnd - tagPos && m_tagBytes >= m_tagFrames * smallestFrame &&
                     m_tagBytes <= (m_tagFrames + 1) * largestFrame;
    if (m_tagFrames > std::max<int64_t>(0, m_audioEnd - pos) / smallestFrame && !cut)
        m_tagFrames = -1;
    return pos;
}

void CMp3StreamScanner::Close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_fileSize = m_audioStart = m_audioEnd = 0;
    m_referenceWord = 0;
    m_sampleRate = m_samplesPerFrame = 0;
    m_channels = 0;
    m_bInfoTag = m_bVbrTag = m_bEncoderDelay = false;
    m_tagFrames = m_tagBytes = -1;
    m_encoderDelay = m_encoderPadding = 0;
    m_frames.clear();
    m_scanPos = 0;
    m_bScanDone = false;
    m_bConstantBitRate = true;
    m_bReadError = false;
    m_cache.clear();
    m_cache.shrink_to_fit();
    m_cachePos = 0;
    m_cacheLen = 0;
}

void CMp3StreamScanner::FindAudioEnd(int64_t fileSize)
{
    int64_t end = fileSize;
    uint8_t buf[32];
    if (end >= 128 && ReadAt(end - 128, buf, 3) && std::memcmp(buf, "TAG", 3) == 0)
        end -= 128;
    if (end >= 32 && ReadAt(end - 32, buf, 32) && std::memcmp(buf, "APETAGEX", 8) == 0)
    {
        // The footer's size counts the items and the footer; a header of 32
        // bytes precedes them when flag bit 31 says so.
        const int64_t total = static_cast<int64_t>(LittleEndian32(buf + 12)) +
                              ((LittleEndian32(buf + 20) & 0x80000000u) != 0 ? 32 : 0);
        if (total >= 32 && total <= end)
            end -= total;
    }
    m_audioEnd = end;
}

void CMp3StreamScanner::ParseInfoTag(const uint8_t* frame, const Header& header)
{
    const uint32_t size = header.frameSize;
    const uint32_t p = 4 + header.sideInfoSize;
    bool found = false;
    if (p + 8 <= size && (std::memcmp(frame + p, "Xing", 4) == 0 || std::memcmp(frame + p, "Info", 4) == 0))
    {
        found = true;
        ParseXingTag(frame, size, p);
    }
    else if (36 + 18 <= size && std::memcmp(frame + 36, "VBRI", 4) == 0)
    {
        found = true;
        m_bVbrTag = true;
        m_tagBytes = BigEndian32(frame + 36 + 10);
        m_tagFrames = BigEndian32(frame + 36 + 14);
    }
    if (m_tagFrames == 0)
        m_tagFrames = -1;
    if (m_tagBytes == 0)
        m_tagBytes = -1;
    // A tag without counts is taken for an ordinary frame of audio.
    m_bInfoTag = found && (m_tagFrames > 0 || m_tagBytes > 0);
    if (!m_bInfoTag)
    {
        m_bEncoderDelay = false;
        m_encoderDelay = m_encoderPadding = 0;
    }
}

void CMp3StreamScanner::ParseXingTag(const uint8_t* frame, uint32_t size, uint32_t p)
{
    m_bVbrTag = std::memcmp(frame + p, "Xing", 4) == 0;
    const uint32_t flags = BigEndian32(frame + p + 4);
    p += 8;
    if ((flags & 1) != 0 && p + 4 <= size)
    {
        m_tagFrames = BigEndian32(frame + p);
        p += 4;
    }
    if ((flags & 2) != 0 && p + 4 <= size)
    {
        m_tagBytes = BigEndian32(frame + p);
        p += 4;
    }
    if ((flags & 4) != 0)
        p += 100;
    if ((flags & 8) != 0)
        p += 4;
    // The extension: a 9-byte encoder version, then at byte 21 the encoder
    // delay and the padding at the end, 12 bits each.
    if (p + 24 <= size && (std::memcmp(frame + p, "LAME", 4) == 0 || std::memcmp(frame + p, "Lavf", 4) == 0 ||
                           std::memcmp(frame + p, "Lavc", 4) == 0))
    {
        const uint32_t v =
            (static_cast<uint32_t>(frame[p + 21]) << 16) | (frame[p + 22] << 8) | frame[p + 23];
        m_bEncoderDelay = true;
        m_encoderDelay = v >> 12;
        m_encoderPadding = v & 0xFFF;
    }
}

bool CMp3StreamScanner::ReadAt(int64_t pos, uint8_t* dst, uint32_t len)
{
    if (m_fd < 0 || pos < 0 || len > kCacheSize || pos + len > m_fileSize)
        return false;
    if (pos < m_cachePos || pos + len > m_cachePos + m_cacheLen)
    {
        m_cachePos = pos;
        m_cacheLen = 0;
        const uint32_t want = static_cast<uint32_t>(std::min<int64_t>(kCacheSize, m_fileSize - pos));
        while (m_cacheLen < want)
        {
            const ssize_t got =
                ::pread(m_fd, m_cache.data() + m_cacheLen, want - m_cacheLen, pos + m_cacheLen);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
            {
                m_bReadError = true;
                break;
            }
            m_cacheLen += static_cast<uint32_t>(got);
        }
        if (pos + len > m_cachePos + m_cacheLen)
            return false;
    }
    std::memcpy(dst, m_cache.data() + (pos - m_cachePos), len);
    return true;
}

bool CMp3StreamScanner::ReadWord(int64_t pos, uint32_t* word)
{
    uint8_t b[4];
    if (pos + 4 > m_audioEnd || !ReadAt(pos, b, 4))
        return false;
    *word = BigEndian32(b);
    return true;
}

bool CMp3StreamScanner::IsFrameAt(int64_t pos, uint32_t* word, Header* header)
{
    return ReadWord(pos, word) && ParseHeader(*word, header) &&
           (m_referenceWord == 0 || (*word & kStreamMask) == m_referenceWord);
}

int64_t CMp3StreamScanner::Resync(int64_t pos, bool requireSuccessor)
{
    for (int64_t p = pos; p + 4 <= m_audioEnd; ++p)
    {
        uint32_t word;
        Header header;
        if (!IsFrameAt(p, &word, &header))
        {
            if (m_bReadError)
                return -1;
            continue;
        }
        if (!requireSuccessor)
            return p;
        const int64_t next = p + header.frameSize;
        if (next == m_audioEnd)
            return p;
        uint32_t nextWord;
        Header nextHeader;
        if (!IsFrameAt(next, &nextWord, &nextHeader))
            continue;
        const uint32_t mask = m_referenceWord == 0 ? kFirstFramesMask : kStreamMask;
        if ((word & mask) == (nextWord & mask))
            return p;
    }
    return -1;
}

bool CMp3StreamScanner::ScanNext()
{
    if (m_bScanDone || m_fd < 0)
        return false;
    int64_t pos = m_scanPos;
    uint32_t word;
    Header header;
    if (!IsFrameAt(pos, &word, &header))
    {
        pos = Resync(pos, true);
        if (pos < 0 || !IsFrameAt(pos, &word, &header))
        {
            m_bScanDone = true;
            return false;
        }
    }
    if (pos + header.frameSize > m_audioEnd)
    {
        m_bScanDone = true;
        return false;
    }
    if (!m_frames.empty() && header.bitRate != m_frames.front().bitRate)
        m_bConstantBitRate = false;
    m_frames.push_back({pos, header.frameSize, header.bitRate});
    m_scanPos = pos + header.frameSize;
    return true;
}

bool CMp3StreamScanner::GetFrame(int64_t k, Frame* out)
{
    if (k < 0)
        return false;
    while (static_cast<int64_t>(m_frames.size()) <= k)
        if (!ScanNext())
            return false;
    *out = m_frames[static_cast<size_t>(k)];
    return true;
}

int64_t CMp3StreamScanner::CountFrames()
{
    while (ScanNext())
    {
    }
    return static_cast<int64_t>(m_frames.size());
}

bool CMp3StreamScanner::ReadFrame(const Frame& frame, uint8_t* dst)
{
    if (frame.size > kMaxFrameSize || !ReadAt(frame.pos, dst, frame.size))
    {
        m_bReadError = true;
        return false;
    }
    return true;
}
