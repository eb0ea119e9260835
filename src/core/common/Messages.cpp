#include "core/common/Messages.h"

#include <array>
#include <atomic>

namespace veltra {

std::atomic<bool> g_LangEnglish{false};
thread_local std::u16string g_ErrorText;
std::u16string g_LastError;

namespace {

struct Bilingual {
    Msg id;
    std::u16string english;
    std::u16string russian;
};

// Indexed by Msg; the id column lets a test catch a row out of place.
const std::array<Bilingual, static_cast<size_t>(Msg::Count_)>& Catalogue() {
    // A row is the id, the English text and the Russian text, a line each.
    // clang-format off
    static const std::array<Bilingual, static_cast<size_t>(Msg::Count_)> rows = {{
        {Msg::PropInvalidType,
         u"1Error during installation. Invalid data type in the parameter.",
         u"1Ошибка при установке параметров. Неверный тип данных у параметра."},
        {Msg::NoSuchParameter,
         u"1No parameter with the specified name.",
         u"1Отсутствует параметр с указанным именем."},
        {Msg::PortNotSupported,
         u"1An error occurred while setting the parameter Com Port,specification is not supported.",
         u"1Ошибка при установки параметра Com Порт, заданное значение не поддерживается."},
        {Msg::PortWrongType,
         u"1An error occurred while setting the parameter Com Port,wrong type of data.",
         u"1Ошибка при установки параметра Com Порт, неверный тип данных."},
        {Msg::PortPathInvalid,
         u"1An error occurred while setting the parameter Com Port, the device path is not valid: it must be /dev/ and a device name, with no blanks, control characters or parent-folder steps.",
         u"1Ошибка при установки параметра Com Порт, неверный путь к устройству: нужен /dev/ и имя устройства, без пробелов, управляющих символов и переходов в родительскую папку."},
        {Msg::PortUsbIdInvalid,
         u"1An error occurred while setting the parameter Com Port, an input device by vendor and product must be given as usb:VVVV:PPPP, with four hexadecimal digits each.",
         u"1Ошибка при установки параметра Com Порт, устройство ввода по производителю и продукту задается как usb:VVVV:PPPP, по четыре шестнадцатеричные цифры."},
        {Msg::SpeedNotSupported,
         u"1An error occurred while setting the parameter Speed,specification is not supported.",
         u"1Ошибка при установки параметра Скорость, заданное значение не поддерживается."},
        {Msg::SpeedWrongType,
         u"1An error occurred while setting the parameter Speed,wrong type of data.",
         u"1Ошибка при установки параметра Скорость, неверный тип данных."},
        {Msg::DataBitNotSupported,
         u"1Error during parameter setting data bit specification is not supported.",
         u"1Ошибка при установки параметра Бит Данных, заданное значение не поддерживается."},
        {Msg::DataBitWrongType,
         u"1An error occurred while setting the parameter DataBit,wrong type of data.",
         u"1Ошибка при установки параметра Бит Данных, неверный тип данных."},
        {Msg::StopBitsNotSupported,
         u"1An error occurred while setting the parameter StopBits,specification is not supported.",
         u"1Ошибка при установки параметра СтоповыеБиты, заданное значение не поддерживается."},
        {Msg::StopBitsWrongType,
         u"1An error occurred while setting the parameter StopBits,wrong type of data.",
         u"1Ошибка при установки параметра СтоповыеБиты, неверный тип данных."},
        {Msg::ParityNotSupported,
         u"1An error occurred while setting the parameter Parity,specification is not supported.",
         u"1Ошибка при установки параметра Четность, заданное значение не поддерживается."},
        {Msg::ParityWrongType,
         u"1An error occurred while setting the parameter Parity,wrong type of data.",
         u"1Ошибка при установки параметра Четность, неверный тип данных."},
        {Msg::TimeOutNotNumber,
         u"1Error initializing \"TimeOut\".\rThe TimeOut must be a value type number not less than 0 and not greater than 65535.",
         u"1Ошибка при инициализации \"Задержка\".\rЗадержка должна иметь тип значения число, не меньше 0 и не больше 65535."},
        {Msg::TimeOutOutOfRange,
         u"1Error initializing \"TimeOut\".\rThe TimeOut must be a value type number not less than 1 and not greater than 65535.",
         u"1Ошибка при инициализации \"Задержка\".\rЗадержка должна иметь тип значения число, не меньше 1 и не больше 65535."},
        {Msg::PrefixNotSupported,
         u"1An error occurred while setting the parameter Prefix,specified prefix is not supported.",
         u"1Ошибка при установки параметра Префикс, заданный префикс не поддерживается."},
        {Msg::PrefixWrongType,
         u"1An error occurred while setting the parameter Prefix,wrong type of data.",
         u"1Ошибка при установки параметра Префикс, неверный тип данных."},
        {Msg::SuffixNotSupported,
         u"1An error occurred while setting the parameter Suffix,specified Suffix is not supported.",
         u"1Ошибка при установки параметра Суффикс, заданный Суффикс не поддерживается."},
        {Msg::SuffixWrongType,
         u"1An error occurred while setting the parameter Suffix,wrong type of data.",
         u"1Ошибка при установки параметра Суффикс, неверный тип данных."},
        {Msg::OpenNoPrefixOrSuffix,
         u"2Error when connecting scanners,is not set prefix or suffix.",
         u"2Ошибка при подключение Сканера,не установлен параметр Префикс или Суффикс."},
        {Msg::OpenDelayBelowOne,
         u"2Error when connecting the scanner, the delay parameter has a value less than 1.",
         u"2Ошибка при подключение Сканера,Параметр Задержка имеет значение меньше 1."},
        {Msg::OpenHookFailed,
         u"2Error when connecting scanners, failed to install Hook.",
         u"2Ошибка при подключение Сканера,не удалось установить Хук."},
        {Msg::OpenKeyboardUnavailable,
         u"2Error when connecting scanners, keyboard mode on Linux reads the scanner's own input device: give it in the port setting as /dev/input/by-id/...-event-kbd, /dev/input/eventN or usb:VVVV:PPPP.",
         u"2Ошибка при подключение Сканера,в Linux режим клавиатуры читает собственное устройство ввода Сканера: укажите его в параметре порта как /dev/input/by-id/...-event-kbd, /dev/input/eventN или usb:VVVV:PPPP."},
        {Msg::InputDeviceNotFound,
         u"2Error when connecting scanners, the input device given in the port setting is not there.",
         u"2Ошибка при подключение Сканера,устройство ввода, указанное в параметре порта, не найдено."},
        {Msg::InputDeviceNoPermission,
         u"2Error when connecting scanners, permission denied: this user may not read the scanner's input device (the administrator grants it with the udev rule shipped with the driver).",
         u"2Ошибка при подключение Сканера,доступ запрещен: этому пользователю нельзя читать устройство ввода Сканера (администратор разрешает его правилом udev из поставки драйвера)."},
        {Msg::InputDeviceBusy,
         u"2Error when connecting scanners, the input device is taken by another program or object.",
         u"2Ошибка при подключение Сканера,устройство ввода занято другой программой или объектом."},
        {Msg::InputDeviceFailed,
         u"2Error when connecting scanners, the device given in the port setting cannot be read as an input device.",
         u"2Ошибка при подключение Сканера,указанное в параметре порта устройство не читается как устройство ввода."},
        {Msg::OpenNoComSettings,
         u"2Error when connecting scanners,not set the COM port settings.",
         u"2Ошибка при подключение Сканера,не установлены настройки COM порта."},
        {Msg::OpenNoPortNumber,
         u"2Error when connecting scanners,PortNumber is not set.",
         u"2Ошибка при подключение Сканера,не установлен параметр НомерПорта."},
        {Msg::CloseDeviceNotFound,
         u"3Error during shutdown Scaner,connected device with a given id is not found.",
         u"3Ошибка при отключение Сканера,подключенного устройства с заданным Ид не обнаружено."},
        {Msg::CloseInvalidDeviceId,
         u"3Invalid data type of the parameter Device ID.",
         u"3Неверный тип данных у параметра ID устройства."},
        {Msg::CloseNoSuchDevice,
         u"3The device with the specified ID is not found.",
         u"3Устройство с заданным ID не обнаружено."},
        {Msg::HookFailure,
         u"4Bug in the flow intercept keyboard.",
         u"4Ошибка при работе потока перехвата клавиатуры."},
        {Msg::DispatchFailure,
         u"4Error when processing flow barcode.",
         u"4Ошибка при работе потока обработки штрих-кодов."},
        {Msg::InputDeviceLost,
         u"4An error occurred while reading the scanner's input device: it is gone.",
         u"4Ошибка при чтении устройства ввода Сканера: оно отключено."},
        {Msg::PortUnavailable,
         u"5Failed to initialize COM port specified port is not available.",
         u"5Ошибка при инициализации COM порта,заданный порт недоступен."},
        {Msg::PortSetStateFailed,
         u"5Failed to initialize COM port settings when installing State.",
         u"5Ошибка при инициализации COM порта,при установки настроек State."},
        {Msg::PortGetTimeoutsFailed,
         u"5Failed to initialize COM port settings when getting Timeouts.",
         u"5Ошибка при инициализации COM порта,при получении настроек тайм-аутов."},
        {Msg::PortSetTimeoutsFailed,
         u"5Failed to initialize COM port settings when installing Timeout.",
         u"5Ошибка при инициализации COM порта,при установки настроек тайм-аутов."},
        {Msg::PortThreadFailed,
         u"5Error while creating a thread to read from the COM Port.",
         u"5Ошибка при создании потока для чтения из COM порта."},
        {Msg::PortReadFailed,
         u"5An error occurred while reading from the COM port.",
         u"5Ошибка при чтении из COM порта."},
        {Msg::NoAdditionalActions,
         u"*Additional actions are not supported driver.",
         u"*Дополнительные действия не поддерживаются драйвером."},
        {Msg::UnknownError,
         u"The error is not known.",
         u"Ошибка не известна."},
        {Msg::BadSerialData,
         u"Check COM port settings, incorrect values come.",
         u"Проверьте настройки COM порта, приходят некорректные значения."},
        {Msg::BarcodeEvent, u"Barcode", u"Штрихкод"},
        {Msg::DriverErrorEvent, u"DriverError", u"ОшибкаДрайвера"},
    }};
    // clang-format on
    return rows;
}

std::atomic<TraceSink> g_TraceSink{nullptr};
std::atomic<TraceGate> g_TraceGate{nullptr};

}  // namespace

bool CatalogueIsOrdered() {
    for (size_t i = 0; i < Catalogue().size(); ++i)
        if (static_cast<size_t>(Catalogue()[i].id) != i) return false;
    return true;
}

const std::u16string& Text(Msg msg, bool english) {
    const Bilingual& row = Catalogue()[static_cast<size_t>(msg)];
    return english ? row.english : row.russian;
}

const std::u16string& Text(Msg msg) { return Text(msg, g_LangEnglish.load()); }

void SelectLanguage(const std::u16string& locale) { g_LangEnglish = locale.find(u"ru") == std::u16string::npos; }

void Raise(Msg msg) {
    g_ErrorText = Text(msg);
    throw DriverError(g_ErrorText);
}

DecodedError DecodeLastError() {
    static const std::u16string kClasses = u"12345*";
    static const int kCodes[] = {1, 2, 3, 4, 5, 10};
    if (!g_LastError.empty()) {
        const size_t cls = kClasses.find(g_LastError[0]);
        if (cls != std::u16string::npos) return {kCodes[cls], g_LastError.substr(1)};
    }
    if (g_LastError.size() <= 1) return {0, std::u16string()};
    return {66, Text(Msg::UnknownError)};
}

void SetTraceSink(TraceSink sink, TraceGate gate) noexcept {
    g_TraceGate = gate;
    g_TraceSink = sink;
}

bool TraceEnabled() noexcept {
    if (g_TraceSink.load() == nullptr) return false;
    const TraceGate gate = g_TraceGate.load();
    return gate == nullptr || gate();
}

void Trace(const std::u16string& line) noexcept {
    const TraceSink sink = g_TraceSink.load();
    if (sink && TraceEnabled()) sink(line);
}

}  // namespace veltra
