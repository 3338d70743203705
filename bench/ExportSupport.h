#pragma once

// What the export benchmarks share: ExportBench's plain export of a WAV file
// through our WAV reader, export converter and WAV writer (24 bits, TPDF
// dither), the conversion other benchmarks are measured against.

#include "common/dsp/CAudioFileConverterPcmOutput.h"
#include "common/file/CWavFileRead.h"
#include "common/file/CWavFileWrite.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace benchexport
{
// Benchmark paths are ASCII.
inline std::wstring WidePath(const std::filesystem::path& p)
{
    const std::string s = p.string();
    return std::wstring(s.begin(), s.end());
}

inline bool ExportWav(const std::filesystem::path& in, const std::filesystem::path& out, uint32_t outRate)
{
    CWavFileRead reader;
    if (reader.OpenFile(WidePath(in).c_str()) != 0)
        return false;
    CWavFileWrite writer;
    if (writer.OpenFile(WidePath(out).c_str(), outRate, 24, reader.GetNumChannels(), 0) != 0)
        return false;
    CAudioFileConverterPcmOutput converter(reader.GetNumChannels());
    converter.SetOutputProcessType(kOutputProcessTpdfDither);
    if (!converter.SetAudioFiles(&reader, &writer, false))
        return false;
    const int result = converter.Process();
    converter.EjectAudioFiles();
    return writer.CloseFile() && result == kConvertDone;
}
} // namespace benchexport
