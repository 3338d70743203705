// Throughput of PCM stream decoding and encoding, stereo, against memcpy of
// the same number of stream bytes: to and from left-justified integers, and
// straight to and from float samples. After the run a table gives each
// case's throughput as a fraction of memcpy's, for the vector form the
// processor runs (AVX2 where it has it, else SSE2; AVX-512 for encoding
// float stereo to 16 and 24 bits where it has that), and whether encoding
// float samples keeps at least half of memcpy's rate on every path.

#include "bench/BenchSupport.h"
#include "library/util/CPcmUtil.h"
#include "library/util/PcmKernelsAvx2.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace
{
constexpr uint32_t kFrames = 8192;
constexpr uint16_t kChannels = 2;

struct Buffers
{
    explicit Buffers(unsigned bits)
        : stream(size_t{kFrames} * kChannels * (bits / 8)), copy(stream.size()),
          ints(kChannels, std::vector<int32_t>(kFrames)), floats(kChannels, std::vector<float>(kFrames))
    {
        std::mt19937 rng(1);
        for (auto& b : stream)
            b = static_cast<unsigned char>(rng());
        std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
        for (int c = 0; c < kChannels; ++c)
        {
            for (uint32_t i = 0; i < kFrames; ++i)
            {
                ints[c][i] = static_cast<int32_t>(rng());
                floats[c][i] = dist(rng);
            }
            intPtrs[c] = ints[c].data();
            floatPtrs[c] = floats[c].data();
        }
    }
    std::vector<unsigned char> stream, copy;
    std::vector<std::vector<int32_t>> ints;
    std::vector<std::vector<float>> floats;
    int32_t* intPtrs[kChannels];
    float* floatPtrs[kChannels];
};

enum class Kind
{
    DecodeInt,
    EncodeInt,
    DecodeFloat,
    EncodeFloat
};

void Codec(benchmark::State& state, Kind kind, unsigned bits, bool msb)
{
    Buffers b(bits);
    const uint16_t w = static_cast<uint16_t>(bits);
    for (auto _ : state)
    {
        switch (kind)
        {
        case Kind::DecodeInt:
            msb ? CPcmUtil::DecodeStreamMsb1(b.stream.data(), b.intPtrs, kFrames, kChannels, w, 0)
                : CPcmUtil::DecodeStreamLsb1(b.stream.data(), b.intPtrs, kFrames, kChannels, w, 0);
            break;
        case Kind::EncodeInt:
            msb ? CPcmUtil::EncodeStreamMsb1(b.intPtrs, b.stream.data(), kFrames, kChannels, w, 0)
                : CPcmUtil::EncodeStreamLsb1(b.intPtrs, b.stream.data(), kFrames, kChannels, w, 0);
            break;
        case Kind::DecodeFloat:
            msb ? CPcmUtil::DecodeStreamMsb1(b.stream.data(), b.floatPtrs, kFrames, kChannels, w, 0)
                : CPcmUtil::DecodeStreamLsb1(b.stream.data(), b.floatPtrs, kFrames, kChannels, w, 0);
            break;
        case Kind::EncodeFloat:
            msb ? CPcmUtil::EncodeStreamMsb1(b.floatPtrs, b.stream.data(), kFrames, kChannels, w, 0)
                : CPcmUtil::EncodeStreamLsb1(b.floatPtrs, b.stream.data(), kFrames, kChannels, w, 0);
            break;
        }
        benchmark::DoNotOptimize(b.stream.data());
        benchmark::DoNotOptimize(b.ints[0].data());
        benchmark::DoNotOptimize(b.floats[0].data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(b.stream.size()));
}

void Memcpy(benchmark::State& state, unsigned bits)
{
    Buffers b(bits);
    for (auto _ : state)
    {
        std::memcpy(b.copy.data(), b.stream.data(), b.stream.size());
        benchmark::DoNotOptimize(b.copy.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(b.stream.size()));
}

std::string MemcpyName(unsigned bits)
{
    return "memcpy/" + std::to_string(bits);
}

struct Case
{
    std::string name;
    unsigned bits;
};

std::vector<Case> RegisterAll()
{
    std::vector<Case> cases;
    const std::pair<Kind, const char*> kinds[] = {{Kind::DecodeInt, "decode/int"},
                                                  {Kind::EncodeInt, "encode/int"},
                                                  {Kind::DecodeFloat, "decode/float"},
                                                  {Kind::EncodeFloat, "encode/float"}};
    for (unsigned bits : {16u, 24u, 32u})
    {
        benchmark::RegisterBenchmark(MemcpyName(bits).c_str(), Memcpy, bits);
        for (const auto& kind : kinds)
        {
            for (bool msb : {false, true})
            {
                const std::string name =
                    std::string(kind.second) + "/" + std::to_string(bits) + (msb ? "/msb" : "/lsb");
                benchmark::RegisterBenchmark(name.c_str(), Codec, kind.first, bits, msb);
                cases.push_back({name, bits});
            }
        }
    }
    return cases;
}

// Whether encoding float samples to 16 and 24 bits, in both byte orders,
// runs at least at half of memcpy's rate of the same stream bytes.
void PrintFloatEncodeGoal(const benchsupport::CollectingReporter& reporter)
{
    constexpr double kGoal = 0.5;
    bool met = true, measured = false;
    for (unsigned bits : {16u, 24u})
        for (const char* order : {"lsb", "msb"})
        {
            const double ours = reporter.Rate("encode/float/" + std::to_string(bits) + "/" + order);
            const double base = reporter.Rate(MemcpyName(bits));
            if (ours <= 0.0 || base <= 0.0)
                continue;
            measured = true;
            met = met && ours / base >= kGoal;
        }
    if (measured)
        std::printf(
            "Goal, float encoding to 16 and 24 bits in both byte orders at %.1f of memcpy or more: %s\n",
            kGoal, met ? "met" : "NOT met");
}
} // namespace

int main(int argc, char** argv)
{
    const std::vector<Case> cases = RegisterAll();
    benchsupport::CollectingReporter reporter;
    if (!benchsupport::RunBenchmarks(&argc, argv, reporter))
        return 1;

    std::vector<benchsupport::RatioRow> rows;
    for (const Case& c : cases)
        rows.push_back({c.name, MemcpyName(c.bits)});
    const char* form = CPcmUtil::GetPreferredVectorForm() == CPcmUtil::VectorForm::AVX2 ? "AVX2" : "SSE2";
    std::printf("\n%u stereo frames per call, %s%s\n", kFrames, form,
                PcmKernelsAvx2::UseAvx512() ? " (float encoding to 16 and 24 bits: AVX-512)" : "");
    benchsupport::PrintRatioTable(reporter, rows, 22, 2);
    PrintFloatEncodeGoal(reporter);
    return 0;
}
