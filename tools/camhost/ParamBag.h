#pragma once
// The PARAM tags of one control as a property bag: every value is text, converted to the type the
// control asks for, as a browser's bag does.
#include <windows.h>
#include <ocidl.h>

#include <string>
#include <utility>
#include <vector>

#include "tools/camhost/HeapObject.h"

namespace camhost {

class ParamBag : public HeapObject<IPropertyBag> {
public:
    explicit ParamBag(std::vector<std::pair<std::wstring, std::wstring>> params);

    // Names the control asked for, in order, and whether the bag had them.
    struct ReadRecord {
        std::wstring name;
        bool found;
    };
    const std::vector<ReadRecord>& Reads() const { return m_reads; }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP Read(LPCOLESTR name, VARIANT* value, IErrorLog* log) override;
    STDMETHODIMP Write(LPCOLESTR name, VARIANT* value) override;

private:
    std::vector<std::pair<std::wstring, std::wstring>> m_params;
    std::vector<ReadRecord> m_reads;
};

}  // namespace camhost
