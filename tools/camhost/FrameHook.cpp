#include "tools/camhost/FrameHook.h"

namespace camhost {

FrameHook& FrameHook::Instance() {
    // Never destroyed: a worker of a control that outlives main may still copy into the buffer.
    static FrameHook* hook = new FrameHook;
    return *hook;
}

void FrameHook::Seen() { Instance().m_frames.fetch_add(1); }

// The addresses travel as automation longs: this host and the control share one 32-bit process.
HRESULT FrameHook::Install(ICamImage* view) {
    HRESULT hr = view->gettmp(static_cast<LONG>(reinterpret_cast<uintptr_t>(m_buffer.data())));
    if (FAILED(hr)) return hr;
    return view->SetImageProcessCallback(static_cast<LONG>(reinterpret_cast<uintptr_t>(&FrameHook::Seen)));
}

void FrameHook::Remove(ICamImage* view) {
    view->SetImageProcessCallback(0);
    view->gettmp(0);
}

}  // namespace camhost
