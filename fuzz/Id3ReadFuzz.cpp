// Fuzz target for the ID3 readers: the input is opened as a file holding an
// ID3v2 tag at its start (by each of the three ID3v2 readers and by the one
// the tag's version picks, with and without a limit) and an ID3v1 tag at its
// end; every text and the picture are read. The input's leading bytes also
// serve as a title for the ID3v2.3 builder, whose tag must read back.

#include "common/file/CID3v1.h"
#include "common/file/CID3v2Read.h"
#include "common/file/CID3v2_3Create.h"
#include "library/util/CTextUtil.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <memory>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace
{
// The input lives in an anonymous in-memory file, reopened through its
// /proc path like any file on disk.
int InputFile(const char* name)
{
    return ::memfd_create(name, MFD_CLOEXEC);
}

std::wstring PathOf(int fd)
{
    const std::string p = "/proc/self/fd/" + std::to_string(fd);
    return std::wstring(p.begin(), p.end());
}

bool SetContents(int fd, const uint8_t* data, size_t size)
{
    if (::ftruncate(fd, 0) != 0 || ::lseek(fd, 0, SEEK_SET) != 0)
        return false;
    size_t done = 0;
    while (done < size)
    {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

void CheckText(const wchar_t* buf, uint32_t bufLen, uint32_t length)
{
    if (length >= bufLen || buf[length] != L'\0' || std::wcslen(buf) != length)
        __builtin_trap();
}

void ReadEverything(CID3v2Read& r)
{
    using Reader = uint32_t (CID3v2Read::*)(wchar_t*, uint32_t);
    static const Reader readers[] = {
        &CID3v2Read::ReadAlbum,
        &CID3v2Read::ReadSortAlbum,
        &CID3v2Read::ReadAlbumArtist,
        &CID3v2Read::ReadSortAlbumArtist,
        &CID3v2Read::ReadTitle,
        &CID3v2Read::ReadSortTitle,
        &CID3v2Read::ReadArtist,
        &CID3v2Read::ReadSortArtist,
        &CID3v2Read::ReadComposer,
        &CID3v2Read::ReadSortComposer,
        &CID3v2Read::ReadGuitarist,
        &CID3v2Read::ReadSortGuitarist,
        &CID3v2Read::ReadEncodingDevice,
        &CID3v2Read::ReadBPM,
        &CID3v2Read::ReadGrouping,
        &CID3v2Read::ReadTrackNumber,
        &CID3v2Read::ReadDiscNumber,
        &CID3v2Read::ReadCompilation,
        &CID3v2Read::ReadGenre,
        &CID3v2Read::ReadRecYear,
        &CID3v2Read::ReadRecDate,
        &CID3v2Read::ReadRecTime,
        &CID3v2Read::ReadRecDateFormatted,
        &CID3v2Read::ReadRecTimeFormatted,
    };
    wchar_t big[300];
    wchar_t tiny[3];
    for (const Reader read : readers)
    {
        CheckText(big, 300, (r.*read)(big, 300));
        CheckText(tiny, 3, (r.*read)(tiny, 3));
    }

    const int64_t framesStart = r.GetFramesStart();
    const int64_t framesEnd = r.GetFramesEnd();
    if (framesStart > framesEnd || framesEnd > r.GetFileSize())
        __builtin_trap();

    const uint32_t size = r.ReadImageFrontCover(nullptr, 0);
    if (size > CID3v2Read::kMaxPictureSize || size > framesEnd - framesStart)
        __builtin_trap();
    if (size > 0)
    {
        std::vector<unsigned char> picture(size + 1);
        if (r.ReadImageFrontCover(picture.data(), size + 1) != size)
            __builtin_trap();
        if (r.ReadImageFrontCover(picture.data(), size - 1) != 0)
            __builtin_trap();
    }
    r.ReadAttachedPictureFrame(nullptr, 0, kID3v2PictureFrontCover);
}

void ReadID3v1(const std::wstring& path)
{
    CID3v1FileRead v1;
    if (v1.OpenFile(path.c_str()) != 0)
        return;
    char buf[100];
    char tiny[2];
    using Getter = uint32_t (CID3v1::*)(char*, uint32_t) const;
    static const Getter getters[] = {&CID3v1::GetSongTitle, &CID3v1::GetArtist, &CID3v1::GetAlbum,
                                     &CID3v1::GetComment,   &CID3v1::GetGenre,  &CID3v1::GetRecDateFormatted};
    for (const Getter get : getters)
    {
        if ((v1.*get)(buf, sizeof(buf)) != std::strlen(buf) ||
            (v1.*get)(tiny, sizeof(tiny)) != std::strlen(tiny))
            __builtin_trap();
    }
    v1.GetTrackNumber();
}

// A title made of the input's first bytes (as UTF-8) must read back from the
// built tag as it was written, as far as the reader's text limit goes.
void BuildAndReadBack(const uint8_t* data, size_t size, int fd)
{
    wchar_t title[200];
    CTextUtil::UTF8toWChar(data, static_cast<uint32_t>(std::min<size_t>(size, 150)), title, 120);
    CID3v2_3Create tag;
    tag.SetTitle(title);
    tag.SetRecDateFormatted(title);
    tag.SetRecTimeFormatted(title);
    tag.SetImageFrontCover(data, static_cast<uint32_t>(size));
    if (tag.GetBufFilledSize() == 0)
        return;
    if (!SetContents(fd, tag.GetBufferPtr(), tag.GetBufFilledSize()))
        return;
    std::unique_ptr<CID3v2Read> reader(CID3v2Read::CreateReaderForTag(PathOf(fd).c_str(), 0));
    if (reader == nullptr)
        __builtin_trap();
    wchar_t back[200];
    reader->ReadTitle(back, 200);
    // Texts outside the Basic Multilingual Plane take two units, which the
    // reader's limit may cut differently.
    bool bmp = true;
    for (const wchar_t* c = title; *c != L'\0'; ++c)
        bmp = bmp && *c < 0x10000;
    if (bmp && std::wcscmp(back, title) != 0)
        __builtin_trap();
    if (size <= CID3v2_3Create::kMaxPictureSize && reader->ReadImageFrontCover(nullptr, 0) != 0 &&
        reader->ReadImageFrontCover(nullptr, 0) != size)
        __builtin_trap();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const int input = InputFile("id3-fuzz");
    static const int built = InputFile("id3-fuzz-built");
    if (input < 0 || built < 0 || !SetContents(input, data, size))
        return 0;
    const std::wstring path = PathOf(input);

    {
        std::unique_ptr<CID3v2Read> reader(CID3v2Read::CreateReaderForTag(path.c_str(), 0));
        if (reader != nullptr)
            ReadEverything(*reader);
    }
    {
        // The tag inside an enclosing chunk that ends early.
        std::unique_ptr<CID3v2Read> reader(
            CID3v2Read::CreateReaderForTag(path.c_str(), 0, static_cast<int64_t>(size / 2)));
        if (reader != nullptr)
            ReadEverything(*reader);
    }
    CID3v2Read v22;
    if (v22.OpenFile(path.c_str(), 0) == 0)
        ReadEverything(v22);
    CID3v2_3Read v23;
    if (v23.OpenFile(path.c_str(), 0) == 0)
        ReadEverything(v23);
    CID3v2_4Read v24;
    if (v24.OpenFile(path.c_str(), 0) == 0)
        ReadEverything(v24);

    ReadID3v1(path);
    BuildAndReadBack(data, size, built);
    return 0;
}
