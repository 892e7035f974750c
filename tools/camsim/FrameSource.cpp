#include "tools/camsim/FrameSource.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace camsim {

JpegData LiveFrameSource::Frame(uint64_t index, const CameraSettings& settings) {
    const VideoSize size = SizeForFrame(m_faults, settings.Size(), index);
    auto it = m_pictures.find(size.width);
    if (it == m_pictures.end()) it = m_pictures.emplace(size.width, TestPicture(size)).first;
    it->second.Render(index, settings.picture, m_rgb);
    auto jpeg = std::make_shared<std::vector<uint8_t>>(m_encoder.Encode(m_rgb.data(), size.width, size.height));
    if (jpeg->empty()) return nullptr;
    return jpeg;
}

namespace {

bool IsJpegName(const std::filesystem::path& path) {
    std::string ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext == ".jpg" || ext == ".jpeg";
}

}  // namespace

bool FileFrames::Load(const std::string& folder, std::string& error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    std::vector<fs::path> names;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->is_regular_file(ec) && IsJpegName(it->path())) names.push_back(it->path());
    }
    if (ec) {
        error = "cannot read folder " + folder + ": " + ec.message();
        return false;
    }
    std::sort(names.begin(), names.end(),
              [](const fs::path& a, const fs::path& b) { return a.filename().string() < b.filename().string(); });
    m_frames.clear();
    for (const fs::path& name : names) {
        std::ifstream in(name, std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!in.good() && !in.eof()) {
            error = "cannot read " + name.string();
            return false;
        }
        if (bytes.empty()) continue;  // an empty file is no frame
        m_frames.push_back(std::make_shared<const std::vector<uint8_t>>(std::move(bytes)));
    }
    if (m_frames.empty()) {
        error = "no .jpg or .jpeg files in " + folder;
        return false;
    }
    return true;
}

}  // namespace camsim
