// The type library read back through ITypeLib/ITypeInfo, and late binding through it.
#include <gtest/gtest.h>
#include <ocidl.h>
#include <olectl.h>

#include <string>
#include <vector>

#include "com/BStr.h"
#include "com/ComPtr.h"
#include "tests/module/CamControlDll.h"

using qern::BStr;
using qern::ComPtr;

namespace {

ComPtr<ITypeLib> LoadLibrary() {
    CamControlDll::Get().EnsureRegistered();
    ComPtr<ITypeLib> lib;
    EXPECT_EQ(LoadRegTypeLib(LIBID_QERNCAMCONTROLLib, 1, 0, LOCALE_NEUTRAL, lib.put()), S_OK);
    return lib;
}

std::wstring Str(BSTR s) { return s ? std::wstring(s, SysStringLen(s)) : std::wstring(); }

// The interface half of a dual interface.
ComPtr<ITypeInfo> InterfaceHalf(ITypeInfo* dispatch) {
    HREFTYPE ref = 0;
    ComPtr<ITypeInfo> itf;
    EXPECT_EQ(dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref), S_OK);
    EXPECT_EQ(dispatch->GetRefTypeInfo(ref, itf.put()), S_OK);
    return itf;
}

struct Member {
    MEMBERID id;
    INVOKEKIND kind;
    const wchar_t* name;
    VARTYPE vt;             // type of the (single) parameter, VT_EMPTY without
    const wchar_t* param;   // its name, null when unnamed
    const wchar_t* help;    // null without
};

const VARTYPE B = VT_BOOL, S = VT_BSTR, L = VT_I4;
const INVOKEKIND PUT = INVOKE_PROPERTYPUT, GET = INVOKE_PROPERTYGET, FN = INVOKE_FUNC;

// The stock properties come first, put before get, followed by the interface's own members.
std::vector<Member> WithStockProperties(const std::vector<Member>& own) {
    std::vector<Member> all = {
        {DISPID_AUTOSIZE, PUT, L"AutoSize", B, nullptr, nullptr},
        {DISPID_AUTOSIZE, GET, L"AutoSize", B, L"pbool", nullptr},
        {DISPID_ENABLED, PUT, L"Enabled", B, nullptr, nullptr},
        {DISPID_ENABLED, GET, L"Enabled", B, L"pbool", nullptr},
        {DISPID_CAPTION, PUT, L"Caption", S, nullptr, nullptr},
        {DISPID_CAPTION, GET, L"Caption", S, L"pstrCaption", nullptr},
    };
    all.insert(all.end(), own.begin(), own.end());
    return all;
}

void CheckMembers(ITypeInfo* itf, const std::vector<Member>& members) {
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(itf->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_INTERFACE);
    EXPECT_EQ(attr->cFuncs, members.size());
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FDUAL);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FOLEAUTOMATION);
    itf->ReleaseTypeAttr(attr);
    SHORT lastSlot = -1;
    for (UINT i = 0; i < members.size(); ++i) {
        const Member& m = members[i];
        FUNCDESC* f = nullptr;
        ASSERT_EQ(itf->GetFuncDesc(i, &f), S_OK);
        EXPECT_EQ(f->memid, m.id) << i;
        EXPECT_EQ(f->invkind, m.kind) << i;
        EXPECT_GT(f->oVft, lastSlot) << "operations follow the table order";
        lastSlot = f->oVft;
        EXPECT_EQ(f->elemdescFunc.tdesc.vt, VT_HRESULT);
        if (m.kind == FN) {  // methods have an id of their own: their names can be read back
            BSTR names[3] = {};
            UINT count = 0;
            ASSERT_EQ(itf->GetNames(m.id, names, 3, &count), S_OK);
            ASSERT_EQ(count, static_cast<UINT>(f->cParams + 1)) << i;
            if (m.param) {
                EXPECT_EQ(Str(names[count - 1]), m.param) << i;
            }
            for (UINT n = 0; n < count; ++n) SysFreeString(names[n]);
        }
        if (m.vt == VT_EMPTY) {
            EXPECT_EQ(f->cParams, 0) << i;
        } else {
            ASSERT_GE(f->cParams, 1) << i;
            const TYPEDESC& t = f->lprgelemdescParam[f->cParams - 1].tdesc;
            bool out = (f->lprgelemdescParam[f->cParams - 1].paramdesc.wParamFlags & PARAMFLAG_FOUT) != 0;
            if (m.kind == GET) {
                EXPECT_TRUE(out) << i;
            }
            if (m.kind == PUT) {
                EXPECT_FALSE(out) << i;
            }
            if (out) {
                ASSERT_EQ(t.vt, VT_PTR) << i;
                EXPECT_EQ(t.lptdesc->vt, m.vt) << i;
                EXPECT_TRUE(f->lprgelemdescParam[f->cParams - 1].paramdesc.wParamFlags & PARAMFLAG_FRETVAL) << i;
            } else {
                EXPECT_EQ(t.vt, m.vt) << i;
            }
        }
        BSTR name = nullptr, doc = nullptr;
        ASSERT_EQ(itf->GetDocumentation(f->memid, &name, &doc, nullptr, nullptr), S_OK);
        EXPECT_EQ(Str(name), m.name) << i;
        EXPECT_EQ(Str(doc), m.help ? m.help : L"") << i;
        SysFreeString(name);
        SysFreeString(doc);
        itf->ReleaseFuncDesc(f);
    }
}

}  // namespace

TEST(TypeLibTest, LibraryHoldsSevenDescriptionsInOrder) {
    ComPtr<ITypeLib> lib = LoadLibrary();
    ASSERT_TRUE(lib);
    TLIBATTR* la = nullptr;
    ASSERT_EQ(lib->GetLibAttr(&la), S_OK);
    EXPECT_EQ(la->wMajorVerNum, 1);
    EXPECT_EQ(la->wMinorVerNum, 0);
    EXPECT_TRUE(IsEqualGUID(la->guid, LIBID_QERNCAMCONTROLLib));
    lib->ReleaseTLibAttr(la);
    BSTR name = nullptr, doc = nullptr;
    ASSERT_EQ(lib->GetDocumentation(-1, &name, &doc, nullptr, nullptr), S_OK);
    EXPECT_EQ(Str(name), L"QERNCAMCONTROLLib");
    EXPECT_EQ(Str(doc), L"QERNCamControl 1.0 Type Library");
    SysFreeString(name);
    SysFreeString(doc);

    struct Expected {
        const wchar_t* name;
        TYPEKIND kind;
        const wchar_t* help;
    } expected[] = {
        {L"_ICamImageEvents", TKIND_DISPATCH, L"_ICamImageEvents Interface"},
        {L"ICImgCtrl", TKIND_DISPATCH, L"ICImgCtrl Interface"},  // a dual interface lists its dispatch half
        {L"ICRec", TKIND_DISPATCH, L"ICRec Interface"},
        {L"CamImage", TKIND_COCLASS, L"QERNCamImage Class"},
        {L"ICamImage", TKIND_DISPATCH, L"ICamImage Interface"},
        {L"CImgCtrl", TKIND_COCLASS, L"CImgCtrl Class"},
        {L"CRec", TKIND_COCLASS, L"CRec Class"},
    };
    ASSERT_EQ(lib->GetTypeInfoCount(), 7u);
    for (UINT i = 0; i < 7; ++i) {
        TYPEKIND kind;
        ASSERT_EQ(lib->GetTypeInfoType(i, &kind), S_OK);
        EXPECT_EQ(kind, expected[i].kind) << i;
        ASSERT_EQ(lib->GetDocumentation(i, &name, &doc, nullptr, nullptr), S_OK);
        EXPECT_EQ(Str(name), expected[i].name) << i;
        EXPECT_EQ(Str(doc), expected[i].help) << i;
        SysFreeString(name);
        SysFreeString(doc);
    }
}

TEST(TypeLibTest, EventsInterfaceIsEmptyAndTheDefaultSourceOfCamImage) {
    ComPtr<ITypeLib> lib = LoadLibrary();
    ComPtr<ITypeInfo> events, coclass;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(DIID__ICamImageEvents, events.put()), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(events->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->cFuncs, 0);
    EXPECT_EQ(attr->cVars, 0);
    events->ReleaseTypeAttr(attr);

    ASSERT_EQ(lib->GetTypeInfoOfGuid(CLSID_CamImage, coclass.put()), S_OK);
    ASSERT_EQ(coclass->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->cImplTypes, 2);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FCANCREATE);
    coclass->ReleaseTypeAttr(attr);
    const wchar_t* names[2] = {L"ICamImage", L"_ICamImageEvents"};
    const INT flags[2] = {IMPLTYPEFLAG_FDEFAULT, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE};
    for (UINT i = 0; i < 2; ++i) {
        INT f = 0;
        ASSERT_EQ(coclass->GetImplTypeFlags(i, &f), S_OK);
        EXPECT_EQ(f, flags[i]);
        HREFTYPE ref;
        ComPtr<ITypeInfo> impl;
        ASSERT_EQ(coclass->GetRefTypeOfImplType(i, &ref), S_OK);
        ASSERT_EQ(coclass->GetRefTypeInfo(ref, impl.put()), S_OK);
        BSTR name = nullptr;
        impl->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
        EXPECT_EQ(Str(name), names[i]);
        SysFreeString(name);
    }
}

TEST(TypeLibTest, CamImageMembersInTableOrder) {
    ComPtr<ITypeLib> lib = LoadLibrary();
    ComPtr<ITypeInfo> dispatch;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(IID_ICamImage, dispatch.put()), S_OK);
    ComPtr<ITypeInfo> itf = InterfaceHalf(dispatch.get());
    CheckMembers(itf.get(), WithStockProperties({
        {1, GET, L"URL", S, L"pVal", L"property URL"},
        {1, PUT, L"URL", S, nullptr, L"property URL"},
        {2, FN, L"UpdateView", VT_EMPTY, nullptr, L"method UpdateView"},
        {3, GET, L"User", S, L"pVal", L"property User"},
        {3, PUT, L"User", S, nullptr, L"property User"},
        {4, GET, L"Password", S, L"pVal", L"property Password"},
        {4, PUT, L"Password", S, nullptr, L"property Password"},
        {5, GET, L"Stretch", L, L"pVal", L"property Stretch"},
        {5, PUT, L"Stretch", L, nullptr, L"property Stretch"},
        {6, GET, L"Reconnect", L, L"pVal", L"property Reconnect"},
        {6, PUT, L"Reconnect", L, nullptr, L"property Reconnect"},
        {7, FN, L"SetReconnectTime", L, L"msec", L"method SetReconnectTime"},
        {8, GET, L"Display", L, L"pVal", L"property Display"},
        {8, PUT, L"Display", L, nullptr, L"property Display"},
        {9, GET, L"UpsideDown", L, L"pVal", L"property UpsideDown"},
        {9, PUT, L"UpsideDown", L, nullptr, L"property UpsideDown"},
        {10, GET, L"Mirror", L, L"pVal", L"property Mirror"},
        {10, PUT, L"Mirror", L, nullptr, L"property Mirror"},
        {11, FN, L"setaction", L, L"pVal", L"method setaction"},
        {12, GET, L"Version", S, L"pVal", L"property Version"},
        {12, PUT, L"Version", S, nullptr, L"property Version"},
        {13, FN, L"SetImageProcessCallback", L, L"pcallback", L"method SetImageProcessCallback"},
        {14, FN, L"getdata", L, L"pdata", L"method getdata"},
        {15, FN, L"getbmpdata", S, L"pVal", L"method getbmpdata"},
        {16, FN, L"getbmpdata_a", L, L"pdata", L"method getbmpdata_a"},
        {17, FN, L"gettmp", L, L"pdata", L"method gettmp"},
    }));
}

TEST(TypeLibTest, ParameterNamesAndKinds) {
    ComPtr<ITypeLib> lib = LoadLibrary();
    ComPtr<ITypeInfo> dispatch;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(IID_ICamImage, dispatch.put()), S_OK);
    ComPtr<ITypeInfo> itf = InterfaceHalf(dispatch.get());
    // setaction([in] int iaction, [out, retval] long* pVal)
    FUNCDESC* f = nullptr;
    ASSERT_EQ(itf->GetFuncDesc(24, &f), S_OK);
    ASSERT_EQ(f->cParams, 2);
    EXPECT_EQ(f->lprgelemdescParam[0].tdesc.vt, VT_INT);
    EXPECT_TRUE(f->lprgelemdescParam[0].paramdesc.wParamFlags & PARAMFLAG_FIN);
    EXPECT_TRUE(f->lprgelemdescParam[1].paramdesc.wParamFlags & PARAMFLAG_FOUT);
    BSTR names[4] = {};
    UINT count = 0;
    ASSERT_EQ(itf->GetNames(f->memid, names, 4, &count), S_OK);
    ASSERT_EQ(count, 3u);
    EXPECT_EQ(Str(names[0]), L"setaction");
    EXPECT_EQ(Str(names[1]), L"iaction");
    EXPECT_EQ(Str(names[2]), L"pVal");
    for (UINT n = 0; n < count; ++n) SysFreeString(names[n]);
    itf->ReleaseFuncDesc(f);

}

TEST(TypeLibTest, SettingsPanelAndRecordingStripMembers) {
    ComPtr<ITypeLib> lib = LoadLibrary();
    ComPtr<ITypeInfo> dispatch;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(IID_ICImgCtrl, dispatch.put()), S_OK);
    CheckMembers(InterfaceHalf(dispatch.get()).get(), WithStockProperties({
        {1, GET, L"URL", S, L"pVal", L"property URL"},
        {1, PUT, L"URL", S, nullptr, L"property URL"},
        {2, GET, L"User", S, L"pVal", L"property User"},
        {2, PUT, L"User", S, nullptr, L"property User"},
        {3, GET, L"Password", S, L"pVal", L"property Password"},
        {3, PUT, L"Password", S, nullptr, L"property Password"},
        {4, GET, L"Display", L, L"pVal", L"property Display"},
        {4, PUT, L"Display", L, nullptr, L"property Display"},
    }));
    ASSERT_EQ(lib->GetTypeInfoOfGuid(IID_ICRec, dispatch.put()), S_OK);
    CheckMembers(InterfaceHalf(dispatch.get()).get(), {{1, FN, L"setaction", VT_INT, L"iaction", L"method setaction"}});
}

TEST(TypeLibTest, LateBindingReachesTheMembers) {
    CamControlDll::Get().EnsureRegistered();
    ComPtr<IDispatch> camera;
    ASSERT_EQ(CamControlDll::Get().Create(CLSID_CamImage, IID_IDispatch, camera.put_void()), S_OK);

    UINT count = 0;
    EXPECT_EQ(camera->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(camera->GetTypeInfo(0, 0, info.put()), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_INTERFACE);  // the interface half serves Invoke
    EXPECT_TRUE(IsEqualGUID(attr->guid, IID_ICamImage));
    info->ReleaseTypeAttr(attr);
    EXPECT_EQ(camera->GetTypeInfo(1, 0, info.put()), DISP_E_BADINDEX);

    const wchar_t* names[] = {L"AutoSize", L"Enabled", L"Caption", L"URL", L"stretch", L"setaction", L"gettmp"};
    const DISPID ids[] = {-500, -514, -518, 1, 5, 11, 17};
    for (int i = 0; i < 7; ++i) {
        LPOLESTR name = const_cast<LPOLESTR>(names[i]);
        DISPID id = 0;
        ASSERT_EQ(camera->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK) << i;
        EXPECT_EQ(id, ids[i]) << i;
    }
    LPOLESTR unknown = const_cast<LPOLESTR>(L"NoSuchMember");
    DISPID id = 0;
    EXPECT_EQ(camera->GetIDsOfNames(IID_NULL, &unknown, 1, 0, &id), DISP_E_UNKNOWNNAME);

    // put Stretch 5, then get: 1.
    VARIANT arg;
    VariantInit(&arg);
    V_VT(&arg) = VT_I4;
    V_I4(&arg) = 5;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS put = {&arg, &named, 1, 1};
    ASSERT_EQ(camera->Invoke(5, IID_NULL, 0, DISPATCH_PROPERTYPUT, &put, nullptr, nullptr, nullptr), S_OK);
    VARIANT result;
    VariantInit(&result);
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    ASSERT_EQ(camera->Invoke(5, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr), S_OK);
    EXPECT_EQ(V_VT(&result), VT_I4);
    EXPECT_EQ(V_I4(&result), 1);

    // setaction(2) zooms in and answers 1 through its retval.
    V_I4(&arg) = 2;
    DISPPARAMS call = {&arg, nullptr, 1, 0};
    VariantInit(&result);
    ASSERT_EQ(camera->Invoke(11, IID_NULL, 0, DISPATCH_METHOD, &call, &result, nullptr, nullptr), S_OK);
    EXPECT_EQ(V_VT(&result), VT_I4);
    EXPECT_EQ(V_I4(&result), 1);
    V_I4(&arg) = 3;  // and back out
    ASSERT_EQ(camera->Invoke(11, IID_NULL, 0, DISPATCH_METHOD, &call, &result, nullptr, nullptr), S_OK);

    VariantInit(&result);
    ASSERT_EQ(camera->Invoke(12, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr), S_OK);
    ASSERT_EQ(V_VT(&result), VT_BSTR);
    EXPECT_EQ(Str(V_BSTR(&result)).compare(0, 9, L"ver070912"), 0);
    VariantClear(&result);
    EXPECT_EQ(camera->Invoke(5, IID_IPersist, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr),
              DISP_E_UNKNOWNINTERFACE);
}

TEST(TypeLibTest, ClassInfoReportsTheDefaultSource) {
    CamControlDll::Get().EnsureRegistered();
    ComPtr<IProvideClassInfo2> info;
    ASSERT_EQ(CamControlDll::Get().Create(CLSID_CamImage, IID_IProvideClassInfo2, info.put_void()), S_OK);
    GUID source{};
    ASSERT_EQ(info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source), S_OK);
    EXPECT_TRUE(IsEqualGUID(source, DIID__ICamImageEvents));
    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(info->GetClassInfo(coclass.put()), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(coclass->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_COCLASS);
    EXPECT_TRUE(IsEqualGUID(attr->guid, CLSID_CamImage));
    coclass->ReleaseTypeAttr(attr);

    ComPtr<IProvideClassInfo2> rec;
    ASSERT_EQ(CamControlDll::Get().Create(CLSID_CRec, IID_IProvideClassInfo2, rec.put_void()), S_OK);
    EXPECT_EQ(rec->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source), E_FAIL);
    EXPECT_TRUE(IsEqualGUID(source, GUID_NULL));
}
