#pragma once
// RAII holders for BSTR and VARIANT.
#include <windows.h>
#include <oleauto.h>
#include <string>

namespace qern {

class BStr {
public:
    BStr() = default;
    explicit BStr(const wchar_t* s) : m_s(s ? SysAllocString(s) : nullptr) {}
    BStr(const BStr& o) : m_s(o.m_s ? SysAllocStringLen(o.m_s, SysStringLen(o.m_s)) : nullptr) {}
    BStr(BStr&& o) noexcept : m_s(o.m_s) { o.m_s = nullptr; }
    ~BStr() { SysFreeString(m_s); }
    BStr& operator=(BStr o) noexcept {
        std::swap(m_s, o.m_s);
        return *this;
    }

    static BStr attach(BSTR s) {
        BStr b;
        b.m_s = s;
        return b;
    }
    // Copy of any BSTR, keeping embedded length; null stays null.
    static BStr copy(BSTR s) { return attach(s ? SysAllocStringLen(s, SysStringLen(s)) : nullptr); }
    static BStr fromAnsi(const char* s);

    BSTR detach() noexcept {
        BSTR s = m_s;
        m_s = nullptr;
        return s;
    }
    void reset() noexcept {
        SysFreeString(m_s);
        m_s = nullptr;
    }
    BSTR* put() noexcept {
        reset();
        return &m_s;
    }
    BSTR get() const noexcept { return m_s; }
    UINT length() const noexcept { return m_s ? SysStringLen(m_s) : 0; }
    bool empty() const noexcept { return length() == 0; }
    // Hands a fresh copy to an out-parameter (null when empty-null).
    HRESULT copy_to(BSTR* out) const;
    // Text in the ANSI code page.
    std::string toAnsi() const;

private:
    BSTR m_s = nullptr;
};

class Variant {
public:
    Variant() { VariantInit(&m_v); }
    ~Variant() { VariantClear(&m_v); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    VARIANT* get() { return &m_v; }
    const VARIANT* get() const { return &m_v; }
    VARIANT* operator->() { return &m_v; }
    void clear() { VariantClear(&m_v); }

private:
    VARIANT m_v;
};

std::string WideToAnsi(const wchar_t* s, int len = -1);
std::wstring AnsiToWide(const char* s, int len = -1);

}  // namespace qern
