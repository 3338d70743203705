#include "src/songlist/SonglistFile.h"

#include "library/util/CAtomicFileWriter.h"
#include "library/util/CCheckUtil.h"
#include "library/vextal_juce/common/CZJEXmlReader.h"
#include "src/songlist/TrackInfo.h"

#include <algorithm>
#include <string>

namespace Vextal
{
namespace
{
constexpr int kNumVersionParts = 4;

// A version part: its digits as a number, limited to 32 bits.
uint64_t VersionPart(const juce::String& digits)
{
    uint64_t value = 0;
    for (const juce::juce_wchar c : digits)
        value = std::min<uint64_t>(0xFFFFFFFFu, value * 10 + static_cast<uint64_t>(c - '0'));
    return value;
}

// An output stream into a string that grows geometrically: the framework's
// memory stream grows by at most a megabyte at a time, which copies a large
// songlist over and over where reallocation moves the bytes.
class TextOutput : public juce::OutputStream
{
public:
    void flush() override {}
    bool setPosition(juce::int64) override { return false; }
    juce::int64 getPosition() override { return static_cast<juce::int64>(m_bytes.size()); }
    bool write(const void* data, size_t size) override
    {
        m_bytes.append(static_cast<const char*>(data), size);
        return true;
    }
    const std::string& Bytes() const { return m_bytes; }

private:
    std::string m_bytes;
};

void AddProperties(juce::XmlElement& root)
{
    const juce::Time now = juce::Time::getCurrentTime();
    auto* properties = new juce::XmlElement("ProjectProperties");
    root.prependChildElement(properties);
    properties->createNewChildElement("Creator")->addTextElement("Vextal");
    properties->createNewChildElement("SaveDate")->addTextElement(now.toString(true, false));
    properties->createNewChildElement("SaveTime")->addTextElement(now.toString(false, true, true, true));
}
} // namespace

uint32_t SonglistFile::parseVersion(const juce::String& text)
{
    juce::StringArray parts;
    parts.addTokens(text.retainCharacters("0123456789."), ".", "");
    uint64_t version = 0;
    for (int k = 0; k < std::min(kNumVersionParts, parts.size()); ++k)
        version |= VersionPart(parts[k]) << (24 - 8 * k);
    return static_cast<uint32_t>(std::min<uint64_t>(version, 0xFFFFFFFFu));
}

std::unique_ptr<juce::XmlElement> SonglistFile::createDocument(const std::vector<const TrackInfo*>& songs,
                                                               const juce::File& target)
{
    auto root = std::make_unique<juce::XmlElement>(kRootName);
    root->setAttribute("version", kVersionText);
    const juce::File folder = target.getParentDirectory();
    // Appending a child walks the list of children, prepending does not:
    // the songs go in from the last, then the properties before them.
    for (auto it = songs.rbegin(); it != songs.rend(); ++it)
        if (VX_CHECK(*it != nullptr))
            root->prependChildElement((*it)->serializeToXml(static_cast<int>(kVersion), folder).release());
    AddProperties(*root);
    return root;
}

juce::MemoryBlock SonglistFile::toBytes(const juce::XmlElement& document)
{
    juce::XmlElement::TextFormat format;
    format.newLineChars = "\n";
    format.lineWrapLength = 1 << 20;
    TextOutput out;
    document.writeTo(out, format);
    return juce::MemoryBlock(out.Bytes().data(), out.Bytes().size());
}

bool SonglistFile::write(const std::vector<const TrackInfo*>& songs, const juce::File& target, bool* tooLarge)
{
    if (tooLarge != nullptr)
        *tooLarge = false;
    if (target == juce::File())
        return false;
    const juce::MemoryBlock bytes = toBytes(*createDocument(songs, target));
    if (static_cast<int64_t>(bytes.getSize()) > kMaxFileBytes)
    {
        if (tooLarge != nullptr)
            *tooLarge = true;
        return false;
    }
    return CAtomicFileWriter::WriteWholeFile(target.getFullPathName().toStdString(), bytes.getData(),
                                             bytes.getSize());
}

SonglistFile::ReadResult SonglistFile::check(const juce::XmlElement* root)
{
    if (root == nullptr || !root->hasTagName(kRootName))
        return ReadResult::kInvalid;
    return isNewerVersion(root->getStringAttribute("version")) ? ReadResult::kNewerVersion : ReadResult::kOk;
}

SonglistFile::ReadResult SonglistFile::read(const juce::File& file, std::unique_ptr<juce::XmlElement>& root)
{
    root.reset();
    std::unique_ptr<juce::XmlElement> document = CZJEXmlReader::ParseFile(file, kMaxFileBytes);
    const ReadResult result = check(document.get());
    if (result == ReadResult::kOk)
        root = std::move(document);
    return result;
}
} // namespace Vextal
