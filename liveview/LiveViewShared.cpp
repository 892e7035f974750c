#include "liveview/LiveViewShared.h"

LiveViewShared& SharedLiveView() {
    static LiveViewShared shared;
    return shared;
}
