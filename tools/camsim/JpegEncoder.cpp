#include "tools/camsim/JpegEncoder.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace camsim {

std::optional<Subsampling> ParseSubsampling(std::string_view text) {
    if (text == "444") return Subsampling::S444;
    if (text == "422") return Subsampling::S422;
    if (text == "420") return Subsampling::S420;
    if (text == "440") return Subsampling::S440;
    if (text == "gray" || text == "grey") return Subsampling::Gray;
    return std::nullopt;
}

const char* SubsamplingText(Subsampling s) {
    switch (s) {
        case Subsampling::S444:
            return "444";
        case Subsampling::S422:
            return "422";
        case Subsampling::S420:
            return "420";
        case Subsampling::S440:
            return "440";
        case Subsampling::Gray:
            return "gray";
    }
    return "?";
}

namespace {

// libjpeg reports fatal errors through error_exit, which must not return. A longjmp
// back into EncodeRaw is the library's documented way out; EncodeRaw keeps only
// trivially destructible locals between setjmp and the jump.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

void OnError(j_common_ptr cinfo) {
    auto* manager = reinterpret_cast<ErrorManager*>(cinfo->err);
    std::longjmp(manager->jump, 1);
}

void OnMessage(j_common_ptr, int) {}  // warnings are not interesting for a generated picture

void SetSampling(jpeg_compress_struct& cinfo, Subsampling s) {
    if (s == Subsampling::Gray) {
        jpeg_set_colorspace(&cinfo, JCS_GRAYSCALE);
        cinfo.comp_info[0].h_samp_factor = 1;
        cinfo.comp_info[0].v_samp_factor = 1;
        return;
    }
    int h = (s == Subsampling::S422 || s == Subsampling::S420) ? 2 : 1;
    int v = (s == Subsampling::S440 || s == Subsampling::S420) ? 2 : 1;
    cinfo.comp_info[0].h_samp_factor = h;
    cinfo.comp_info[0].v_samp_factor = v;
    for (int c = 1; c < 3; ++c) {
        cinfo.comp_info[c].h_samp_factor = 1;
        cinfo.comp_info[c].v_samp_factor = 1;
    }
}

// Collects the compressed bytes in a vector owned by the caller, so an aborted
// encoding leaves nothing to free here.
struct VectorDestination {
    jpeg_destination_mgr base;
    std::vector<uint8_t>* out;
    JOCTET chunk[4096];
};

void InitDestination(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<VectorDestination*>(cinfo->dest);
    dest->base.next_output_byte = dest->chunk;
    dest->base.free_in_buffer = sizeof dest->chunk;
}

boolean EmptyDestination(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<VectorDestination*>(cinfo->dest);
    dest->out->insert(dest->out->end(), dest->chunk, dest->chunk + sizeof dest->chunk);
    InitDestination(cinfo);
    return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<VectorDestination*>(cinfo->dest);
    size_t used = sizeof dest->chunk - dest->base.free_in_buffer;
    dest->out->insert(dest->out->end(), dest->chunk, dest->chunk + used);
}

bool EncodeInto(const JpegSettings& settings, const uint8_t* rgb, int width, int height, std::vector<uint8_t>* out) {
    jpeg_compress_struct cinfo;
    ErrorManager errors;
    VectorDestination dest;
    dest.out = out;
    dest.base.init_destination = InitDestination;
    dest.base.empty_output_buffer = EmptyDestination;
    dest.base.term_destination = TermDestination;
    cinfo.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = OnError;
    errors.base.emit_message = OnMessage;
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    cinfo.dest = &dest.base;
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, settings.quality, TRUE);
    SetSampling(cinfo, settings.subsampling);
    cinfo.restart_interval = static_cast<unsigned int>(settings.restartInterval);
    if (settings.progressive) jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgb + static_cast<size_t>(cinfo.next_scanline) * width * 3);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

}  // namespace

std::vector<uint8_t> JpegEncoder::Encode(const uint8_t* rgb, int width, int height) const {
    std::vector<uint8_t> jpeg;
    if (width <= 0 || height <= 0 || !EncodeInto(m_settings, rgb, width, height, &jpeg)) return {};
    return jpeg;
}

}  // namespace camsim
