#include "core/settings/Names.h"

namespace veltra {

namespace {

const NamePair kProps[kPropCount] = {
    {u"propComPortNumber", u"НомерComПорта"},
    {u"propSpeed", u"Скорость"},
    {u"propDataBit", u"БитДанных"},
    {u"propStopBits", u"СтоповыеБиты"},
    {u"propParity", u"Четность"},
    {u"propTimeOut", u"Задержка"},
    {u"propPrefix", u"Префикс"},
    {u"propSuffix", u"Суффикс"},
};

struct MethodRow {
    NamePair names;
    int32_t params;
};

const MethodRow kMethods[kMethodCount] = {
    {{u"GetVersion", u"ПолучитьНомерВерсии"}, 0},
    {{u"GetDescription", u"ПолучитьОписание"}, 7},
    {{u"GetLastError", u"ПолучитьОшибку"}, 1},
    {{u"GetParameters", u"ПолучитьПараметры"}, 1},
    {{u"SetParameter", u"УстановитьПараметр"}, 2},
    {{u"Open", u"Подключить"}, 1},
    {{u"Close", u"Отключить"}, 1},
    {{u"DeviceTest", u"ТестУстройства"}, 2},
    {{u"GetAdditionalActions", u"ПолучитьДополнительныеДействия"}, 1},
    {{u"DoAdditionalAction", u"ВыполнитьДополнительноеДействие"}, 1},
};

bool Matches(const NamePair& pair, const std::u16string& name) { return name == pair.english || name == pair.russian; }

const char16_t* ByAlias(const NamePair& pair, int32_t alias) {
    return alias == 0 ? pair.english : alias == 1 ? pair.russian : nullptr;
}

}  // namespace

int32_t FindPropNumber(const std::u16string& name) {
    for (int32_t i = 0; i < kPropCount; ++i)
        if (Matches(kProps[i], name)) return i;
    return -1;
}

int32_t FindMethodNumber(const std::u16string& name) {
    for (int32_t i = 0; i < kMethodCount; ++i)
        if (Matches(kMethods[i].names, name)) return i;
    return -1;
}

const char16_t* PropName(int32_t number, int32_t alias) {
    if (number < 0 || number >= kPropCount) return nullptr;
    return ByAlias(kProps[number], alias);
}

const char16_t* MethodName(int32_t number, int32_t alias) {
    if (number < 0 || number >= kMethodCount) return nullptr;
    return ByAlias(kMethods[number].names, alias);
}

int32_t MethodParamCount(int32_t number) {
    if (number < 0 || number >= kMethodCount) return -1;
    return kMethods[number].params;
}

}  // namespace veltra
