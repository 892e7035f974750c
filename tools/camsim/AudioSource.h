#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace camsim {

constexpr int kAudioSampleRate = 8000;
constexpr size_t kAudioPayloadBytes = 256;
constexpr size_t kAudioSamplesPerFrame = kAudioPayloadBytes / 2;
constexpr size_t kAudioFrameBytes = 8 + kAudioPayloadBytes;

// What the microphone hears.
//  counter: sample k (counted from the start of the connection) is k modulo 65536 taken
//           as a signed 16-bit value, so every sample is the previous one plus 1 (mod
//           2^16) and a receiver finds any gap, repeat or reordering exactly.
//  tone:    round(amplitude * sin(2 pi f k / 8000)), an audible check tone.
//  silence: all zero.
enum class AudioSignal { Counter, Tone, Silence };

std::optional<AudioSignal> ParseAudioSignal(std::string_view text);

struct AudioSettings {
    AudioSignal signal = AudioSignal::Counter;
    int toneHz = 1000;
    int toneAmplitude = 8000;
    uint8_t streamByte = 1;
    int skipEvery = 0;    // leave out every Nth frame (its samples and its sequence number)
    int dropAfter = 0;    // close the connection after N frames
    bool absent = false;  // a camera without a microphone: /audio.cgi is not found
};

int16_t AudioSample(const AudioSettings& settings, uint64_t sampleIndex);

// One frame: magic 1A 2B 3C 4D, stream byte, sequence number, big-endian payload
// length, then the payload.
std::vector<uint8_t> BuildAudioFrame(uint8_t streamByte, uint8_t sequence, const int16_t* samples, size_t sampleCount);

// The frames of one connection, in order. Frame i carries samples 128 i .. 128 i + 127
// and the sequence number i modulo 256.
class AudioSource {
public:
    explicit AudioSource(const AudioSettings& settings) : m_settings(settings) {}

    std::vector<uint8_t> Frame(uint64_t frameIndex) const;
    bool Skipped(uint64_t frameIndex) const;

private:
    AudioSettings m_settings;
};

}  // namespace camsim
