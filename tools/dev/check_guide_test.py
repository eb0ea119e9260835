#!/usr/bin/env python3
"""Tests of the 1C code checks of check_guide.py: what counts as a statement
call of a driver method, where a compilation directive is needed, and what
comparing code blocks without their comments leaves."""
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import check_guide  # noqa: E402

METHODS = {"Подключить", "Отключить", "УстановитьПараметр", "Close"}

# (name, lines of 1C code, block language, the faults expected: "call" for a
# statement call, "directive" for a declaration without a directive)
CODE_CASES = [
    ("statement call", ["Сканер.Отключить(Ид);"], "bsl", ["call"]),
    ("English name, after Then", ["Если А Тогда", "    Сканер.Close(Ид);", "КонецЕсли;"], "bsl", ["call"]),
    ("call spread over lines", ["А = 1;", "Сканер.УстановитьПараметр(\"propSpeed\",", "    9600);"], "bsl", ["call"]),
    ("call in a condition", ["Если Сканер.Отключить(Ид) <> 1 Тогда", "КонецЕсли;"], "bsl", []),
    ("assigned result", ["Результат = Сканер.Подключить(Ид);"], "bsl", []),
    ("continued expression", ["Результат =", "    Сканер.Подключить(Ид);"], "bsl", []),
    ("operand of And", ["Готово = А", "    И Сканер.Подключить(Ид) = 1;"], "bsl", []),
    ("not a driver method", ["Сканер.Закрыть();"], "bsl", []),
    ("property write", ["Сканер.Скорость = 9600;"], "bsl", []),
    ("commented out", ["// Сканер.Отключить(Ид);"], "bsl", []),
    ("variable without directive", ["Перем А;"], "bsl", ["directive"]),
    ("variable with directive", ["&НаКлиенте", "Перем А;"], "bsl", []),
    ("comment between directive and procedure", ["&НаКлиенте", "// а", "Процедура П()", "КонецПроцедуры"], "bsl", []),
    ("local variable", ["&НаКлиенте", "Процедура П()", "    Перем Б;", "КонецПроцедуры"], "bsl", []),
    ("second procedure without directive",
     ["&НаКлиенте", "Процедура П()", "КонецПроцедуры", "", "Функция Ф()", "КонецФункции"], "bsl", ["directive"]),
    ("async procedure without directive", ["Асинх Процедура П()", "КонецПроцедуры"], "bsl", ["directive"]),
    ("statement call in a procedure after its header",
     ["&НаКлиенте", "Процедура П()", "    Сканер.Подключить(Ид);", "КонецПроцедуры"], "bsl", ["call"]),
    ("application module", ["Процедура ОбработкаВнешнегоСобытия(И, С, Д)", "КонецПроцедуры"], "bsl-application", []),
    ("7.7 module, statement call", ["Перем Сканер;", "Сканер.Отключить(Ид);"], "bsl-77", ["call"]),
]

# (name, block, the block without its comments)
COMMENT_CASES = [
    ("comment after code", "```bsl\nА = 1; // раз\n```", "```bsl\nА = 1;\n```"),
    ("comment line goes", "```bsl\n// одна строка\nА = 1;\n```", "```bsl\nА = 1;\n```"),
    ("slashes in a text stay", '```bsl\nСообщить("a // b"); // c\n```', '```bsl\nСообщить("a // b");\n```'),
    ("shell comment", "```sh\necho a#b   # say it\n```", "```sh\necho a#b\n```"),
    ("no comments in xml", '```xml\n<a href="//x"/>\n```', '```xml\n<a href="//x"/>\n```'),
]


class CodeChecks(unittest.TestCase):
    def test_code_faults(self):
        for name, lines, language, expected in CODE_CASES:
            with self.subTest(name):
                faults = check_guide.code_faults(lines, METHODS, language)
                kinds = ["call" if "as a statement" in f else "directive" for f in faults]
                self.assertEqual(kinds, expected, f"{name}: {faults}")

    def test_without_comments(self):
        for name, block, expected in COMMENT_CASES:
            with self.subTest(name):
                self.assertEqual(check_guide.without_comments(block), expected, name)


if __name__ == "__main__":
    unittest.main()
