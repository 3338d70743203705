// Fuzz target for the songlist reader: the input is read as a songlist file,
// every song is made from it, and the songs are written out again. Any input
// is read or refused without a crash or a hang; what was read always writes a
// document that the reader reads back with as many songs.

#include "fuzz/FuzzSupport.h"
#include "library/vextal_juce/common/CZJEXmlReader.h"
#include "src/songlist/SonglistFile.h"
#include "src/songlist/TrackInfo.h"
#include "src/songlist/VXSLReader.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::wstring* input = fuzzsupport::StoreInput("songlist-fuzz", data, size);
    if (input == nullptr)
        return 0;
    Vextal::VXSLReader reader(juce::String(input->c_str()));
    std::vector<std::unique_ptr<Vextal::TrackInfo>> songs;
    while (reader.isReady())
    {
        songs.push_back(reader.next());
        if (songs.back() == nullptr)
            __builtin_trap();
    }
    if (reader.getCurrentProgress() != 1.0)
        __builtin_trap();

    std::vector<const Vextal::TrackInfo*> records;
    for (const auto& song : songs)
        records.push_back(song.get());
    const juce::File target("/nonexistent-folder/out.vxsl");
    const juce::MemoryBlock bytes =
        Vextal::SonglistFile::toBytes(*Vextal::SonglistFile::createDocument(records, target));
    const std::unique_ptr<juce::XmlElement> again = CZJEXmlReader::Parse(bytes.getData(), bytes.getSize());
    if (Vextal::SonglistFile::check(again.get()) != Vextal::SonglistFile::ReadResult::kOk)
        __builtin_trap();
    if (again->getNumChildElements() != static_cast<int>(songs.size()) + 1)
        __builtin_trap();
    return 0;
}
