#include "src/Resource/CVXResourceManager.h"

#include "library/vextal_juce/common/CZJEImageLoader.h"

namespace
{
std::array<const char*, Vextal::kResourceManagerImageCount> MakeNames()
{
    std::array<const char*, Vextal::kResourceManagerImageCount> names{};
    for (size_t i = 0; i < names.size(); ++i)
        names[i] = Vextal::kImageTable[i].name;
    return names;
}

bool IsImageIndex(int index)
{
    return index >= 0 && index < Vextal::kResourceManagerImageCount;
}
} // namespace

const std::array<const char*, Vextal::kResourceManagerImageCount> CVXResourceManager::sm_apResName =
    MakeNames();

CVXResourceManager::CVXResourceManager() : m_pResource(CZJESingleton<CZJEResource>::CreateInstance())
{
    CVXImageResourceReader reader(*m_pResource);
    for (size_t i = 0; i < m_images.size(); ++i)
        m_images[i] = reader.Read(sm_apResName[i]);
}

CVXResourceManager::~CVXResourceManager()
{
    for (auto& image : m_images)
        image = juce::Image();
    CZJESingleton<CZJEResource>::DestroyInstance();
}

juce::Image CVXResourceManager::GetImage(int index) const
{
    return IsImageIndex(index) ? m_images[static_cast<size_t>(index)] : juce::Image();
}

juce::Image CVXResourceManager::Get(int index)
{
    const juce::ScopedLock sl(sm_mCritical);
    return sm_pInstance != nullptr ? sm_pInstance->GetImage(index) : juce::Image();
}

CVXImageResourceReader::CVXImageResourceReader(CZJEResource& resource)
    : m_resource(resource), m_buffer(static_cast<size_t>(kInitialBufferSize)),
      m_bufferSize(kInitialBufferSize)
{
}

juce::Image CVXImageResourceReader::Read(const char* name)
{
    int fileSize = -1;
    int n = m_resource.Load(name, Vextal::kImageType, m_buffer.get(), m_bufferSize, &fileSize);
    if (fileSize > m_bufferSize)
    {
        m_buffer.realloc(static_cast<size_t>(fileSize));
        m_bufferSize = fileSize;
        n = m_resource.Load(name, Vextal::kImageType, m_buffer.get(), m_bufferSize, &fileSize);
    }
    if (n <= 0)
        return {};
    return CZJEImageLoader::Decode(m_buffer.get(), static_cast<size_t>(n));
}
