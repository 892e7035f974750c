#include "jpeg/JpegBitReader.h"

namespace jpegbits {

JpegBitReader FillSlow(JpegInput& in, JpegBitReader r) {
    while (r.nbits <= 56) {
        const uint64_t b = EntropyByte(in, r.atMarker);
        r.bits |= b << (56 - r.nbits);
        r.nbits += 8;
    }
    return r;
}

}  // namespace jpegbits
