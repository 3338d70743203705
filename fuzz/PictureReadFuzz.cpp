// Fuzz target for the picture readers: the input is opened as a JPEG file, a
// PNG file and as an audio file holding a picture (under an AIFF and an M4A
// name), every picture found is loaded whole and decoded.

#include "common/file/CAudioFileAttachedPictureRead.h"
#include "common/file/CJpegFileRead.h"
#include "common/file/CPngFileRead.h"
#include "fuzz/FuzzSupport.h"
#include "library/vextal_juce/common/CZJEImageLoader.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace
{
void LoadAndDecode(CImageFileReadBase& r)
{
    const uint32_t size = r.GetImageSize();
    if (size > CImageFileReadBase::kMaxImageSize)
        __builtin_trap();
    const uint32_t loaded = r.LoadImage();
    if (loaded != r.GetLoadedImageSize() || (loaded != 0 && loaded != size) ||
        (loaded == 0) != (r.GetImagePtr() == nullptr))
        __builtin_trap();
    if (loaded > 0)
        CZJEImageLoader::Decode(r.GetImagePtr(), loaded);
    r.CloseFile();
    if (r.GetImageSize() != 0 || r.GetImagePtr() != nullptr)
        __builtin_trap();
}

// A picture file is loaded as it stands.
void ReadPictureFile(CStandardImageFileReadBase& r, const std::wstring& path, const uint8_t* data,
                     size_t size)
{
    if (r.OpenFile(path.c_str()) != 0)
        return;
    if (r.GetImageSize() != size || r.LoadImage() != size || std::memcmp(r.GetImagePtr(), data, size) != 0)
        __builtin_trap();
    LoadAndDecode(r);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::wstring* input = fuzzsupport::StoreInput("picture-fuzz", data, size);
    if (input == nullptr)
        return 0;
    static const std::wstring aiff = fuzzsupport::LinkToInput(*input, "input.aif");
    static const std::wstring m4a = fuzzsupport::LinkToInput(*input, "input.m4a");

    CJpegFileRead jpeg;
    ReadPictureFile(jpeg, *input, data, size);
    CPngFileRead png;
    ReadPictureFile(png, *input, data, size);

    for (const std::wstring* path : {&aiff, &m4a})
    {
        CAudioFileAttachedPictureRead attached;
        if (!path->empty() && attached.OpenFile(path->c_str()) == 0)
            LoadAndDecode(attached);
    }
    return 0;
}
