#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Packs the CD-Text of an audio disc into the raw 18-byte packs a drive
// writes into the lead-in and a cue sheet's CD-Text file holds (packs alone,
// no header).
//
// Each block gives its language, its character code and, per pack type
// (0x80 title, 0x81 performer), the texts of the disc (entry 0) and of its
// tracks (entries 1..n) as encoded bytes without terminator. A block's packs
// are its text packs, type by type, then its three size-information packs.
// Its titles are written even when they are all empty (a terminator each),
// so every block, and a CD-Text file, begins with a title pack: readers of
// CD-Text files take a first byte other than a title pack's for a header
// (a block of Japanese titles alone left the ISO 8859-1 block empty); other
// types without any text are left out;
// sequence numbers count from 0 in every block. Every text ends with its
// terminator, one zero byte or, in a double-byte block, two; a track's text
// equal to the one before it is written as the "same as previous" marker, a
// TAB (two TABs in a double-byte block). The text packs of a double-byte
// block carry the double-byte flag, and their character position counts
// the characters of the text in progress that earlier packs hold, two bytes
// to a character there.
class CCdTextPacker
{
public:
    static constexpr int kMaxBlocks = 8;
    static constexpr int kFirstTextType = 0x80;
    static constexpr int kNumTextTypes = 2;

    struct Block
    {
        uint8_t languageCode = 0x09;
        uint8_t characterCode = 0x00;
        bool doubleByte = false;
        // texts[type - 0x80][entry]; every list as long as the disc's
        // entries (tracks + 1).
        std::vector<std::string> texts[kNumTextTypes];
    };

    // The packs of up to eight blocks over tracks 1..numTracks; empty when
    // there is no block, or when a block takes more packs than its sequence
    // numbers can count (256).
    static std::vector<uint8_t> Pack(const std::vector<Block>& blocks, int numTracks);
};
