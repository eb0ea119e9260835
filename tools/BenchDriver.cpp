#include "BenchDriver.h"

namespace veltra::bench {

void Driver::Check(const Result& r, const char16_t* what) {
    if (r.result == u"1") return;
    const Result error = Call(u"GetLastError", 1);
    const std::u16string text = error.params[0].empty()
                                    ? Say(u"the driver gave no error text", u"драйвер не сообщил текст ошибки")
                                    : error.params[0];
    throw BenchError{kDriverFailed,
                     Say(u"", u"Команда ") + std::u16string(what) + Say(u" failed: ", u" не выполнена: ") + text};
}

}  // namespace veltra::bench
