#pragma once

#include <cstdint>

// Byte-order reads and writes, time splitting and level conversion.
class CDataUtil
{
public:
    // The unsigned integer of the n bytes at p, least significant byte first.
    // n above 8 reads 8 bytes; n below 1 gives 0.
    static uint64_t LittleEndian(const void* p, int n);

    // The unsigned integer of the n bytes at p, most significant byte first.
    static uint64_t BigEndian(const void* p, int n);

    // Writes the low n bytes of value at p, least significant byte first.
    // n above 8 writes 8 bytes; n below 1 writes nothing.
    static void LittleEndian(void* p, int64_t value, int n);

    // Writes the low n bytes of value at p, most significant of them first.
    static void BigEndian(void* p, int64_t value, int n);

    // Splits seconds into whole hours, whole minutes (0..59) and the rest in
    // seconds with its fraction. Negative and not-a-number inputs give 0, 0, 0.0.
    // Null output pointers are skipped.
    static void SecondToTime(double seconds, int* hours, int* minutes, float* rest);

    // 10^(dB / 20), computed in double precision; 0 dB gives exactly 1.0.
    static float DBToAmplitude(float dB);
};
