#include "Perf.h"

#include <cstdlib>

#include "host/com/ServerRegistration.h"

namespace veltra::perf {

int g_Scale = 1;
std::vector<Row> g_Rows;

double NowUs() {
    static const double perUs = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f.QuadPart / 1e6;
    }();
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return t.QuadPart / perUs;
}

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[static_cast<size_t>(p * (v.size() - 1) + 0.5)];
}

[[noreturn]] void Fail(const char* what, long code) {
    std::fprintf(stderr, "VeltraPerf: %s (%08lX)\n", what, static_cast<unsigned long>(code));
    std::exit(1);
}

void RegisterDriver() {
    const HRESULT hr = substitute::RegisterServer(substitute::BesideProgram(L"VeltraScanner.dll"), true);
    if (FAILED(hr)) Fail("cannot register VeltraScanner.dll", hr);
}

HHOOK g_BareHook = nullptr;
LRESULT CALLBACK BareHook(int code, WPARAM flag, LPARAM message) {
    return ::CallNextHookEx(g_BareHook, code, flag, message);
}

std::vector<UINT> DigitKeys(int n) {
    std::vector<UINT> keys;
    for (char ch : std::to_string(n)) keys.push_back(static_cast<UINT>(ch));
    return keys;
}

void KeyboardSettings(Driver& d) {
    d.Set(u"propComPortNumber", u"0");
    d.Set(u"propPrefix", u"~");
    d.Set(u"propSuffix", u"Tab");
    d.Set(u"propTimeOut", u"1000");
}

void Machine(const char* figure, const std::string& fields) {
    std::printf("PERF arch=%s figure=%s %s\n", kArch, figure, fields.c_str());
}

std::string Format(const char* format, double a, double b, double c) {
    char text[160];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

}  // namespace veltra::perf
