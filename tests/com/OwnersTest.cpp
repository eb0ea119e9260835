// The owners of the COM face and of the Win32 glue: each resource freed
// exactly once, whatever moves, puts and resets it went through.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "com/addin/ComOwners.h"
#include "core/common/ScopeExit.h"
#include "core/common/Win32Owners.h"

namespace veltra {
namespace {

// Counts its references; freed means the count went back to zero.
class CountedObject : public IUnknown {
public:
    STDMETHODIMP QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++refs); }
    STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--refs); }
    // A new reference, as a call that hands out an interface gives it.
    IUnknown* Take() {
        AddRef();
        return this;
    }
    long refs = 0;
};

// Puts a new reference to `object` into `v`.
void Hold(Variant& v, CountedObject& object) {
    VARIANT* slot = v.put();
    V_VT(slot) = VT_UNKNOWN;
    V_UNKNOWN(slot) = object.Take();
}

// Closing sets the last error to 0, as a close function may; `closed` counts.
struct CountingTraits {
    static std::vector<int>* closed;
    static int empty() noexcept { return 0; }
    static bool is_empty(int v) noexcept { return v == 0; }
    static void close(int v) noexcept {
        closed->push_back(v);
        ::SetLastError(0);
    }
};
std::vector<int>* CountingTraits::closed = nullptr;
using UniqueInt = Unique<int, CountingTraits>;

TEST(Unique_, FreesEachValueOnce_AndKeepsTheLastError) {
    const struct {
        const char* row;
        std::function<void()> steps;  // runs with owners made inside, all gone at its end
        std::vector<int> closed;
    } rows[] = {
        {"goes out of scope", [] { UniqueInt a(1); }, {1}},
        {"move construction",
         [] {
             UniqueInt a(1);
             UniqueInt b(std::move(a));
             EXPECT_EQ(a.get(), 0);
         },
         {1}},
        {"move assignment frees the target's",
         [] {
             UniqueInt a(1), b(2);
             b = std::move(a);
             EXPECT_EQ(b.get(), 1);
         },
         {2, 1}},
        {"self-move keeps the value",
         [] {
             UniqueInt a(1);
             UniqueInt& same = a;
             a = std::move(same);
             EXPECT_EQ(a.get(), 1);
         },
         {1}},
        {"put frees before handing out the address",
         [] {
             UniqueInt a(1);
             *a.put() = 2;
             EXPECT_EQ(CountingTraits::closed->size(), 1u);
         },
         {1, 2}},
        {"release hands over",
         [] {
             UniqueInt a(1);
             EXPECT_EQ(a.release(), 1);
         },
         {}},
        {"reset to another",
         [] {
             UniqueInt a(1);
             a.reset(2);
         },
         {1, 2}},
        {"empty frees nothing",
         [] {
             UniqueInt a;
             UniqueInt b(std::move(a));
             b.reset();
         },
         {}},
    };
    for (const auto& row : rows) {
        std::vector<int> closed;
        CountingTraits::closed = &closed;
        ::SetLastError(0xDEADBEEF);
        row.steps();
        EXPECT_EQ(closed, row.closed) << row.row;
        EXPECT_EQ(::GetLastError(), 0xDEADBEEFu) << row.row;
    }
}

TEST(ComPtr_, ReleasesEachReferenceOnce) {
    const struct {
        const char* row;
        std::function<void(CountedObject&, CountedObject&)> steps;
    } rows[] = {
        {"put",
         [](CountedObject& a, CountedObject&) {
             ComPtr<IUnknown> p;
             *p.put() = a.Take();
         }},
        {"put releases the previous",
         [](CountedObject& a, CountedObject& b) {
             ComPtr<IUnknown> p;
             *p.put() = a.Take();
             *p.put() = b.Take();
             EXPECT_EQ(a.refs, 0);
         }},
        {"move construction",
         [](CountedObject& a, CountedObject&) {
             ComPtr<IUnknown> p;
             *p.put() = a.Take();
             ComPtr<IUnknown> q(std::move(p));
             EXPECT_FALSE(p);
         }},
        {"move assignment releases the target's",
         [](CountedObject& a, CountedObject& b) {
             ComPtr<IUnknown> p, q;
             *p.put() = a.Take();
             *q.put() = b.Take();
             q = std::move(p);
             EXPECT_EQ(b.refs, 0);
             EXPECT_EQ(q.get(), &a);
         }},
        {"self-move keeps the reference",
         [](CountedObject& a, CountedObject&) {
             ComPtr<IUnknown> p;
             *p.put() = a.Take();
             ComPtr<IUnknown>& same = p;
             p = std::move(same);
             EXPECT_EQ(p.get(), &a);
         }},
    };
    for (const auto& row : rows) {
        CountedObject a, b;
        row.steps(a, b);
        EXPECT_EQ(a.refs, 0) << row.row;
        EXPECT_EQ(b.refs, 0) << row.row;
    }
}

TEST(Variant_, ClearsItsValueOnce) {
    const struct {
        const char* row;
        std::function<void(CountedObject&)> steps;
    } rows[] = {
        {"goes out of scope",
         [](CountedObject& o) {
             Variant v;
             Hold(v, o);
         }},
        {"put clears the previous",
         [](CountedObject& o) {
             Variant v;
             Hold(v, o);
             v.put();
             EXPECT_EQ(o.refs, 0);
             EXPECT_EQ(v.type(), VT_EMPTY);
         }},
        {"move assignment clears the target's",
         [](CountedObject& o) {
             Variant v, w;
             Hold(v, o);
             Hold(w, o);
             w = std::move(v);
             EXPECT_EQ(o.refs, 1);
             EXPECT_EQ(v.type(), VT_EMPTY);
         }},
        {"self-move keeps the value",
         [](CountedObject& o) {
             Variant v;
             Hold(v, o);
             Variant& same = v;
             v = std::move(same);
             EXPECT_EQ(o.refs, 1);
         }},
        {"release_to hands over",
         [](CountedObject& o) {
             VARIANT out;
             {
                 Variant v;
                 Hold(v, o);
                 v.release_to(&out);
             }
             EXPECT_EQ(o.refs, 1);
             ::VariantClear(&out);
         }},
    };
    for (const auto& row : rows) {
        CountedObject o;
        row.steps(o);
        EXPECT_EQ(o.refs, 0) << row.row;
    }
}

TEST(UniqueBstr_, HoldsACopy_AndANullReadsAsEmpty) {
    const UniqueBstr text = MakeBstr(std::u16string(u"a\0b", 3));
    EXPECT_EQ(::SysStringLen(text.get()), 3u);
    EXPECT_EQ(FromBstr(text.get()), std::u16string(u"a\0b", 3));
    EXPECT_EQ(FromBstr(nullptr), u"");
}

TEST(ScopeExit_, RunsOnceUnlessDismissed) {
    int runs = 0;
    {
        auto undo = OnScopeExit([&] { ++runs; });
    }
    {
        auto undo = OnScopeExit([&] { ++runs; });
        undo.Dismiss();
    }
    EXPECT_EQ(runs, 1);
}

}  // namespace
}  // namespace veltra
