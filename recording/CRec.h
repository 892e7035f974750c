#pragma once
// The recording strip control: its automation interface and persistence.
#include "com/ControlBase.h"
#include "com/DispatchImpl.h"
#include "module/QERNCamControl_h.h"

class CRec : public qern::DispatchImpl<ICRec, &IID_ICRec>, public qern::ControlBase {
public:
    static const qern::InterfaceEntry* InterfaceMap();

    // 0 stops and 1 starts a recording of the current live view, as the strip's buttons do.
    STDMETHODIMP setaction(int iaction) override;

protected:
    const CLSID& ClassId() const override;
    qern::PropertyMap Properties() const override;
};
