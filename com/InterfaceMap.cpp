#include "com/ComObject.h"

namespace qern {

HRESULT QueryFromMap(void* object, const InterfaceEntry* map, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!map || !map[0].iid) return E_NOINTERFACE;
    const InterfaceEntry* hit = nullptr;
    if (IsEqualIID(riid, IID_IUnknown)) {
        hit = &map[0];
    } else {
        for (const InterfaceEntry* e = map; e->iid; ++e) {
            if (IsEqualIID(riid, *e->iid)) {
                hit = e;
                break;
            }
        }
    }
    if (!hit) return E_NOINTERFACE;
    IUnknown* itf = reinterpret_cast<IUnknown*>(static_cast<char*>(object) + hit->offset);
    itf->AddRef();
    *ppv = itf;
    return S_OK;
}

}  // namespace qern
