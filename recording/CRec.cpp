#include "recording/CRec.h"

const qern::InterfaceEntry* CRec::InterfaceMap() {
    static const qern::ControlInterfaceMap<CRec, ICRec> map(IID_ICRec, false);
    return map.get();
}

const CLSID& CRec::ClassId() const { return CLSID_CRec; }

// Only the extent is persisted.
qern::PropertyMap CRec::Properties() const { return {nullptr, 0}; }

// The strip's recorder is attached with the recording subsystem; until then no action starts anything.
STDMETHODIMP CRec::setaction(int) { return S_OK; }
