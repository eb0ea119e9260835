// The add-in object through real COM, as the host drives it.
#include <windows.h>

#include "HostFixture.h"
#include "core/common/Text.h"

namespace veltra::test {
namespace {

std::u16string Str(BSTR b) { return FromBstr(b); }

using AddIn = InitialisedComponent;

TEST_F(AddIn, Init_SetsBufferDepthAndResetsErrorState) {
    EXPECT_EQ(host.BufferDepths(), std::vector<long>{300});
    const auto [code, description] = c.LastError();
    EXPECT_EQ(code, 0);
    EXPECT_EQ(description, u"");
}

TEST_F(AddIn, Done_ReleasesEveryHostReferenceAndIsSafeTwice) {
    EXPECT_GT(host.References(), 0);
    EXPECT_EQ(c.Done(), S_OK);
    EXPECT_EQ(host.References(), 0);
    EXPECT_EQ(c.Done(), S_OK);
}

TEST(AddInInit, Init_FailsCleanly_WhenHostOffersNoEventSinkOrRefusesTheDepth) {
    for (int refuseDepth : {0, 1}) {
        HostConnection host;
        if (refuseDepth) host.RefuseBufferDepth(E_FAIL);
        else host.OfferAsyncEvent(false);
        Component c;
        ASSERT_TRUE(c.Created());
        EXPECT_TRUE(FAILED(c.Init(host))) << refuseDepth;
        EXPECT_EQ(host.References(), 0) << "nothing of the host kept after a refused Init";
        EXPECT_EQ(c.Done(), S_OK);
    }
}

TEST_F(AddIn, GetInfo_WritesTextVersionIntoElementZeroOnly) {
    const UniqueSafeArray array = MakeVariantArray(2);
    Variant sentinel;
    sentinel.set_i4(77);
    long one = 1;
    ::SafeArrayPutElement(array.get(), &one, sentinel.get());
    SAFEARRAY* info = array.get();
    EXPECT_EQ(c.init()->GetInfo(&info), S_OK);
    Variant v0, v1;
    long zero = 0;
    ::SafeArrayGetElement(info, &zero, v0.get());
    ::SafeArrayGetElement(info, &one, v1.get());
    EXPECT_EQ(v0.type(), VT_BSTR);
    EXPECT_EQ(Str(V_BSTR(v0.get())), u"2000");
    EXPECT_EQ(V_I4(v1.get()), 77);
    EXPECT_EQ(c.init()->GetInfo(nullptr), E_POINTER);
}

TEST_F(AddIn, RegisterExtensionAs_NamesTheExtension) {
    for (int i = 0; i < 2; ++i) {
        BSTR name = nullptr;
        EXPECT_EQ(c.ext()->RegisterExtensionAs(&name), S_OK);
        EXPECT_EQ(Str(name), u"VeltraScanner");
        ::SysFreeString(name);
    }
}

TEST_F(AddIn, SetLocale_SelectsTheLanguageOfLaterMessages) {
    const struct {
        const wchar_t* locale;
        long code;
        const char16_t* description;
    } rows[] = {
        {L"ru_RU", 10, u"Дополнительные действия не поддерживаются драйвером."},
        {L"en_US", 10, u"Additional actions are not supported driver."},
        {L"RU", 10, u"Additional actions are not supported driver."},
        {L"", 10, u"Additional actions are not supported driver."},
    };
    for (const auto& row : rows) {
        c.SetLocale(row.locale);
        c.CallByName(u"DoAdditionalAction", 1);
        EXPECT_EQ(c.LastError(), std::make_pair(row.code, std::u16string(row.description))) << row.locale;
    }
}

TEST_F(AddIn, Init_ResetsTheLanguageToRussian) {
    c.SetLocale(L"en_US");
    ASSERT_EQ(c.Done(), S_OK);
    ASSERT_EQ(c.Init(host), S_OK);
    c.CallByName(u"DoAdditionalAction", 1);
    EXPECT_EQ(c.LastError().second, u"Дополнительные действия не поддерживаются драйвером.");
}

TEST_F(AddIn, Tables_AnswerCountsNamesAndNumbersInBothLanguages) {
    long n = 0;
    EXPECT_EQ(c.ext()->GetNProps(&n), S_OK);
    EXPECT_EQ(n, 8);
    EXPECT_EQ(c.ext()->GetNMethods(&n), S_OK);
    EXPECT_EQ(n, 10);

    const struct {
        bool method;
        const wchar_t* name;
        HRESULT hr;
        long number;
    } finds[] = {
        {false, L"Скорость", S_OK, 1},          {false, L"propSpeed", S_OK, 1}, {false, L"propspeed", S_FALSE, -1},
        {false, L"Speed", S_FALSE, -1},         {true, L"Подключить", S_OK, 5}, {true, L"open", S_FALSE, -1},
        {true, L"DoAdditionalAction", S_OK, 9},
    };
    for (const auto& row : finds) {
        UniqueBstr name(::SysAllocString(row.name));
        long number = 42;
        const HRESULT hr =
            row.method ? c.ext()->FindMethod(name.get(), &number) : c.ext()->FindProp(name.get(), &number);
        EXPECT_EQ(hr, row.hr) << row.name;
        EXPECT_EQ(number, row.number) << row.name;
    }
    long number = 42;
    EXPECT_EQ(c.ext()->FindProp(nullptr, &number), S_FALSE) << "a null name reads as empty";

    const struct {
        bool method;
        long number, alias;
        HRESULT hr;
        const char16_t* name;
    } names[] = {
        {false, 7, 1, S_OK, u"Суффикс"}, {false, 0, 0, S_OK, u"propComPortNumber"}, {false, 8, 0, S_FALSE, nullptr},
        {false, 0, 2, S_FALSE, nullptr}, {true, 9, 0, S_OK, u"DoAdditionalAction"}, {true, 5, 1, S_OK, u"Подключить"},
        {true, 10, 0, S_FALSE, nullptr}, {true, -1, 1, S_FALSE, nullptr},
    };
    for (const auto& row : names) {
        BSTR name = ::SysAllocString(L"stale");
        BSTR before = name;
        const HRESULT hr = row.method ? c.ext()->GetMethodName(row.number, row.alias, &name)
                                      : c.ext()->GetPropName(row.number, row.alias, &name);
        EXPECT_EQ(hr, row.hr) << row.number;
        if (row.name) EXPECT_EQ(Str(name), row.name) << row.number;
        else EXPECT_EQ(name, nullptr) << row.number;
        ::SysFreeString(name);
        (void)before;  // an [out] BSTR is the callee's to set; the host frees what it gets
    }
}

TEST_F(AddIn, MethodShapes_FollowTheTable) {
    const long params[] = {0, 7, 1, 1, 2, 1, 1, 2, 1, 1};
    for (long m = 0; m < 10; ++m) {
        long count = -1;
        EXPECT_EQ(c.ext()->GetNParams(m, &count), S_OK);
        EXPECT_EQ(count, params[m]) << m;
    }
    long count = -1;
    EXPECT_EQ(c.ext()->GetNParams(10, &count), S_FALSE);
    EXPECT_EQ(count, 0);
    BOOL flag = FALSE;
    EXPECT_EQ(c.ext()->HasRetVal(42, &flag), S_OK);
    EXPECT_TRUE(flag);
    EXPECT_EQ(c.ext()->CallAsProc(0, nullptr), S_FALSE);
    Variant def;
    def.set_i4(5);
    EXPECT_EQ(c.ext()->GetParamDefValue(1, 0, def.get()), S_OK);
    EXPECT_EQ(def.type(), VT_EMPTY);
    for (long p : {0L, 7L}) {
        flag = FALSE;
        EXPECT_EQ(c.ext()->IsPropReadable(p, &flag), S_OK);
        EXPECT_TRUE(flag);
        flag = FALSE;
        EXPECT_EQ(c.ext()->IsPropWritable(p, &flag), S_OK);
        EXPECT_TRUE(flag);
    }
    flag = 5;
    EXPECT_EQ(c.ext()->IsPropReadable(8, &flag), S_FALSE);
    EXPECT_EQ(flag, 5) << "not written";
}

TEST_F(AddIn, CallAsFunc_OutsideTheTable_AnswersFalseWithIntegerZero) {
    Component::CallResult r = c.Call(10, 1);
    EXPECT_EQ(r.hr, S_FALSE);
    EXPECT_EQ(r.result.type(), VT_I4);
    EXPECT_EQ(V_I4(r.result.get()), 0);
}

TEST_F(AddIn, GetPropVal_OfANewObject_GivesEmptyValuesOfTheRightTypes) {
    const struct {
        long number;
        VARTYPE type;
    } rows[] = {
        {0, VT_BSTR}, {1, VT_BSTR}, {2, VT_BSTR}, {3, VT_BSTR}, {4, VT_BOOL}, {5, VT_I4}, {6, VT_BSTR}, {7, VT_BSTR},
    };
    for (const auto& row : rows) {
        Variant v;
        EXPECT_EQ(c.ext()->GetPropVal(row.number, v.get()), S_OK);
        EXPECT_EQ(v.type(), row.type) << row.number;
    }
    Variant v;
    EXPECT_EQ(c.ext()->GetPropVal(8, v.get()), S_FALSE);
    EXPECT_EQ(v.type(), VT_EMPTY);
}

TEST_F(AddIn, LastError_DecodesEveryClassTheCommandsRaise) {
    c.SetLocale(L"en_US");
    EXPECT_EQ(c.SetParameter(u"propspeed", u"9600"), 0);
    const auto expected = std::make_pair(1L, std::u16string(u"No parameter with the specified name."));
    EXPECT_EQ(c.LastError(), expected);
    EXPECT_EQ(c.LastError(), expected) << "asking again gives the same";
    c.CallByName(u"Close", 1);  // Close with no identifier
    EXPECT_EQ(c.LastError(), std::make_pair(3L, std::u16string(u"Invalid data type of the parameter Device ID.")));
    c.CallByName(u"DoAdditionalAction", 1);
    EXPECT_EQ(c.LastError().first, 10);
}

TEST_F(AddIn, HostFacingCalls_AnswerNullPointersWithEPointer) {
    EXPECT_EQ(c.ext()->RegisterExtensionAs(nullptr), E_POINTER);
    EXPECT_EQ(c.ext()->GetNProps(nullptr), E_POINTER);
    EXPECT_EQ(c.ext()->FindProp(nullptr, nullptr), E_POINTER);
    EXPECT_EQ(c.ext()->GetPropName(0, 0, nullptr), E_POINTER);
    EXPECT_EQ(c.ext()->GetPropVal(0, nullptr), E_POINTER);
    EXPECT_EQ(c.ext()->SetPropVal(0, nullptr), E_POINTER);
    EXPECT_EQ(c.ext()->IsPropReadable(0, nullptr), E_POINTER);
    EXPECT_EQ(c.ext()->GetNMethods(nullptr), E_POINTER);
    EXPECT_EQ(c.ext()->GetNParams(0, nullptr), E_POINTER);
    EXPECT_EQ(c.ext()->HasRetVal(0, nullptr), E_POINTER);
    EXPECT_EQ(c.ext()->CallAsFunc(0, nullptr, nullptr), E_POINTER);
    Variant result;
    EXPECT_EQ(c.ext()->CallAsFunc(0, result.get(), nullptr), E_POINTER);
    EXPECT_EQ(c.init()->Init(nullptr), E_POINTER);
}

TEST_F(AddIn, CallAsFunc_WithNoArray_ReadsEmptyAndWritesNothing) {
    SAFEARRAY* none = nullptr;
    Variant result;
    EXPECT_EQ(c.ext()->CallAsFunc(1, result.get(), &none), S_OK);  // GetDescription writes nowhere
    EXPECT_EQ(V_I4(result.get()), 1);
    EXPECT_EQ(c.ext()->CallAsFunc(6, result.get(), &none), S_OK);  // Close reads an empty identifier
    EXPECT_EQ(V_I4(result.get()), 0);
    EXPECT_EQ(c.LastError().first, 3);
}

TEST_F(AddIn, CallAsFunc_IgnoresAnArrayOfAnotherElementType) {
    const UniqueSafeArray array(::SafeArrayCreateVector(VT_I4, 0, 7));
    SAFEARRAY* ints = array.get();
    Variant result;
    EXPECT_EQ(c.ext()->CallAsFunc(1, result.get(), &ints), S_OK);
    long value = -1;
    for (long i = 0; i < 7; ++i) {
        ::SafeArrayGetElement(ints, &i, &value);
        EXPECT_EQ(value, 0) << i;
    }
}

TEST_F(AddIn, CallAsFunc_AddressesElementsByIndex_WhenTheLowerBoundIsNotZero) {
    SAFEARRAYBOUND bound{7, 1};  // elements 1..7: parameter 0 has no element
    const UniqueSafeArray owner(::SafeArrayCreate(VT_VARIANT, 1, &bound));
    SAFEARRAY* array = owner.get();
    Variant result;
    EXPECT_EQ(c.ext()->CallAsFunc(1, result.get(), &array), S_OK);
    EXPECT_EQ(V_I4(result.get()), 1);
    Variant v1, v7;
    long one = 1, seven = 7;
    ::SafeArrayGetElement(array, &one, v1.get());
    ::SafeArrayGetElement(array, &seven, v7.get());
    EXPECT_EQ(v1.type(), VT_BSTR) << "parameter 1, the description";
    EXPECT_EQ(v7.type(), VT_EMPTY) << "there is no parameter 7";
}

TEST_F(AddIn, Dispatch_RefusesEveryOperation) {
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(c.init()->QueryInterface(IID_IDispatch, dispatch.put_void()), S_OK);
    UINT count = 7;
    EXPECT_EQ(dispatch->GetTypeInfoCount(&count), E_NOTIMPL);
    EXPECT_EQ(count, 7u);
    EXPECT_EQ(dispatch->GetTypeInfo(0, 0, nullptr), E_NOTIMPL);
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, nullptr, 0, 0, nullptr), E_NOTIMPL);
    EXPECT_EQ(dispatch->Invoke(0, IID_NULL, 0, 0, nullptr, nullptr, nullptr, nullptr), E_NOTIMPL);
}

TEST_F(AddIn, SupportErrorInfo_AnswersForItsOwnInterfacesOnly) {
    ComPtr<ISupportErrorInfo> info;
    ASSERT_EQ(c.init()->QueryInterface(IID_ISupportErrorInfo, info.put_void()), S_OK);
    for (const IID* iid :
         {&IID_IUnknown, &IID_IInitDone, &IID_ILanguageExtender, &IID_ILocale, &IID_IDispatch, &IID_ISupportErrorInfo})
        EXPECT_EQ(info->InterfaceSupportsErrorInfo(*iid), S_OK);
    EXPECT_EQ(info->InterfaceSupportsErrorInfo(IID_IAsyncEvent), S_FALSE);
    EXPECT_EQ(info->InterfaceSupportsErrorInfo(IID_IClassFactory), S_FALSE);
}

}  // namespace
}  // namespace veltra::test
