// Library entry points, the class factory and self-registration.
#include <windows.h>

#include <string>

#include "HostFixture.h"

namespace veltra::test {
namespace {

const wchar_t kClsid[] = L"{6A1E47C9-2F3B-4D85-A0B4-3C9E5D71B824}";

struct Library {
    HMODULE dll = ::LoadLibraryW(BesideProgram(L"VeltraScanner.dll").c_str());
    ~Library() { ::FreeLibrary(dll); }
    template <class F>
    F Get(const char* name) {
        return reinterpret_cast<F>(reinterpret_cast<void (*)()>(::GetProcAddress(dll, name)));
    }
    HRESULT Register() { return Get<HRESULT(WINAPI*)()>("DllRegisterServer")(); }
    HRESULT Unregister() { return Get<HRESULT(WINAPI*)()>("DllUnregisterServer")(); }
    HRESULT Install(BOOL install, const wchar_t* line) {
        return Get<HRESULT(WINAPI*)(BOOL, LPCWSTR)>("DllInstall")(install, line);
    }
    HRESULT CanUnload() { return Get<HRESULT(WINAPI*)()>("DllCanUnloadNow")(); }
    HRESULT ClassObject(REFCLSID clsid, REFIID iid, void** out) {
        return Get<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>("DllGetClassObject")(clsid, iid, out);
    }
};

// The default value of a key, or nullopt when the key is missing.
std::optional<std::wstring> ReadDefault(HKEY root, const std::wstring& key) {
    wchar_t buffer[1024];
    DWORD size = sizeof buffer;
    DWORD type = 0;
    if (::RegGetValueW(root, key.c_str(), nullptr, RRF_RT_REG_SZ, &type, buffer, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(buffer);
}

TEST(Exports, AreUndecoratedWithTheirOrdinals) {
    Library lib;
    ASSERT_NE(lib.dll, nullptr);
    const struct {
        const char* name;
        WORD ordinal;
    } rows[] = {
        {"DllInstall", 1},      {"DllUnregisterServer", 2}, {"DllRegisterServer", 3},
        {"DllCanUnloadNow", 4}, {"DllGetClassObject", 5},
    };
    for (const auto& row : rows) {
        FARPROC byName = ::GetProcAddress(lib.dll, row.name);
        EXPECT_NE(byName, nullptr) << row.name;
        EXPECT_EQ(byName, ::GetProcAddress(lib.dll, MAKEINTRESOURCEA(row.ordinal))) << row.name;
    }
}

TEST(Registration, WritesTheFiveKeysAndRemovesThem) {
    Library lib;
    const std::wstring cls = std::wstring(L"CLSID\\") + kClsid;
    ASSERT_EQ(lib.Register(), S_OK);
    ASSERT_EQ(lib.Register(), S_OK) << "registering twice succeeds";
    EXPECT_EQ(ReadDefault(HKEY_CLASSES_ROOT, cls), L"VeltraScanner");
    const std::optional<std::wstring> path = ReadDefault(HKEY_CLASSES_ROOT, cls + L"\\InprocServer32");
    ASSERT_TRUE(path);
    EXPECT_NE(path->find(L"VeltraScanner.dll"), std::wstring::npos);
    EXPECT_EQ(path->find(L' '), std::wstring::npos);
    EXPECT_EQ(ReadDefault(HKEY_CLASSES_ROOT, L"AddIn.VeltraScanner"), L"VeltraScanner");
    EXPECT_EQ(ReadDefault(HKEY_CLASSES_ROOT, L"AddIn.VeltraScanner\\Clsid"), kClsid);
    EXPECT_EQ(ReadDefault(HKEY_CLASSES_ROOT, cls + L"\\ProgID"), L"AddIn.VeltraScanner");
    DWORD type = 0;
    EXPECT_NE(::RegGetValueW(HKEY_CLASSES_ROOT, (cls + L"\\InprocServer32").c_str(), L"ThreadingModel", RRF_RT_ANY,
                             &type, nullptr, nullptr),
              ERROR_SUCCESS)
        << "single-threaded: no model";
    CLSID clsid;
    EXPECT_EQ(::CLSIDFromProgID(L"AddIn.VeltraScanner", &clsid), S_OK);

    ASSERT_EQ(lib.Unregister(), S_OK);
    EXPECT_FALSE(ReadDefault(HKEY_CLASSES_ROOT, cls));
    EXPECT_FALSE(ReadDefault(HKEY_CLASSES_ROOT, L"AddIn.VeltraScanner"));
    EXPECT_EQ(lib.Unregister(), S_OK) << "removing what is not there is no error";
    ASSERT_EQ(lib.Register(), S_OK);  // the other tests of this program need it
}

TEST(Registration, DllInstallUser_WritesUnderCurrentUserAndRestoresTheSwitch) {
    Library lib;
    const std::wstring cls = std::wstring(L"Software\\Classes\\CLSID\\") + kClsid;
    for (const wchar_t* line : {L"user", L"USER"}) {
        ASSERT_EQ(lib.Install(TRUE, line), S_OK) << line;
        EXPECT_EQ(ReadDefault(HKEY_CURRENT_USER, cls), L"VeltraScanner") << line;
        EXPECT_EQ(ReadDefault(HKEY_CURRENT_USER, L"Software\\Classes\\AddIn.VeltraScanner\\Clsid"), kClsid);
        // The switch is back off: a plain unregistration leaves the per-user keys.
        lib.Unregister();
        EXPECT_TRUE(ReadDefault(HKEY_CURRENT_USER, cls)) << line;
        ASSERT_EQ(lib.Install(FALSE, line), S_OK);
        EXPECT_FALSE(ReadDefault(HKEY_CURRENT_USER, cls)) << line;
    }
    ASSERT_EQ(lib.Install(TRUE, L""), S_OK);
    EXPECT_TRUE(ReadDefault(HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + kClsid));
    EXPECT_EQ(lib.Install(TRUE, nullptr), S_OK);
}

TEST(ClassObject, RefusesAnyOtherClass) {
    Library lib;
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(lib.ClassObject(IID_IDispatch, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(lib.ClassObject(CLSID_VeltraScanner, IID_IDispatch, &out), E_NOINTERFACE);
    EXPECT_EQ(lib.ClassObject(CLSID_VeltraScanner, IID_IClassFactory, nullptr), E_POINTER);
}

TEST(ClassObject, CanUnloadNowFollowsLocksFactoryReferencesAndObjects) {
    Library lib;
    EXPECT_EQ(lib.CanUnload(), S_OK);
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(lib.ClassObject(CLSID_VeltraScanner, IID_IClassFactory, factory.put_void()), S_OK);
    EXPECT_EQ(lib.CanUnload(), S_FALSE) << "factory referenced";

    ComPtr<IUnknown> object;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, object.put_void()), S_OK);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    factory.reset();
    EXPECT_EQ(lib.CanUnload(), S_FALSE) << "object alive and server locked";
    object.reset();
    EXPECT_EQ(lib.CanUnload(), S_FALSE) << "server still locked";
    ASSERT_EQ(lib.ClassObject(CLSID_VeltraScanner, IID_IClassFactory, factory.put_void()), S_OK);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    factory.reset();
    EXPECT_EQ(lib.CanUnload(), S_OK);
}

TEST(ClassObject, CreateInstanceFollowsTheAggregationRules) {
    Library lib;
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(lib.ClassObject(CLSID_VeltraScanner, IID_IClassFactory, factory.put_void()), S_OK);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IInitDone, nullptr), E_POINTER);

    HostConnection outer;  // any object can play the controlling unknown
    IUnknown* outerUnknown = static_cast<IDispatch*>(&outer);
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(outerUnknown, IID_IInitDone, &out), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(out, nullptr);

    ComPtr<IUnknown> inner;
    ASSERT_EQ(factory->CreateInstance(outerUnknown, IID_IUnknown, inner.put_void()), S_OK);
    ComPtr<IInitDone> init;
    ASSERT_EQ(inner->QueryInterface(IID_IInitDone, init.put_void()), S_OK);
    // Interfaces of an aggregated object delegate to the outer object.
    const LONG before = outer.References();
    init->AddRef();
    EXPECT_EQ(outer.References(), before + 1);
    init->Release();
    ComPtr<IAsyncEvent> fromOuter;
    EXPECT_EQ(init->QueryInterface(IID_IAsyncEvent, fromOuter.put_void()), S_OK) << "answered by the outer object";
    fromOuter.reset();
    init.reset();
    inner.reset();
    factory.reset();
    EXPECT_EQ(lib.CanUnload(), S_OK);

    ComPtr<IUnknown> plain;
    EXPECT_EQ(
        ::CoCreateInstance(CLSID_VeltraScanner, nullptr, CLSCTX_INPROC_SERVER, IID_IClassFactory, plain.put_void()),
        E_NOINTERFACE);
}

}  // namespace
}  // namespace veltra::test
