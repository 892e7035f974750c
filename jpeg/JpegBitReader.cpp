#include "jpeg/JpegBitReader.h"

namespace qern {

namespace jpegbits {

JpegBitReader FillSlow(JpegInput& in, JpegBitReader r) {
    while (r.nbits <= kWindowBits - 8) {
        const JpegBitWindow b = EntropyByte(in, r.atMarker);
        r.bits |= b << (kWindowBits - 8 - r.nbits);
        r.nbits += 8;
    }
    return r;
}

}  // namespace jpegbits

}  // namespace qern
