#pragma once
// The stock properties AutoSize, Enabled and Caption of a dual interface, kept by ControlBase.
#include "com/DispatchImpl.h"

namespace qern {

template <class Derived, class Interface, const IID* piid>
class StockPropertyImpl : public DispatchImpl<Interface, piid> {
public:
    STDMETHODIMP put_AutoSize(VARIANT_BOOL value) override { return self()->PutStockAutoSize(value); }
    STDMETHODIMP get_AutoSize(VARIANT_BOOL* value) override { return self()->GetStockAutoSize(value); }
    STDMETHODIMP put_Enabled(VARIANT_BOOL value) override { return self()->PutStockEnabled(value); }
    STDMETHODIMP get_Enabled(VARIANT_BOOL* value) override { return self()->GetStockEnabled(value); }
    STDMETHODIMP put_Caption(BSTR value) override { return self()->PutStockCaption(value); }
    STDMETHODIMP get_Caption(BSTR* value) override { return self()->GetStockCaption(value); }

private:
    Derived* self() { return static_cast<Derived*>(this); }
};

}  // namespace qern
