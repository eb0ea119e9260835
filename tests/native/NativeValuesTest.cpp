// The Native API face's value conversions: what a host value reads as, and
// what is handed over through the platform's memory manager.
#include "native/addin/NativeValues.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "core/common/Text.h"

namespace veltra {
namespace {

// The conversions the COM face gets from the platform (measured under Wine
// with VariantChangeType): the native face must read host values alike.
TEST(NativeValues, NumbersFromTexts_AsThePlatformConvertsThem) {
    const struct {
        const char16_t* text;
        std::optional<int32_t> number;
    } rows[] = {
        {u"1000", 1000},
        {u" 1000 ", 1000},
        {u"+7", 7},
        {u"-42", -42},
        {u"1,000", 1000},
        {u"1000.5", 1000},
        {u"1001.5", 1002},
        {u"2.5", 2},
        {u"1.5", 2},
        {u"-2.5", -2},
        {u"1000.51", 1001},
        {u"1e3", 1000},
        {u"5E-1", 0},
        {u"15e-1", 2},
        {u".5", 0},
        {u"0.05", 0},
        {u"2147483647", 2147483647},
        {u"-2147483648", INT32_MIN},
        {u"2147483648", {}},
        {u"1e10", {}},
        {u"", {}},
        {u"abc", {}},
        {u"1 000", {}},
        {u",1", {}},
        {u"1,", 1},
        {u"1e", {}},
        {u"-", {}},
        {u"12abc", {}},
        {u"1e99999999999", {}},
        {u"0e99999999999", 0},
    };
    for (const auto& row : rows) EXPECT_EQ(ParseNumberText(row.text), row.number) << ToUtf8(row.text);
}

TEST(NativeValues, TextAndNumberOfEachType) {
    WCHAR_T wide[] = {'C', 'O', 'M', '3', 0};
    char narrow[] = "\xD0\x94\xD0\xB0";  // "Да" in UTF-8
    const auto make = [](uint16_t vt, auto set) {
        tVariant v{};
        v.vt = vt;
        set(v.value);
        return v;
    };
    using Union = decltype(tVariant::value);
    const struct {
        tVariant value;
        std::optional<std::u16string> text;
        std::optional<int32_t> number;
    } rows[] = {
        {make(VTYPE_EMPTY, [](Union&) {}), u"", 0},
        {make(VTYPE_NULL, [](Union&) {}), std::nullopt, std::nullopt},
        {make(VTYPE_I4, [](Union& u) { u.lVal = -9600; }), u"-9600", -9600},
        {make(VTYPE_UI1, [](Union& u) { u.ui8Val = 200; }), u"200", 200},
        {make(VTYPE_I8, [](Union& u) { u.llVal = 5000000000LL; }), u"5000000000", std::nullopt},
        {make(VTYPE_BOOL, [](Union& u) { u.bVal = true; }), u"-1", -1},
        {make(VTYPE_BOOL, [](Union& u) { u.bVal = false; }), u"0", 0},
        {make(VTYPE_R8, [](Union& u) { u.dblVal = 9600.0; }), u"9600", 9600},
        {make(VTYPE_R8, [](Union& u) { u.dblVal = 1.5; }), u"1.5", 2},
        {make(VTYPE_R8, [](Union& u) { u.dblVal = 2.5; }), u"2.5", 2},
        {make(VTYPE_R8, [](Union& u) { u.dblVal = 1e20; }), u"1E+20", std::nullopt},
        {make(VTYPE_R8, [](Union& u) { u.dblVal = 0.1; }), u"0.1", 0},
        {make(VTYPE_PWSTR,
              [&](Union& u) {
                  u.wideText = {wide, 4};
              }),
         u"COM3", std::nullopt},
        {make(VTYPE_PWSTR,
              [&](Union& u) {
                  u.wideText = {wide, 3};
              }),
         u"COM", std::nullopt},
        {make(VTYPE_PWSTR,
              [](Union& u) {
                  u.wideText = {nullptr, 0};
              }),
         u"", std::nullopt},
        {make(VTYPE_PWSTR,
              [](Union& u) {
                  u.wideText = {nullptr, 5};
              }),
         std::nullopt, std::nullopt},
        {make(VTYPE_PSTR,
              [&](Union& u) {
                  u.text = {narrow, 4};
              }),
         u"Да", std::nullopt},
        {make(VTYPE_ERROR, [](Union& u) { u.errCode = 0; }), std::nullopt, std::nullopt},
        {make(VTYPE_TM, [](Union&) {}), std::nullopt, std::nullopt},
        {make(VTYPE_BLOB, [](Union&) {}), std::nullopt, std::nullopt},
        {make(VTYPE_I4 | VTYPE_ARRAY, [](Union&) {}), std::nullopt, std::nullopt},
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        EXPECT_EQ(TextOfValue(rows[i].value), rows[i].text) << "row " << i;
        EXPECT_EQ(IntegerOfValue(rows[i].value), rows[i].number) << "row " << i;
    }
}

// A memory manager that remembers its blocks and can refuse.
class Blocks final : public IMemoryManager {
public:
    ~Blocks() override {
        for (void* b : live) std::free(b);
    }
    bool VELTRA_NATIVE_CALL AllocMemory(void** memory, unsigned long bytes) override {
        if (refuse) return false;
        *memory = std::malloc(bytes);
        live.insert(*memory);
        return true;
    }
    void VELTRA_NATIVE_CALL FreeMemory(void** memory) override {
        live.erase(*memory);
        std::free(*memory);
        *memory = nullptr;
    }
    std::set<void*> live;
    bool refuse = false;
};

TEST(NativeValues, Params_ReadMissingAsEmpty_WriteTextsThroughTheManager_AndLeaveMissingSlotsAlone) {
    Blocks blocks;
    tVariant slots[2] = {};
    slots[1].vt = VTYPE_NULL;
    NativeParams params(slots, 2, &blocks);
    EXPECT_EQ(params.ReadText(0), u"");
    EXPECT_EQ(params.ReadText(5), u"") << "beyond the count";
    EXPECT_THROW(params.ReadText(1), DriverError) << "null has no text";

    params.Write(0, HostValue::OfText(u"Вельтра"));
    ASSERT_EQ(slots[0].vt, VTYPE_PWSTR);
    EXPECT_EQ(blocks.live.count(slots[0].value.wideText.pwstrVal), 1u);
    EXPECT_EQ(slots[0].value.wideText.wstrLen, 7u);
    EXPECT_EQ(FromHostText(slots[0].value.wideText.pwstrVal), u"Вельтра");
    params.Write(2, HostValue::OfInteger(1));  // nothing to write into
    NativeParams(nullptr, 3, &blocks).Write(0, HostValue::OfInteger(1));

    blocks.refuse = true;
    EXPECT_THROW(params.Write(1, HostValue::OfText(u"x")), std::bad_alloc);
    EXPECT_EQ(slots[1].vt, VTYPE_NULL) << "a refused block leaves the slot as it was";
    EXPECT_THROW(HandOverText(nullptr, u"x"), std::bad_alloc) << "no manager";
}

}  // namespace
}  // namespace veltra
