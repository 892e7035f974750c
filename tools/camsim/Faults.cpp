#include "tools/camsim/Faults.h"

namespace camsim {
namespace {

bool EveryNth(int n, uint64_t index) {
    return n > 0 && index % static_cast<uint64_t>(n) == static_cast<uint64_t>(n - 1);
}

}  // namespace

StreamAction ActionBeforeFrame(const FaultPlan& plan, uint64_t framesSent) {
    if (plan.dropAfter > 0 && framesSent >= static_cast<uint64_t>(plan.dropAfter)) return StreamAction::Drop;
    if (plan.stallAfter > 0 && framesSent >= static_cast<uint64_t>(plan.stallAfter)) return StreamAction::Stall;
    return StreamAction::Send;
}

PartFault FaultForFrame(const FaultPlan& plan, uint64_t frameIndex) {
    PartFault fault;
    fault.truncate = EveryNth(plan.truncateEvery, frameIndex);
    fault.wrongLength = EveryNth(plan.wrongLengthEvery, frameIndex);
    return fault;
}

size_t DeclaredLength(const FaultPlan& plan, const PartFault& fault, size_t actual) {
    if (!fault.wrongLength) return actual;
    const long long declared = static_cast<long long>(actual) + plan.wrongLengthBy;
    return declared < 0 ? 0 : static_cast<size_t>(declared);
}

size_t SentLength(const PartFault& fault, size_t actual) { return fault.truncate ? actual / 2 : actual; }

bool RefusingAt(const FaultPlan& plan, double secondsSinceStart) {
    return plan.refuseFor > 0 && secondsSinceStart >= plan.refuseFrom &&
           secondsSinceStart < plan.refuseFrom + plan.refuseFor;
}

std::vector<uint8_t> GarbageBytes(size_t count, uint64_t seed) {
    std::vector<uint8_t> bytes(count);
    uint64_t state = seed * 6364136223846793005ull + 1442695040888963407ull;
    for (auto& b : bytes) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        auto v = static_cast<uint8_t>(state >> 56);
        if (v == '/' || v == '-') v = static_cast<uint8_t>(v + 0x40);
        b = v;
    }
    return bytes;
}

VideoSize SizeForFrame(const FaultPlan& plan, VideoSize base, uint64_t frameIndex) {
    if (plan.sizeCycle <= 0) return base;
    int resl = ReslFromSize(base);
    if (resl == 0) resl = 1;
    const uint64_t step = frameIndex / static_cast<uint64_t>(plan.sizeCycle);
    return *SizeFromResl(static_cast<int>((static_cast<uint64_t>(resl - 1) + step) % 3) + 1);
}

}  // namespace camsim
