#include "common/disc/linux/CAudioCDPath.h"

#include <juce_core/juce_core.h>

#include <sys/stat.h>

namespace
{
const std::wstring kDevicePrefix = L"/dev/";
const std::wstring kTrackPrefix = L"Track ";

std::string ToUtf8(const std::wstring& text)
{
    return juce::String(text.c_str()).toStdString();
}

std::wstring StripTrailingSlashes(std::wstring path)
{
    while (path.size() > 1 && path.back() == L'/')
        path.pop_back();
    return path;
}

bool EndsWith(const std::wstring& text, const std::wstring& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool IsImageVolumeText(const std::wstring& path)
{
    // As the image driver of libcdio takes them: "cue" in one letter case,
    // with at least one character before the dot.
    if (!EndsWith(path, L".cue") && !EndsWith(path, L".CUE"))
        return false;
    const size_t slash = path.rfind(L'/');
    const size_t nameStart = slash == std::wstring::npos ? 0 : slash + 1;
    return path.size() - nameStart > 4;
}

bool IsDeviceVolumeText(const std::wstring& path)
{
    return path.size() > kDevicePrefix.size() && path.compare(0, kDevicePrefix.size(), kDevicePrefix) == 0 &&
           path.find(kTrackPrefix) == std::wstring::npos;
}

bool IsVolumeText(const std::wstring& path)
{
    return IsImageVolumeText(path) || IsDeviceVolumeText(path);
}

// The number of a "Track NN" name; 0 for any other name.
int TrackNumberOfName(const std::wstring& name)
{
    if (name.size() <= kTrackPrefix.size() || name.size() > kTrackPrefix.size() + 2 ||
        name.compare(0, kTrackPrefix.size(), kTrackPrefix) != 0)
        return 0;
    int number = 0;
    for (size_t i = kTrackPrefix.size(); i < name.size(); ++i)
    {
        if (name[i] < L'0' || name[i] > L'9')
            return 0;
        number = number * 10 + (name[i] - L'0');
    }
    return number >= 1 && number <= CAudioCDPath::kMaxTrackNumber ? number : 0;
}

bool IsRegularFile(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}
} // namespace

bool CAudioCDPath::Parse(const wchar_t* path, std::wstring* volume, int* trackNumber)
{
    if (volume != nullptr)
        volume->clear();
    if (trackNumber != nullptr)
        *trackNumber = kNoTrack;
    if (path == nullptr)
        return false;
    const std::wstring text = StripTrailingSlashes(path);

    std::wstring root;
    int number = kNoTrack;
    const size_t slash = text.rfind(L'/');
    const int named = slash == std::wstring::npos ? 0 : TrackNumberOfName(text.substr(slash + 1));
    if (named != 0 && IsVolumeText(text.substr(0, slash)))
    {
        root = text.substr(0, slash);
        number = named;
    }
    else if (IsVolumeText(text))
    {
        root = text;
    }
    else
    {
        return false;
    }
    if (volume != nullptr)
        *volume = root;
    if (trackNumber != nullptr)
        *trackNumber = number;
    return true;
}

bool CAudioCDPath::IsCDPath(const wchar_t* path)
{
    return Parse(path, nullptr, nullptr);
}

bool CAudioCDPath::IsVolumePath(const wchar_t* path)
{
    int number = kNoTrack;
    return Parse(path, nullptr, &number) && number == kNoTrack;
}

bool CAudioCDPath::IsTrackPath(const wchar_t* path)
{
    int number = kNoTrack;
    return Parse(path, nullptr, &number) && number != kNoTrack;
}

bool CAudioCDPath::IsImagePath(const wchar_t* path)
{
    std::wstring root;
    return Parse(path, &root, nullptr) && IsImageVolumeText(root);
}

std::wstring CAudioCDPath::GetRoot(const wchar_t* path)
{
    std::wstring root;
    Parse(path, &root, nullptr);
    return root;
}

std::wstring CAudioCDPath::MakeTrackPath(const wchar_t* volume, int trackNumber)
{
    if (!IsVolumePath(volume) || trackNumber < 1 || trackNumber > kMaxTrackNumber)
        return {};
    wchar_t digits[3] = {static_cast<wchar_t>(L'0' + trackNumber / 10),
                         static_cast<wchar_t>(L'0' + trackNumber % 10), L'\0'};
    return StripTrailingSlashes(volume) + L"/" + kTrackPrefix + digits;
}

std::wstring CAudioCDPath::GetVolumeName(const wchar_t* path)
{
    std::wstring root;
    if (!Parse(path, &root, nullptr) || !IsImageVolumeText(root))
        return {};
    const size_t slash = root.rfind(L'/');
    const std::wstring name = slash == std::wstring::npos ? root : root.substr(slash + 1);
    return name.substr(0, name.size() - 4);
}

std::wstring CAudioCDPath::GetImageDataPath(const wchar_t* path)
{
    std::wstring root;
    if (!Parse(path, &root, nullptr) || !IsImageVolumeText(root))
        return {};
    const bool upper = EndsWith(root, L".CUE");
    return root.substr(0, root.size() - 3) + (upper ? L"BIN" : L"bin");
}

bool CAudioCDPath::VolumeExists(const wchar_t* path)
{
    std::wstring root;
    if (!Parse(path, &root, nullptr))
        return false;
    if (IsImageVolumeText(root))
        return IsRegularFile(ToUtf8(root)) && IsRegularFile(ToUtf8(GetImageDataPath(root.c_str())));
    struct stat st;
    return ::stat(ToUtf8(root).c_str(), &st) == 0 && S_ISBLK(st.st_mode);
}
