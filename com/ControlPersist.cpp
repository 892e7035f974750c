// IPersistStreamInit, IPersistStorage and IPersistPropertyBag over the control's property map.
#include "com/ControlBase.h"

namespace qern {
namespace {

// Stream layout: version, extent, then each map entry as its VARTYPE and value.
const DWORD kStreamVersion = 0x0100;
// A text property longer than this in a stream is taken as corrupt data.
const DWORD kMaxTextBytes = 1u << 20;
const DWORD kNullText = 0xFFFFFFFFu;

const wchar_t kContentsStream[] = L"Contents";

void Append(std::vector<BYTE>& out, const void* data, size_t size) {
    const BYTE* p = static_cast<const BYTE*>(data);
    out.insert(out.end(), p, p + size);
}

HRESULT ReadExact(IStream* stream, void* data, ULONG size) {
    ULONG got = 0;
    HRESULT hr = stream->Read(data, size, &got);
    if (FAILED(hr)) return hr;
    return got == size ? S_OK : E_FAIL;
}

}  // namespace

HRESULT ControlBase::SaveToBytes(std::vector<BYTE>& out) {
    out.clear();
    DWORD header[3] = {kStreamVersion, static_cast<DWORD>(m_extent.cx), static_cast<DWORD>(m_extent.cy)};
    Append(out, header, sizeof(header));
    PropertyMap map = Properties();
    for (size_t i = 0; i < map.count; ++i) {
        const PropertyEntry& e = map.entries[i];
        Variant v;
        HRESULT hr = e.get(this, v.get());
        if (FAILED(hr)) return hr;
        WORD vt = e.vt;
        Append(out, &vt, sizeof(vt));
        switch (e.vt) {
            case VT_BOOL:
                Append(out, &V_BOOL(v.get()), sizeof(VARIANT_BOOL));
                break;
            case VT_I4:
                Append(out, &V_I4(v.get()), sizeof(LONG));
                break;
            case VT_BSTR: {
                BSTR s = V_BSTR(v.get());
                DWORD bytes = s ? SysStringByteLen(s) : kNullText;
                Append(out, &bytes, sizeof(bytes));
                if (s) Append(out, s, bytes);
                break;
            }
            default:
                return DISP_E_BADVARTYPE;
        }
    }
    return S_OK;
}

HRESULT ControlBase::LoadFromStream(IStream* stream) {
    if (!stream) return E_POINTER;
    DWORD header[3];
    HRESULT hr = ReadExact(stream, header, sizeof(header));
    if (FAILED(hr)) return hr;
    if (header[0] != kStreamVersion) return E_FAIL;
    m_extent.cx = static_cast<LONG>(header[1]);
    m_extent.cy = static_cast<LONG>(header[2]);

    PropertyMap map = Properties();
    for (size_t i = 0; i < map.count; ++i) {
        const PropertyEntry& e = map.entries[i];
        WORD vt = 0;
        if (FAILED(hr = ReadExact(stream, &vt, sizeof(vt)))) return hr;
        if (vt != e.vt) return E_FAIL;
        Variant v;
        switch (vt) {
            case VT_BOOL:
                hr = ReadExact(stream, &V_BOOL(v.get()), sizeof(VARIANT_BOOL));
                break;
            case VT_I4:
                hr = ReadExact(stream, &V_I4(v.get()), sizeof(LONG));
                break;
            case VT_BSTR: {
                DWORD bytes = 0;
                if (FAILED(hr = ReadExact(stream, &bytes, sizeof(bytes)))) return hr;
                V_BSTR(v.get()) = nullptr;
                if (bytes == kNullText) break;
                if (bytes > kMaxTextBytes || bytes % sizeof(wchar_t) != 0) return E_FAIL;
                BSTR s = SysAllocStringByteLen(nullptr, bytes);
                if (!s) return E_OUTOFMEMORY;
                V_VT(v.get()) = VT_BSTR;  // owned from here, freed by the holder
                V_BSTR(v.get()) = s;
                hr = ReadExact(stream, s, bytes);
                break;
            }
            default:
                return E_FAIL;
        }
        if (FAILED(hr)) return hr;
        V_VT(v.get()) = vt;
        if (FAILED(hr = e.put(this, *v.get()))) return hr;
    }
    m_dirty = false;
    return S_OK;
}

STDMETHODIMP ControlBase::Load(LPSTREAM stream) { return LoadFromStream(stream); }

STDMETHODIMP ControlBase::Save(LPSTREAM stream, BOOL clearDirty) {
    if (!stream) return E_POINTER;
    std::vector<BYTE> bytes;
    HRESULT hr = SaveToBytes(bytes);
    if (FAILED(hr)) return hr;
    ULONG written = 0;
    hr = stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
    if (FAILED(hr)) return hr;
    if (written != bytes.size()) return STG_E_MEDIUMFULL;
    if (clearDirty) m_dirty = false;
    return S_OK;
}

STDMETHODIMP ControlBase::GetSizeMax(ULARGE_INTEGER* size) {
    if (!size) return E_POINTER;
    std::vector<BYTE> bytes;
    HRESULT hr = SaveToBytes(bytes);
    if (FAILED(hr)) return hr;
    size->QuadPart = bytes.size();
    return S_OK;
}

STDMETHODIMP ControlBase::Load(IStorage* storage) {
    if (!storage) return E_POINTER;
    ComPtr<IStream> stream;
    HRESULT hr = storage->OpenStream(kContentsStream, nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, stream.put());
    return FAILED(hr) ? hr : LoadFromStream(stream.get());
}

STDMETHODIMP ControlBase::Save(IStorage* storage, BOOL) {
    if (!storage) return E_POINTER;
    ComPtr<IStream> stream;
    HRESULT hr =
        storage->CreateStream(kContentsStream, STGM_WRITE | STGM_SHARE_EXCLUSIVE | STGM_CREATE, 0, 0, stream.put());
    return FAILED(hr) ? hr : Save(stream.get(), TRUE);
}

STDMETHODIMP ControlBase::Load(IPropertyBag* bag, IErrorLog* log) {
    if (!bag) return E_POINTER;
    LONG* extent[2] = {&m_extent.cx, &m_extent.cy};
    const wchar_t* extentNames[2] = {L"_cx", L"_cy"};
    for (int i = 0; i < 2; ++i) {
        Variant v;
        V_VT(v.get()) = VT_UI4;
        if (FAILED(bag->Read(extentNames[i], v.get(), log))) continue;
        if (SUCCEEDED(VariantChangeType(v.get(), v.get(), 0, VT_UI4))) *extent[i] = static_cast<LONG>(V_UI4(v.get()));
    }
    PropertyMap map = Properties();
    for (size_t i = 0; i < map.count; ++i) {
        const PropertyEntry& e = map.entries[i];
        Variant v;
        if (FAILED(bag->Read(e.name, v.get(), log))) continue;  // not in the bag
        if (FAILED(VariantChangeType(v.get(), v.get(), 0, e.vt))) continue;
        HRESULT hr = e.put(this, *v.get());
        if (FAILED(hr)) return hr;
    }
    m_dirty = false;
    return S_OK;
}

STDMETHODIMP ControlBase::Save(IPropertyBag* bag, BOOL clearDirty, BOOL) {
    if (!bag) return E_POINTER;
    const LONG extent[2] = {m_extent.cx, m_extent.cy};
    const wchar_t* extentNames[2] = {L"_cx", L"_cy"};
    for (int i = 0; i < 2; ++i) {
        Variant v;
        V_VT(v.get()) = VT_UI4;
        V_UI4(v.get()) = static_cast<ULONG>(extent[i]);
        HRESULT hr = bag->Write(extentNames[i], v.get());
        if (FAILED(hr)) return hr;
    }
    PropertyMap map = Properties();
    for (size_t i = 0; i < map.count; ++i) {
        const PropertyEntry& e = map.entries[i];
        Variant v;
        HRESULT hr = e.get(this, v.get());
        if (SUCCEEDED(hr)) hr = bag->Write(e.name, v.get());
        if (FAILED(hr)) return hr;
    }
    if (clearDirty) m_dirty = false;
    return S_OK;
}

}  // namespace qern
