// Settings through COM: what only the COM face's variants can carry. The
// behaviour both faces share (tests/faces) covers SetParameter, property
// writes, the settings document and the commands.
#include <windows.h>

#include "HostFixture.h"
#include "core/common/Text.h"

namespace veltra::test {
namespace {

class Parameters : public InitialisedComponent {
protected:
    HRESULT Write(long number, const Variant& value) {
        return c.ext()->SetPropVal(number, const_cast<VARIANT*>(value.get()));
    }
    Variant Read(long number) {
        Variant v;
        EXPECT_EQ(c.ext()->GetPropVal(number, v.get()), S_OK);
        return v;
    }
    std::u16string ReadText(long number) {
        Variant v = Read(number);
        return v.type() == VT_BSTR ? FromBstr(V_BSTR(v.get())) : u"<not a text>";
    }
};

TEST_F(Parameters, SetParameter_LeavesThePropertyFieldsAlone) {
    Variant v;
    v.set_text(u"9600");
    ASSERT_EQ(Write(1, v), S_OK);
    EXPECT_EQ(c.SetParameter(u"propSpeed", u"3"), 1);
    EXPECT_EQ(ReadText(1), u"9600");
}

TEST_F(Parameters, PropertyWrite_RefusesValuesWithoutTextForm_AndChangesNothing) {
    Variant text;
    text.set_text(u"~");
    ASSERT_EQ(Write(6, text), S_OK);
    std::vector<Variant> bad;
    bad.emplace_back();
    V_VT(bad.back().get()) = VT_NULL;
    bad.emplace_back();
    V_VT(bad.back().get()) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(bad.back().get()) = MakeVariantArray(1).release();
    bad.emplace_back();
    V_VT(bad.back().get()) = VT_UNKNOWN;
    V_UNKNOWN(bad.back().get()) = nullptr;
    for (size_t i = 0; i < bad.size(); ++i) {
        for (long number : {6L, 42L}) {
            EXPECT_EQ(Write(number, bad[i]), S_OK) << i << " " << number;
            EXPECT_EQ(
                c.LastError(),
                std::make_pair(1L, std::u16string(u"Error during installation. Invalid data type in the parameter.")))
                << i << " " << number;
        }
        EXPECT_EQ(ReadText(6), u"~") << i;
    }
    Variant fine;
    fine.set_i4(3);
    EXPECT_EQ(Write(42, fine), S_FALSE) << "an unknown number with a convertible value";
}

}  // namespace
}  // namespace veltra::test
