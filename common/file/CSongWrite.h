#pragma once

#include "common/file/CAudioRecorderOutput.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CAtomicFileWriter;
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
// Nothing replaces a target until the whole song has been written: closing a
// section finishes its files but keeps them aside, and EjectAllFiles, the
// song's final close, puts the files of every section in place together. A
// cancel (RemoveFile), a section that failed, a new OpenAudioFile and the
// destruction of a writer not closed with EjectAllFiles leave every target as
// it was, so the owner closes explicitly and checks the result.
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
    // Discards an output not closed with EjectAllFiles; no target is touched.
    ~CSongWrite() override;

    // Takes the output away: discards every file not yet put in place (no
    // target is touched); after a successful EjectAllFiles, deletes the files
    // it put in place.
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

    // Drops any output not closed with EjectAllFiles, then opens section 1 of
    // base (a path without extension) + ext. False when a name is too long or
    // a file cannot be created; nothing is left open then.
    virtual bool OpenAudioFile(const wchar_t* base, const wchar_t* ext);
    // The song's final close: closes the current section (numbered when it is
    // not the first), then puts the files of every section in place of their
    // targets, all prepared before the first is renamed. False when no output
    // was open, a section could not be written completely or a file could not
    // be put in place; no target is replaced then. Forgets the names.
    virtual bool EjectAllFiles();
    // Opens the next section (closing an open one first). A section that
    // cannot be opened fails the song.
    virtual bool OpenNewSection();
    // Closes the current section, numbered when asked or when it is not the
    // first; its files wait for EjectAllFiles. False when no section was open,
    // a numbered name is too long or a file could not be written completely
    // (the song then fails: EjectAllFiles puts nothing in place).
    virtual bool CloseCurrentSection(bool numbered);

    int GetNumSections() const { return m_sectionCount; }
    // The targets of the files of the sections closed so far, in order; they
    // are put in place by EjectAllFiles, after which the list stays until the
    // next OpenAudioFile or RemoveFile.
    const std::vector<std::wstring>& GetWrittenFilePaths() const { return m_written; }

private:
    // Drops every file not put in place and forgets the output.
    void DropOutput();

    std::unique_ptr<CChannelGroupWrite> m_section;
    // The finished files of the closed sections, waiting for EjectAllFiles.
    std::vector<std::unique_ptr<CAtomicFileWriter>> m_finished;
    std::vector<std::wstring> m_written;
    // m_written were put in place by EjectAllFiles.
    bool m_bCommitted = false;
    // A section failed: the song is not put in place.
    bool m_bFailed = false;
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
