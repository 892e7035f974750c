#include "liveview/LiveViewShared.h"

namespace qern {

LiveViewShared& SharedLiveView() {
    static LiveViewShared shared;
    return shared;
}

}  // namespace qern
