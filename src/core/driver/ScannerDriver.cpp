#include "core/driver/ScannerDriver.h"

#include "core/common/Text.h"
#include "core/common/Version.h"
#include "core/settings/Names.h"
#include "core/settings/SettingsDocument.h"

namespace veltra {

namespace {

const char16_t kDriverVersion[] = u"" VELTRA_VERSION_TEXT;
const char16_t kDeviceTestPassed[] = u"Тест Успешно выполнен!";
const char16_t kEquipmentType[] = u"СканерШтрихкода";
const char16_t kWebAddress[] = u"https://veltra.example/scanners";

// Text of the last error as the GetLastError command hands it over.
std::u16string g_ErrorDescription;

}  // namespace

void StoreLastError(const std::u16string& message) noexcept {
    try {
        g_LastError = message;
    } catch (...) {
        g_LastError.assign(2, u'?');  // fits the small-string buffer; reads as an error of no known class
    }
}

void ScannerDriver::Start() noexcept {
    // Another object's connection keeps using the port and the queues.
    mayUsePort_ = connection_.Attach(this);
    g_LangEnglish = false;
    StoreLastError(u" ");
}

void ScannerDriver::End() noexcept {
    connection_.Detach(this);
    mayUsePort_ = false;
}

HostValue ScannerDriver::Property(int32_t number) const {
    switch (number) {
    case propComPortNumber: return HostValue::OfText(written_.port);
    case propSpeed: return HostValue::OfText(written_.speed);
    case propDataBit: return HostValue::OfText(written_.dataBits);
    case propStopBits: return HostValue::OfText(written_.stopBits);
    case propParity: return HostValue::OfBoolean(written_.parity);
    case propTimeOut: return HostValue::OfInteger(written_.timeLimit);
    case propPrefix: return HostValue::OfText(written_.prefix);
    case propSuffix: return HostValue::OfText(written_.suffix);
    default: return {};
    }
}

void ScannerDriver::CheckUnknownProperty(const PropertyInput& value) {
    if (!value.Text()) Raise(Msg::PropInvalidType);
}

void ScannerDriver::SetProperty(int32_t number, const PropertyInput& value) {
    const std::optional<std::u16string> text = value.Text();
    if (!text) Raise(Msg::PropInvalidType);
    // The text fields record what the host wrote, even a value the setter then rejects.
    std::u16string* field = nullptr;
    switch (number) {
    case propComPortNumber: field = &written_.port; break;
    case propSpeed: field = &written_.speed; break;
    case propDataBit: field = &written_.dataBits; break;
    case propStopBits: field = &written_.stopBits; break;
    case propPrefix: field = &written_.prefix; break;
    case propSuffix: field = &written_.suffix; break;
    case propParity: written_.parity = SetParity(g_Settings, *text); return;
    case propTimeOut: {
        const std::optional<int32_t> converted = value.Integer();
        SetTimeOut(g_Settings, converted);
        written_.timeLimit = *converted;
        return;
    }
    default: Raise(Msg::NoSuchParameter);
    }
    *field = *text;
    StoreSetting(number, *field);
}

void ScannerDriver::StoreSetting(int32_t number, const std::u16string& text) {
    ApplyTextSetting(g_Settings, number, text, textToI4_);
    if (number == propComPortNumber) connection_.PortSettingChanged();
}

HostValue ScannerDriver::RunCommand(int32_t method, CommandParams& params) {
    const bool english = g_LangEnglish;
    switch (method) {
    case methGetVersion: return HostValue::OfText(kDriverVersion);
    case methGetDescription:
        params.Write(0, HostValue::OfText(english ? u"Veltra Scanner" : u"Вельтра Сканер Штрихкода"));
        params.Write(1, HostValue::OfText(english ? u"Driver connects barcode scanner lineup Veltra."
                                                  : u"Драйвер осуществляет подключение сканеров штрихкода "
                                                    u"модельного ряда Veltra."));
        params.Write(2, HostValue::OfText(kEquipmentType));
        params.Write(3, HostValue::OfInteger(1002));
        params.Write(4, HostValue::OfBoolean(true));
        params.Write(5, HostValue::OfBoolean(true));
        params.Write(6, HostValue::OfText(kWebAddress));
        return HostValue::OfInteger(1);
    case methGetLastError: {
        const DecodedError decoded = DecodeLastError();
        g_ErrorDescription = decoded.description;
        params.Write(0, HostValue::OfText(g_ErrorDescription));
        return HostValue::OfInteger(decoded.code);
    }
    case methGetParameters:
        params.Write(0, HostValue::OfText(SettingsDocument(english)));
        return HostValue::OfInteger(1);
    case methSetParameter: {
        const std::u16string name = params.ReadText(0);
        const std::u16string value = params.ReadText(1);
        const int32_t number = FindPropNumber(name);
        if (number < 0) Raise(Msg::NoSuchParameter);
        StoreSetting(number, value);
        return HostValue::OfInteger(1);
    }
    case methOpen:
        Open();
        params.Write(0, HostValue::OfText(DecimalText(connection_.DeviceId())));
        return HostValue::OfInteger(1);
    case methClose: {
        std::optional<int32_t> id;
        try {
            id = ParseDecimalI32(params.ReadText(0));
        } catch (const DriverError&) {
        }
        if (!id) Raise(Msg::CloseInvalidDeviceId);
        if (*id != connection_.DeviceId()) Raise(Msg::CloseNoSuchDevice);
        Close();
        return HostValue::OfInteger(1);
    }
    case methDeviceTest:
        Open();
        Close();
        params.Write(0, HostValue::OfText(kDeviceTestPassed));
        params.Write(1, HostValue::OfText(u""));
        return HostValue::OfInteger(1);
    case methGetAdditionalActions: params.Write(0, HostValue::OfText(u"")); return HostValue::OfInteger(0);
    case methDoAdditionalAction: Raise(Msg::NoAdditionalActions);
    default: Raise(Msg::NoSuchParameter);
    }
}

void ScannerDriver::Open() { connection_.Open(this, sink_, mayUsePort_); }

}  // namespace veltra
