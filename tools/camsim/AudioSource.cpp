#include "tools/camsim/AudioSource.h"

#include <array>
#include <cmath>

namespace camsim {

std::optional<AudioSignal> ParseAudioSignal(std::string_view text) {
    if (text == "counter") return AudioSignal::Counter;
    if (text == "tone") return AudioSignal::Tone;
    if (text == "silence") return AudioSignal::Silence;
    return std::nullopt;
}

int16_t AudioSample(const AudioSettings& settings, uint64_t sampleIndex) {
    switch (settings.signal) {
        case AudioSignal::Counter:
            return static_cast<int16_t>(static_cast<uint16_t>(sampleIndex & 0xFFFF));
        case AudioSignal::Tone: {
            constexpr double kPi = 3.14159265358979323846;
            // The phase is taken modulo the sample rate so it stays exact on long runs.
            uint64_t phase = (sampleIndex * static_cast<uint64_t>(settings.toneHz)) % kAudioSampleRate;
            return static_cast<int16_t>(std::lround(
                settings.toneAmplitude * std::sin(2.0 * kPi * static_cast<double>(phase) / kAudioSampleRate)));
        }
        case AudioSignal::Silence:
            return 0;
    }
    return 0;
}

std::vector<uint8_t> BuildAudioFrame(uint8_t streamByte, uint8_t sequence, const int16_t* samples, size_t sampleCount) {
    const size_t payload = sampleCount * 2;
    std::vector<uint8_t> frame = {0x1A,
                                  0x2B,
                                  0x3C,
                                  0x4D,
                                  streamByte,
                                  sequence,
                                  static_cast<uint8_t>(payload >> 8),
                                  static_cast<uint8_t>(payload & 0xFF)};
    frame.reserve(8 + payload);
    for (size_t i = 0; i < sampleCount; ++i) {
        const auto v = static_cast<uint16_t>(samples[i]);
        frame.push_back(static_cast<uint8_t>(v & 0xFF));
        frame.push_back(static_cast<uint8_t>(v >> 8));
    }
    return frame;
}

std::vector<uint8_t> AudioSource::Frame(uint64_t frameIndex) const {
    std::array<int16_t, kAudioSamplesPerFrame> samples;
    const uint64_t first = frameIndex * kAudioSamplesPerFrame;
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = AudioSample(m_settings, first + i);
    return BuildAudioFrame(m_settings.streamByte, static_cast<uint8_t>(frameIndex & 0xFF), samples.data(),
                           samples.size());
}

bool AudioSource::Skipped(uint64_t frameIndex) const {
    return m_settings.skipEvery > 0 &&
           frameIndex % static_cast<uint64_t>(m_settings.skipEvery) == static_cast<uint64_t>(m_settings.skipEvery - 1);
}

}  // namespace camsim
