#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace camsim {

enum class Subsampling { S444, S422, S420, S440, Gray };

std::optional<Subsampling> ParseSubsampling(std::string_view text);  // "444" "422" "420" "440" "gray"
const char* SubsamplingText(Subsampling s);

struct JpegSettings {
    Subsampling subsampling = Subsampling::S422;
    int quality = 85;  // 1..100
    bool progressive = false;
    int restartInterval = 0;  // MCUs between restart markers, 0 = none
};

// Encodes packed RGB (3 bytes a pixel, rows top to bottom) with the libjpeg API of
// libjpeg-turbo: its TurboJPEG 2.x front end cannot write restart markers.
class JpegEncoder {
public:
    explicit JpegEncoder(const JpegSettings& settings) : m_settings(settings) {}

    // The JPEG file, or an empty vector when the library refused the picture.
    std::vector<uint8_t> Encode(const uint8_t* rgb, int width, int height) const;

    const JpegSettings& Settings() const { return m_settings; }

private:
    JpegSettings m_settings;
};

}  // namespace camsim
