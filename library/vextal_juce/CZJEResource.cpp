#include "library/vextal_juce/CZJEResource.h"

#include "library/vextal_juce/common/CZJEImageLoader.h"
#include "library/vextal_juce/common/CZJEXmlReader.h"

#include <algorithm>
#include <limits>

const char* const CZJEResource::kStringTableName = "LocalizableStrings";
const char* const CZJEResource::kStringTableType = "xml";

namespace
{
// The size of file in bytes; -1 when it is missing, not a regular file or too
// large for the int sizes of the reading interface.
int64_t SizeOf(const juce::File& file)
{
    if (file == juce::File() || !file.existsAsFile())
        return -1;
    const int64_t size = file.getSize();
    if (size < 0 || size > std::numeric_limits<int>::max())
        return -1;
    return size;
}

// Reads up to n bytes of file into dst; returns the number read.
int ReadFile(const juce::File& file, uint8_t* dst, int n)
{
    juce::FileInputStream stream(file);
    if (!stream.openedOk())
        return 0;
    int total = 0;
    while (total < n)
    {
        const int got = stream.read(dst + total, n - total);
        if (got <= 0)
            break;
        total += got;
    }
    return total;
}

// Reads the resource file into buf as Load describes.
int LoadFile(const juce::File& file, uint8_t* buf, int bufSize, int* outSize)
{
    const int64_t size = SizeOf(file);
    if (outSize != nullptr)
        *outSize = static_cast<int>(size);
    if (size < 1 || buf == nullptr || bufSize <= 0)
        return 0;
    return ReadFile(file, buf, static_cast<int>(std::min<int64_t>(bufSize, size)));
}
} // namespace

CZJEResource::CZJEResource() : CZJEResource(CZJEResourceFolder()) {}

CZJEResource::CZJEResource(const CZJEResourceFolder& folder) : m_folder(folder)
{
    LoadStringTables();
}

CZJEResource::~CZJEResource() = default;

void CZJEResource::LoadStringTables()
{
    const juce::ScopedLock sl(m_bufferLock);
    for (const auto& language : m_folder.GetLanguages())
    {
        const juce::File file = m_folder.FindLocalizedResource(language, kStringTableName, kStringTableType);
        const int n = ReadIntoBuffer(file);
        if (const auto table = CZJEXmlReader::Parse(m_buffer.get(), static_cast<size_t>(n)))
        {
            m_strings.Add(table.get());
            if (m_stringTableLanguage.isEmpty())
                m_stringTableLanguage = language;
        }
    }
}

juce::String CZJEResource::GetLocalizedString(const juce::String& key) const
{
    return m_strings.Get(key);
}

juce::String CZJEResource::GetText(const juce::String& key)
{
    const juce::ScopedLock sl(sm_mCritical);
    return sm_pInstance != nullptr ? sm_pInstance->GetLocalizedString(key) : juce::String();
}

int CZJEResource::Load(const juce::String& name, const juce::String& type, uint8_t* buf, int bufSize,
                       int* outSize)
{
    return LoadFile(m_folder.FindResource(name, type), buf, bufSize, outSize);
}

int CZJEResource::ReadIntoBuffer(const juce::File& file)
{
    int size = -1;
    LoadFile(file, nullptr, 0, &size);
    if (size < 1)
        return 0;
    if (size > m_bufferSize)
    {
        m_buffer.realloc(static_cast<size_t>(size));
        m_bufferSize = size;
    }
    return LoadFile(file, m_buffer.get(), m_bufferSize, nullptr);
}

std::unique_ptr<juce::XmlElement> CZJEResource::LoadXml(const juce::String& name, const juce::String& type)
{
    const juce::ScopedLock sl(m_bufferLock);
    const int n = ReadIntoBuffer(m_folder.FindResource(name, type));
    return CZJEXmlReader::Parse(m_buffer.get(), static_cast<size_t>(n));
}

juce::Image CZJEResource::LoadImageZJE(const juce::String& name, const juce::String& type)
{
    const juce::ScopedLock sl(m_bufferLock);
    const int n = ReadIntoBuffer(m_folder.FindResource(name, type));
    return CZJEImageLoader::Decode(m_buffer.get(), static_cast<size_t>(n));
}

void CZJEResource::DisposeBuffer()
{
    const juce::ScopedLock sl(m_bufferLock);
    m_buffer.free();
    m_bufferSize = 0;
}

int CZJEResource::GetBufferSize() const
{
    const juce::ScopedLock sl(m_bufferLock);
    return m_bufferSize;
}
