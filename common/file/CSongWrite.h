#pragma once

#include "common/file/CAudioRecorderOutput.h"

#include <cstdint>
#include <string>
#include <vector>

class CChannelGroupWrite;

// The export sink of one song: writes files of one format section by section
// through a channel group, one file for all channels or one per channel.
//
// The owner fills the sink's markers (seconds from the start of the song) and
// song information. When a section is closed its files get the markers that
// fall into it, moved to its start, and the song information. A song of one
// section keeps the plain name base + extension; once a second section is
// wanted every section is numbered: base.001 + extension, base.002 + ... (and
// base.001.trk1 + extension ... for one file per channel). The owner numbers
// the first section by closing it with CloseCurrentSection(true) before
// OpenNewSection().
//
// Files are written beside their targets and replace them only when their
// section is closed completely.
class CSongWrite : public CAudioRecorderOutput
{
public:
    // The longest base name and extension taken, in characters.
    static constexpr size_t kMaxBaseNameLength = 1024;
    static constexpr size_t kMaxExtensionLength = 15;

    // formatId as the writer factory takes it; channelsPerFile 2 writes one
    // file for both channels, 1 one file per channel.
    CSongWrite(const char* formatId, uint32_t sampleRate, uint16_t bitsPerSample, uint16_t totalChannels,
               uint16_t channelsPerFile, int quality);
    // Closes the current section (its result is lost: call
    // CloseCurrentSection to learn it).
    ~CSongWrite() override;

    // Takes the output away: discards the open section without touching its
    // targets, and deletes the files of the sections closed before.
    void RemoveFile() override;
    uint32_t GetSampleRate() override;
    uint16_t GetNumChannels() override;
    uint16_t GetBitsPerSample() override;
    bool IsFloatingPoint() override;
    // Into the current section; 0 when none is open.
    uint32_t WriteAudioData(float** bufs, uint32_t n) override;
    uint32_t WriteAudioData(int32_t** bufs, uint32_t n) override;
    uint32_t WriteAudioData(uint8_t** bufs, uint32_t n) override;
    // Hands the song information to the open section's files at once.
    void SetMetaDataFixed() override;

    // Closes any output, then opens section 1 of base (a path without
    // extension) + ext. False when a name is too long or a file cannot be
    // created; nothing is left open then.
    virtual bool OpenAudioFile(const wchar_t* base, const wchar_t* ext);
    // Closes the current output and forgets its names.
    virtual void EjectAllFiles();
    // Opens the next section (closing an open one first).
    virtual bool OpenNewSection();
    // Closes the current section, numbered when asked or when it is not the
    // first. False when no section was open, a numbered name is too long or a
    // file could not be written completely.
    virtual bool CloseCurrentSection(bool numbered);

    int GetNumSections() const { return m_sectionCount; }
    // The files of the sections closed so far, in order.
    const std::vector<std::wstring>& GetWrittenFilePaths() const { return m_written; }

private:
    CChannelGroupWrite* m_section = nullptr;
    std::vector<std::wstring> m_written;
    char m_formatId[16] = {};
    std::wstring m_baseName;
    std::wstring m_extension;
    uint32_t m_sampleRate;
    uint16_t m_bitsPerSample;
    uint16_t m_totalChannels;
    uint16_t m_channelsPerFile;
    int m_quality;
    int m_sectionCount = 0;
    double m_elapsed = 0.0;
    bool m_bMetaDataFixed = false;
};
