#pragma once

// What the benchmarks of the application's layer share: a song written into
// a temporary file, the host over a null device, and the interface
// singletons the views need.

#include "common/file/CAudioFileReadBase.h"
#include "common/file/VextalFileUtil.h"
#include "src/CVXLookAndFeel.h"
#include "src/Resource/CVXResourceManager.h"
#include "src/songlist/CVXAudioDeviceManager.h"
#include "src/songlist/CVXHost.h"
#include "src/songlist/TrackInfo.h"
#include "src/songlist/linux/CNullAudioIODeviceType.h"
#include "tests/support/TempFolder.h"

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace benchsupport
{
// A stereo 16-bit WAV song of `seconds` at `rate` in a temporary folder of
// its own, written in one-second blocks: silence, or two tones at half scale
// (440 Hz on the left, 660 Hz on the right, starting over every second).
class TempSong
{
public:
    enum class Content
    {
        kSilence,
        kTones
    };

    TempSong(const std::string& folder, const std::string& name, uint32_t rate, int seconds, Content content)
        : m_scratch(folder), m_file((m_scratch.Path() / name).string())
    {
        std::unique_ptr<CAudioFileWriteBase> w(VextalFileUtil::CreateAudioFileWriteObject(
            m_file.getFullPathName().toWideCharPointer(), "wav", rate, 16, 2, 0));
        if (w == nullptr)
            return;
        std::vector<int32_t> left(rate), right(rate);
        if (content == Content::kTones)
            for (uint32_t i = 0; i < rate; ++i)
            {
                const double t = static_cast<double>(i) / rate;
                left[i] =
                    static_cast<int32_t>(0.5 * std::sin(2.0 * M_PI * 440.0 * t) * 2147483647.0) & ~0xFFFF;
                right[i] =
                    static_cast<int32_t>(0.5 * std::sin(2.0 * M_PI * 660.0 * t) * 2147483647.0) & ~0xFFFF;
            }
        int32_t* channels[2] = {left.data(), right.data()};
        for (int second = 0; second < seconds; ++second)
            if (w->WriteAudioData(channels, rate) != rate)
                return;
        m_ok = w->CloseFile();
    }

    bool Ok() const { return m_ok; }
    const juce::File& File() const { return m_file; }

private:
    vxtest::TempFolder m_scratch;
    juce::File m_file;
    bool m_ok = false;
};

// The song in file as a songlist entry; nullptr when it cannot be read.
inline std::unique_ptr<Vextal::TrackInfo> ReadSong(const juce::File& file)
{
    std::unique_ptr<CAudioFileReadBase> reader(
        VextalFileUtil::CreateAudioFileReadObject(file.getFullPathName().toWideCharPointer(), true));
    if (reader == nullptr)
        return nullptr;
    return std::make_unique<Vextal::TrackInfo>(reader.get());
}

// A host over a null device in manual pump mode, its timer stopped, with
// nothing else; the host ends before the device.
class NullDeviceHost
{
public:
    NullDeviceHost(uint32_t rate, int block)
    {
        CVXAudioDeviceManager::Setup setup;
        auto type = std::make_unique<CNullAudioIODeviceType>();
        type->GetControl()->SetManualPump(true);
        setup.deviceTypes.push_back(std::move(type));
        m_devices = std::make_unique<CVXAudioDeviceManager>(std::move(setup));
        m_devices->Open(CNullAudioIODeviceType::kDeviceName, rate, 0, block, false);
        CVXHost::Services services;
        services.deviceManager = m_devices.get();
        m_host = std::make_unique<CVXHost>(services);
        m_host->stopTimer();
    }
    NullDeviceHost(const NullDeviceHost&) = delete;
    NullDeviceHost& operator=(const NullDeviceHost&) = delete;

    CVXHost& Host() const { return *m_host; }

private:
    std::unique_ptr<CVXAudioDeviceManager> m_devices;
    std::unique_ptr<CVXHost> m_host;
};

// The singletons the views need, while it lives: the image resources and
// the look, which is the framework's default.
class ScopedInterfaceSingletons
{
public:
    ScopedInterfaceSingletons()
    {
        CZJESingleton<CVXResourceManager>::CreateInstance();
        juce::LookAndFeel::setDefaultLookAndFeel(CZJESingleton<CVXLookAndFeel>::CreateInstance());
    }
    ~ScopedInterfaceSingletons()
    {
        juce::LookAndFeel::setDefaultLookAndFeel(nullptr);
        CZJESingleton<CVXLookAndFeel>::DestroyInstance();
        CZJESingleton<CVXResourceManager>::DestroyInstance();
    }
    ScopedInterfaceSingletons(const ScopedInterfaceSingletons&) = delete;
    ScopedInterfaceSingletons& operator=(const ScopedInterfaceSingletons&) = delete;
};
} // namespace benchsupport
