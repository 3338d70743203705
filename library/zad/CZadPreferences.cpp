#include "library/zad/CZadPreferences.h"

#include "library/util/CAtomicFileWriter.h"
#include "library/vextal_juce/common/CZJEXmlReader.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace
{
// The elements and attributes of the settings file.
const char* const kFileTag = "PROPERTIES";
const char* const kValueTag = "VALUE";
const char* const kNameAttribute = "name";
const char* const kValueAttribute = "val";
const char* const kSettingsExtension = ".settings";
// A settings file larger than this is not read.
const juce::int64 kMaxFileSize = 16 * 1024 * 1024;

// Makes a juce::String of a UTF-8 text; false for null, empty or ill-formed text.
bool MakeText(const char* text, juce::String& result)
{
    if (text == nullptr || text[0] == '\0')
        return false;
    const std::size_t length = std::strlen(text);
    if (length > static_cast<std::size_t>(INT_MAX) ||
        !juce::CharPointer_UTF8::isValidString(text, static_cast<int>(length)))
        return false;
    result = juce::String::fromUTF8(text, static_cast<int>(length));
    return true;
}

// Parses an optional sign followed by at least one digit and nothing else,
// within the range of a 32-bit integer.
bool ParseInt32(const juce::String& text, int& result)
{
    const char* p = text.toRawUTF8();
    bool negative = false;
    if (*p == '+' || *p == '-')
    {
        negative = (*p == '-');
        ++p;
    }
    if (*p == '\0')
        return false;
    int64_t magnitude = 0;
    for (; *p != '\0'; ++p)
    {
        if (*p < '0' || *p > '9')
            return false;
        magnitude = magnitude * 10 + (*p - '0');
        if (magnitude > int64_t(INT32_MAX) + 1)
            return false;
    }
    const int64_t value = negative ? -magnitude : magnitude;
    if (value > INT32_MAX)
        return false;
    result = static_cast<int>(value);
    return true;
}

// The values of a settings document: the "val" attribute of each VALUE
// element by its "name" attribute (a value stored as an element, as the
// framework's own writer stores text that looks like XML, as that element's
// text). A file that holds no settings document (a corrupt, truncated or
// foreign file, one that is too large, nested too deep or cannot be read) is
// not loaded at all and reads as an empty store.
void LoadValues(const juce::File& file, juce::StringPairArray& values)
{
    const std::unique_ptr<juce::XmlElement> document = CZJEXmlReader::ParseFile(file, kMaxFileSize);
    if (document == nullptr || !document->hasTagName(kFileTag))
        return;
    for (const auto* element : document->getChildWithTagNameIterator(kValueTag))
    {
        const juce::String name = element->getStringAttribute(kNameAttribute);
        if (name.isEmpty())
            continue;
        const juce::XmlElement* inner = element->getFirstChildElement();
        values.set(name, inner != nullptr
                             ? inner->toString(juce::XmlElement::TextFormat().singleLine().withoutHeader())
                             : element->getStringAttribute(kValueAttribute));
    }
}

// Settings files the framework's writer left behind when the application was
// killed while it saved: "NAME_temp" + hexadecimal digits (and maybe a
// counter) + ".settings".
bool IsLeftoverTemporary(const juce::String& fileName)
{
    const juce::String mark = "_temp";
    const int at = fileName.lastIndexOf(mark);
    if (at <= 0 || !fileName.endsWith(kSettingsExtension))
        return false;
    const juce::String digits =
        fileName.substring(at + mark.length()).dropLastCharacters(juce::String(kSettingsExtension).length());
    return digits.isNotEmpty() && digits.containsOnly("0123456789abcdefABCDEF");
}
} // namespace

CZadPreferences::CZadPreferences() = default;

CZadPreferences::~CZadPreferences()
{
    Close();
}

juce::File CZadPreferences::GetSettingsFolder()
{
    juce::File config;
    juce::String xdgConfigHome;
    if (MakeText(std::getenv("XDG_CONFIG_HOME"), xdgConfigHome) && xdgConfigHome.startsWithChar('/'))
    {
        config = juce::File(xdgConfigHome);
    }
    else
    {
        const juce::File home = juce::File::getSpecialLocation(juce::File::userHomeDirectory);
        if (home == juce::File())
            return {};
        config = home.getChildFile(".config");
    }
    return config.getChildFile("Vextal");
}

juce::File CZadPreferences::GetSettingsFile(const char* appId)
{
    juce::String name;
    if (!MakeText(appId, name) || name.containsChar('/') || name == "." || name == "..")
        return {};
    const juce::File folder = GetSettingsFolder();
    if (folder == juce::File())
        return {};
    return folder.getChildFile(name + kSettingsExtension);
}

bool CZadPreferences::Open(const char* appId)
{
    Close();
    const juce::File file = GetSettingsFile(appId);
    if (file == juce::File())
        return false;
    return OpenFile(file);
}

bool CZadPreferences::OpenFile(const juce::File& file)
{
    Close();
    if (file == juce::File())
        return false;

    juce::PropertiesFile::Options options;
    options.storageFormat = juce::PropertiesFile::storeAsXML;
    options.ignoreCaseOfKeyNames = false;
    options.millisecondsBeforeSaving = -1;
    // The file is read and written here only, never by PropertiesFile itself:
    // its own writer stores values that look like XML as elements, which does
    // not give back the same text, and its reader parses any document.
    options.doNotSave = true;
    m_properties = std::make_unique<juce::PropertiesFile>(juce::File(), options);
    {
        const juce::ScopedLock sl(m_properties->getLock());
        LoadValues(file, m_properties->getAllProperties());
    }
    m_file = file;
    return true;
}

int CZadPreferences::ReadInteger(const char* key, int defaultValue) const
{
    const std::optional<juce::String> text = ReadString(key);
    int value = 0;
    if (!text.has_value() || !ParseInt32(*text, value))
        return defaultValue;
    return value;
}

std::optional<juce::String> CZadPreferences::ReadString(const char* key) const
{
    juce::String name;
    if (m_properties == nullptr || !MakeText(key, name))
        return std::nullopt;
    const juce::ScopedLock sl(m_properties->getLock());
    if (!m_properties->containsKey(name))
        return std::nullopt;
    return m_properties->getValue(name);
}

void CZadPreferences::WriteInteger(const char* key, int value)
{
    WriteString(key, juce::String(value));
}

void CZadPreferences::WriteString(const char* key, juce::String value)
{
    juce::String name;
    if (m_properties == nullptr || !MakeText(key, name))
        return;
    m_properties->setValue(name, std::move(value));
}

bool CZadPreferences::Synchronize()
{
    if (m_properties == nullptr)
        return false;

    const juce::ScopedLock sl(m_properties->getLock());
    if (!m_properties->needsToBeSaved())
        return true;

    // Every value is written as an attribute, so it reads back as the same text.
    juce::XmlElement document(kFileTag);
    const juce::StringPairArray& values = m_properties->getAllProperties();
    for (int i = 0; i < values.size(); ++i)
    {
        juce::XmlElement* element = document.createNewChildElement(kValueTag);
        element->setAttribute(kNameAttribute, values.getAllKeys()[i]);
        element->setAttribute(kValueAttribute, values.getAllValues()[i]);
    }

    if (m_file.isDirectory() || !m_file.getParentDirectory().createDirectory().wasOk())
        return false;
    const juce::String text = document.toString();
    CAtomicFileWriter writer;
    if (!writer.Open(m_file.getFullPathName().toStdString()) ||
        !writer.Write(text.toRawUTF8(), text.getNumBytesAsUTF8()) || !writer.Commit())
        return false;
    m_properties->setNeedsToBeSaved(false);
    return true;
}

int CZadPreferences::RemoveStaleTemporaries()
{
    const juce::File folder = GetSettingsFolder();
    if (folder == juce::File() || !folder.isDirectory())
        return 0;
    int removed = CAtomicFileWriter::RemoveStaleTemporaries(folder.getFullPathName().toStdString());
    for (const auto& entry : juce::RangedDirectoryIterator(
             folder, false, juce::String("*") + kSettingsExtension, juce::File::findFiles))
    {
        if (IsLeftoverTemporary(entry.getFile().getFileName()) && entry.getFile().deleteFile())
            ++removed;
    }
    return removed;
}

bool CZadPreferences::Close()
{
    if (m_properties == nullptr)
        return true;
    const bool written = Synchronize();
    m_properties.reset();
    m_file = juce::File();
    return written;
}
