#include "core/settings/Names.h"

#include <gtest/gtest.h>

#include "core/common/Text.h"

namespace veltra {
namespace {

TEST(FindProp, MatchesEitherNameExactly) {
    const struct {
        const char16_t* name;
        int32_t number;
    } rows[] = {
        {u"Скорость", 1},      {u"propSpeed", 1}, {u"propspeed", -1}, {u"Speed", -1}, {u"propComPortNumber", 0},
        {u"НомерComПорта", 0}, {u"Суффикс", 7},   {u"propSuffix", 7}, {u"", -1},      {u"propSpeed ", -1},
    };
    for (const auto& row : rows) EXPECT_EQ(FindPropNumber(row.name), row.number) << ToUtf8(row.name);
}

TEST(FindMethod, MatchesEitherNameExactly) {
    const struct {
        const char16_t* name;
        int32_t number;
    } rows[] = {
        {u"Подключить", 5},
        {u"Open", 5},
        {u"open", -1},
        {u"DoAdditionalAction", 9},
        {u"ВыполнитьДополнительноеДействие", 9},
        {u"GetVersion", 0},
        {u"", -1},
    };
    for (const auto& row : rows) EXPECT_EQ(FindMethodNumber(row.name), row.number) << ToUtf8(row.name);
}

TEST(Names, ByNumberAndAlias) {
    EXPECT_EQ(std::u16string(PropName(7, 1)), u"Суффикс");
    EXPECT_EQ(std::u16string(MethodName(9, 0)), u"DoAdditionalAction");
    EXPECT_EQ(PropName(8, 0), nullptr);
    EXPECT_EQ(PropName(0, 2), nullptr);
    EXPECT_EQ(PropName(-1, 0), nullptr);
    EXPECT_EQ(MethodName(10, 0), nullptr);
    EXPECT_EQ(MethodName(0, -1), nullptr);
}

TEST(Names, EveryNameFindsItsOwnRow) {
    for (int32_t i = 0; i < kPropCount; ++i)
        for (int32_t alias : {0, 1}) EXPECT_EQ(FindPropNumber(PropName(i, alias)), i);
    for (int32_t i = 0; i < kMethodCount; ++i)
        for (int32_t alias : {0, 1}) EXPECT_EQ(FindMethodNumber(MethodName(i, alias)), i);
}

TEST(MethodParamCount_, FollowsTheTable) {
    const int32_t expected[] = {0, 7, 1, 1, 2, 1, 1, 2, 1, 1};
    for (int32_t i = 0; i < kMethodCount; ++i) EXPECT_EQ(MethodParamCount(i), expected[i]) << i;
    EXPECT_EQ(MethodParamCount(10), -1);
    EXPECT_EQ(MethodParamCount(-1), -1);
}

}  // namespace
}  // namespace veltra
