// IViewObjectEx and IDataObject: drawing into a host's device context and change advice.
#include "com/ControlBase.h"

namespace qern {

STDMETHODIMP ControlBase::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC hdcDraw, LPCRECTL bounds, LPCRECTL,
                               BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
    if (aspect != DVASPECT_CONTENT && aspect != DVASPECT_DOCPRINT) return DV_E_DVASPECT;
    if (!hdcDraw) return E_INVALIDARG;
    if (!bounds) return E_INVALIDARG;  // only windowless drawing may omit the bounds
    RECT rc = {bounds->left, bounds->top, bounds->right, bounds->bottom};
    OnDraw(hdcDraw, rc);
    return S_OK;
}

STDMETHODIMP ControlBase::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colors) {
    if (colors) *colors = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP ControlBase::SetAdvise(DWORD aspects, DWORD advf, IAdviseSink* sink) {
    m_viewSink = ComPtr<IAdviseSink>(sink);
    m_viewAspects = aspects;
    m_viewAdvf = advf;
    if (sink && (advf & ADVF_PRIMEFIRST)) sink->OnViewChange(DVASPECT_CONTENT, -1);
    return S_OK;
}

STDMETHODIMP ControlBase::GetAdvise(DWORD* aspects, DWORD* advf, IAdviseSink** sink) {
    if (aspects) *aspects = m_viewAspects;
    if (advf) *advf = m_viewAdvf;
    if (sink) m_viewSink.copy_to(sink);
    return S_OK;
}

STDMETHODIMP ControlBase::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
    return GetExtent(aspect, size);
}

STDMETHODIMP ControlBase::GetViewStatus(DWORD* status) {
    if (!status) return E_POINTER;
    *status = VIEWSTATUS_OPAQUE | VIEWSTATUS_SOLIDBKGND;
    return S_OK;
}

STDMETHODIMP ControlBase::QueryHitPoint(DWORD aspect, LPCRECT bounds, POINT pt, LONG, DWORD* result) {
    if (!bounds || !result) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return E_FAIL;
    *result = PtInRect(bounds, pt) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
    return S_OK;
}

STDMETHODIMP ControlBase::QueryHitRect(DWORD aspect, LPCRECT bounds, LPCRECT loc, LONG, DWORD* result) {
    if (!bounds || !loc || !result) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return E_FAIL;
    RECT overlap;
    *result = IntersectRect(&overlap, bounds, loc) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
    return S_OK;
}

// --- IDataObject: the content as a metafile picture.

namespace {
bool IsMetafileRequest(const FORMATETC* f) {
    return f->cfFormat == CF_METAFILEPICT && (f->tymed & TYMED_MFPICT) && f->dwAspect == DVASPECT_CONTENT;
}
}  // namespace

STDMETHODIMP ControlBase::GetData(FORMATETC* format, STGMEDIUM* medium) {
    if (!format || !medium) return E_POINTER;
    if (!IsMetafileRequest(format)) return DV_E_FORMATETC;
    HDC mdc = CreateMetaFileW(nullptr);
    if (!mdc) return E_OUTOFMEMORY;
    SetWindowOrgEx(mdc, 0, 0, nullptr);
    SetWindowExtEx(mdc, m_extent.cx, m_extent.cy, nullptr);
    RECT rc = {0, 0, m_extent.cx, m_extent.cy};
    OnDraw(mdc, rc);
    HMETAFILE mf = CloseMetaFile(mdc);
    if (!mf) return E_OUTOFMEMORY;
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE | GMEM_SHARE, sizeof(METAFILEPICT));
    METAFILEPICT* pict = mem ? static_cast<METAFILEPICT*>(GlobalLock(mem)) : nullptr;
    if (!pict) {
        if (mem) GlobalFree(mem);
        DeleteMetaFile(mf);
        return E_OUTOFMEMORY;
    }
    pict->mm = MM_ANISOTROPIC;
    pict->xExt = m_extent.cx;
    pict->yExt = m_extent.cy;
    pict->hMF = mf;
    GlobalUnlock(mem);
    medium->tymed = TYMED_MFPICT;
    medium->hMetaFilePict = mem;
    medium->pUnkForRelease = nullptr;
    return S_OK;
}

STDMETHODIMP ControlBase::QueryGetData(FORMATETC* format) {
    if (!format) return E_POINTER;
    return IsMetafileRequest(format) ? S_OK : DV_E_FORMATETC;
}

STDMETHODIMP ControlBase::GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) {
    if (!in || !out) return E_POINTER;
    *out = *in;
    out->ptd = nullptr;
    return DATA_S_SAMEFORMATETC;
}

STDMETHODIMP ControlBase::EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) {
    if (!out) return E_POINTER;
    return OleRegEnumFormatEtc(ClassId(), direction, out);
}

STDMETHODIMP ControlBase::DAdvise(FORMATETC* format, DWORD advf, IAdviseSink* sink, DWORD* cookie) {
    if (!cookie) return E_POINTER;
    *cookie = 0;
    if (!m_dataAdvise) {
        HRESULT hr = CreateDataAdviseHolder(m_dataAdvise.put());
        if (FAILED(hr)) return hr;
    }
    return m_dataAdvise->Advise(static_cast<IDataObject*>(this), format, advf, sink, cookie);
}

STDMETHODIMP ControlBase::DUnadvise(DWORD cookie) {
    if (!m_dataAdvise) return OLE_E_NOCONNECTION;
    return m_dataAdvise->Unadvise(cookie);
}

STDMETHODIMP ControlBase::EnumDAdvise(IEnumSTATDATA** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!m_dataAdvise) return E_FAIL;
    return m_dataAdvise->EnumAdvise(out);
}

}  // namespace qern
