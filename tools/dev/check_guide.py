#!/usr/bin/env python3
"""Keeps the integration guides honest and in step.

Driver texts: a text that either guide quotes as the driver's must stand
verbatim in a string literal of the driver's sources (src/):
  - a backticked text that ends with a full stop, "!" or "?" and has a blank
    in it (a message, an event text, a description);
  - a text in double quotes or in guillemets outside backticks and code blocks,
    which may be a piece of a driver text ("failed to install Hook"); the
    English guide quotes the driver's English texts there, the Russian guide
    its Russian ones; NOT_DRIVER lists the few quoted texts that are Windows'
    words;
  - a table cell without backticks that ends with a full stop (the settings
    document's descriptions).
Names: each guide gives, in backticks, every English and Russian name of the
driver's properties and methods (src/core/settings/Names.cpp) and events (the
one-word texts of src/core/common/Messages.cpp): a name renamed in the driver
shows as one that the guides lack.
Structure: the guides have the same headings in the same order (numbered ones
by their numbers, the others by their place under the numbered one before);
and in each section the same tables with the same number of rows and columns,
the same fenced code blocks character for character once their comments are
left out (each guide comments its code in its own language; a comment of a
1C block in the Russian guide has Cyrillic letters), and the same backticked
texts, where the Russian guide may add texts with Cyrillic letters and may give
the driver's Russian text in place of its English one.
1C code (blocks marked bsl, bsl-application or bsl-77, and backticked calls):
every method of the driver is called in an expression, since the driver
answers a call as a procedure with failure: a line that starts with
`Object.Method(` as a statement of its own is a fault. In a bsl block, code of
a managed form's module, each variable, procedure and function at module
level follows a compilation directive (&НаКлиенте, ...); the application
module (bsl-application) and 1C:Enterprise 7.7 (bsl-77) have none.
Prints each mismatch on a line that names the file and the section; exits 1
if there is any, and prints one summary line when there is none.
"""
import re
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
ENGLISH = "docs/integration.md"
RUSSIAN = "docs/integration.ru.md"
SOURCES = "src"
# Quoted texts that are Windows' or the platform's words, not the driver's.
NOT_DRIVER = {"class not registered", "Класс не зарегистрирован", "Тип не определен", "Тип не определен (AddIn.VeltraScanner)"}

CYRILLIC = re.compile("[\u0400-\u04ff]")
TOKEN = re.compile(r'"(?:[^"\\\n]|\\.)*"|\'(?:[^\'\\\n]|\\.)*\'|//[^\n]*|/\*.*?\*/', re.S)
HEADING = re.compile(r"^(#{1,6})\s+(.*?)(?:\s+#+)?\s*$")
NUMBER = re.compile(r"^(\d+(?:\.\d+)*)\.?(?:\s|$)")
FENCE = re.compile(r"^ {0,3}(```|~~~)")
CODE_SPAN = re.compile(r"(?<!`)(`+)(?!`)(.+?)(?<!`)\1(?!`)", re.S)
QUOTE = re.compile(r'"([^"]+)"|«([^»]+)»')
# 1C code: the languages of its fenced blocks, and the ones whose module-level
# declarations need no compilation directive.
BSL = {"bsl", "bsl-application", "bsl-77"}
BSL_WITHOUT_DIRECTIVES = {"bsl-application", "bsl-77"}
DECLARATION = re.compile(r"^\s*(?:(?:Асинх|Async)\s+)?(Перем|Var|Процедура|Procedure|Функция|Function)\b", re.I)
DIRECTIVE = re.compile(r"^\s*&\w+")
# A line after which a new statement starts: one that ends with ";", a header
# of a procedure or function, and the keywords that open or part a block.
STATEMENT_BEFORE = re.compile(
    r"(;|\)\s*(Экспорт|Export)?|^\s*&\w+|\b(Тогда|Then|Иначе|Else|Цикл|Do|Попытка|Try|Исключение|Except))\s*$",
    re.I)


def has_cyrillic(text):
    return CYRILLIC.search(text) is not None


def driver_literals():
    """The string literals of src/ (adjacent ones joined); the pairs of an
    English literal followed by its Russian one, {english: russian}; and the
    driver's names, (english, russian, file): the properties and methods, and
    the events (one word each in the message catalogue)."""
    texts, pairs, names = [], {}, []
    for path in sorted(ROOT.joinpath(SOURCES).rglob("*")):
        if path.suffix not in (".cpp", ".h"):
            continue
        code = path.read_text(encoding="utf-8")
        previous, previous_end = None, 0
        for match in TOKEN.finditer(code):
            token = match.group()
            if token[0] != '"':
                previous = None
                continue
            text = re.sub(r'\\(["\\])', r"\1", token[1:-1])
            between = code[previous_end:match.start()]
            if previous is not None and re.fullmatch(r"\s*(u8|u|U|L)?", between):
                texts[-1] += text  # "a" "b" is one literal
            else:
                if (previous is not None and re.fullmatch(r"\s*[,:]\s*(u8|u|U|L)?", between)
                        and not has_cyrillic(texts[-1]) and has_cyrillic(text)):
                    pairs[texts[-1]] = text
                    source = path.relative_to(ROOT).as_posix()
                    if path.name == "Names.cpp" or (path.name == "Messages.cpp" and re.fullmatch(r"\w+", text)):
                        names.append((texts[-1], text, source))
                texts.append(text)
            previous, previous_end = texts[-1], match.end()
    for english, russian in list(pairs.items()):
        # Messages start with the same class character in both languages.
        if english[:1] == russian[:1] and english[:1] in "12345*":
            pairs[english[1:]] = russian[1:]
    return "\0".join(texts), pairs, names


def driver_methods():
    """The English and Russian names of the driver's methods (Names.cpp: a
    method's pair of names comes with its parameter count)."""
    code = ROOT.joinpath(SOURCES, "core/settings/Names.cpp").read_text(encoding="utf-8")
    return {name for pair in re.findall(r'\{\{u"(\w+)",\s*u"(\w+)"\},\s*\d+\}', code) for name in pair}


def block_language(block):
    """The language named after a block's opening fence."""
    return block.split("\n", 1)[0].strip().lstrip("`~").strip()


def comment_start(line, language):
    """Where a line's comment starts (len(line) when it has none): // in 1C
    code, # after a blank or at the line's start in shell code, outside
    double-quoted texts."""
    quoted = False
    for i, ch in enumerate(line):
        if ch == '"':
            quoted = not quoted
        elif quoted:
            continue
        elif language in BSL and line.startswith("//", i):
            return i
        elif language in ("sh", "bat") and ch == "#" and (i == 0 or line[i - 1].isspace()):
            return i
    return len(line)


def comments(block):
    language = block_language(block)
    for line in block.split("\n")[1:-1]:
        start = comment_start(line, language)
        if start < len(line):
            yield line[start:]


def without_comments(block):
    """A block with its comments left out: a line that held only a comment
    goes, the others lose the comment and the blanks before it."""
    language = block_language(block)
    lines = []
    for line in block.split("\n"):
        start = comment_start(line, language)
        if start == len(line):
            lines.append(line)
        elif line[:start].strip():
            lines.append(line[:start].rstrip())
    return "\n".join(lines)


def code_faults(lines, methods, language):
    """The faults of a piece of 1C code (its lines, fences left out): a
    statement that is only a call of a driver method, and in a form module's
    code a module-level declaration with no compilation directive before it."""
    faults = []
    call = re.compile(r"^\s*[\w.]+\.(" + "|".join(sorted(methods)) + r")\s*\(")
    previous = None  # the last line with code, its comment left out
    depth = 0  # procedures and functions open
    for number, line in enumerate(lines, 1):
        code = line[:comment_start(line, "bsl")].rstrip()
        if not code.strip():
            continue
        if call.match(code) and (previous is None or STATEMENT_BEFORE.search(previous)):
            faults.append(f"line {number} calls the driver's method {call.match(code).group(1)} as a statement "
                          "(the driver answers a procedure call with failure: use its result)")
        declaration = DECLARATION.match(code)
        if declaration and depth == 0 and language not in BSL_WITHOUT_DIRECTIVES:
            if previous is None or not DIRECTIVE.match(previous):
                faults.append(f"line {number} declares at module level with no compilation directive before it "
                              "(&НаКлиенте in a form's module)")
        if declaration and declaration.group(1).lower() not in ("перем", "var"):
            depth += 1
        if re.match(r"^\s*(КонецПроцедуры|EndProcedure|КонецФункции|EndFunction)\b", code, re.I):
            depth = max(depth - 1, 0)
        previous = code
    return faults


def check_code(name, sections, methods, problems):
    """The 1C code of one guide: its bsl blocks and backticked calls."""
    russian = name == RUSSIAN
    count = 0
    for section in sections:
        where = f"{name}: section {section.key}:"
        for i, block in enumerate(section.blocks, 1):
            language = block_language(block)
            if language not in BSL:
                continue
            count += 1
            for fault in code_faults(block.split("\n")[1:-1], methods, language):
                problems.append(f"{where} code block {i}: {fault}")
            if russian:
                for comment in comments(block):
                    if not has_cyrillic(comment):
                        problems.append(f"{where} code block {i}: the comment \"{comment}\" is not in Russian")
        for paragraph in paragraphs(section):
            for span in code_spans(paragraph):
                for fault in code_faults([span], methods, "bsl-application"):
                    problems.append(f"{where} `{span}`: {fault.split(' ', 2)[2]}")
    return count


class Section:
    def __init__(self, key, title, level):
        self.key, self.title, self.level = key, title, level
        self.lines = []  # prose and table lines, code blocks left out
        self.blocks = []  # fenced code blocks, each a text


def parse(text):
    """The sections of a guide in order: the introduction under the title,
    then one for each heading below the title."""
    sections = [Section("introduction", "", 1)]
    numbered, unnumbered = "introduction", 0
    fence = None
    for line in text.split("\n"):
        current = sections[-1]
        if fence is not None:
            fence.append(line)
            mark = fence[0].lstrip()[0]
            if re.fullmatch(r" {0,3}" + re.escape(mark) + r"{3,}\s*", line):
                current.blocks.append("\n".join(fence))
                current.lines.append("")  # a block ends a paragraph
                fence = None
            continue
        if FENCE.match(line):
            fence = [line]
            current.lines.append("")
            continue
        heading = HEADING.match(line)
        if heading and len(heading.group(1)) > 1:
            level, title = len(heading.group(1)), heading.group(2)
            number = NUMBER.match(title)
            if number:
                numbered, unnumbered = number.group(1), 0
                key = numbered
            else:
                unnumbered += 1
                key = f"{numbered}, unnumbered heading {unnumbered}"
            sections.append(Section(key, title, level))
            continue
        current.lines.append(line)
    if fence is not None:
        sections[-1].blocks.append("\n".join(fence) + "\n(unclosed)")
    return sections


def paragraphs(section):
    """Each paragraph of prose or table as one line (code spans may wrap)."""
    result, current = [], []
    for line in section.lines + [""]:
        if line.strip():
            current.append(line.strip())
        elif current:
            result.append(" ".join(current))
            current = []
    return result


def code_spans(text):
    spans = []
    for match in CODE_SPAN.finditer(text):
        span = match.group(2)
        if len(span) > 2 and span[0] == " " and span[-1] == " ":
            span = span[1:-1]
        spans.append(span)
    return spans


def tables(section):
    """(rows, columns) of each table: the rows below the separator line."""
    result, rows, columns = [], None, 0
    for line in section.lines + [""]:
        stripped = line.strip()
        if stripped.startswith("|"):
            if re.fullmatch(r"\|(\s*:?-+:?\s*\|)+", stripped):
                rows, columns = 0, stripped.count("|") - 1
            elif rows is not None:
                rows += 1
        elif rows is not None:
            result.append((rows, columns))
            rows = None
    return result


def cells(section):
    """The cells of the tables' rows below the separator line."""
    below = False
    for line in section.lines:
        stripped = line.strip()
        if not stripped.startswith("|"):
            below = False
        elif re.fullmatch(r"\|(\s*:?-+:?\s*\|)+", stripped):
            below = True
        elif below:
            yield from (cell.strip() for cell in stripped.strip("|").split("|"))


def is_sentence(text):
    return text.endswith((".", "!", "?")) and " " in text and re.search(r"\w", text) is not None


def check_texts(name, sections, literals, pairs, problems):
    """Driver texts quoted by one guide."""
    russian = name == RUSSIAN
    count = 0
    for section in sections:
        where = f"{name}: section {section.key}:"
        for paragraph in paragraphs(section):
            for span in code_spans(paragraph):
                if is_sentence(span):
                    count += 1
                    if span not in literals:
                        problems.append(f"{where} `{span}` is not a driver text in {SOURCES}/")
            prose = CODE_SPAN.sub(" ", paragraph)
            for match in QUOTE.finditer(prose):
                quoted = " ".join((match.group(1) or match.group(2)).split())
                if quoted in NOT_DRIVER:
                    continue
                count += 1
                if quoted not in literals:
                    problems.append(f"{where} \"{quoted}\" is found in no driver text in {SOURCES}/ "
                                    "(a text that is not the driver's goes in NOT_DRIVER in tools/dev/check_guide.py)")
                elif russian and not has_cyrillic(quoted) and any(
                        quoted in en and quoted not in ru for en, ru in pairs.items()):
                    problems.append(f"{where} \"{quoted}\" is the driver's English text; quote its Russian one")
                elif not russian and has_cyrillic(quoted) and any(quoted in ru for ru in pairs.values()):
                    problems.append(f"{where} \"{quoted}\" is the driver's Russian text; quote its English one")
        for cell in cells(section):
            if "`" not in cell and cell.endswith("."):
                count += 1
                if cell not in literals:
                    problems.append(f"{where} table text \"{cell}\" is not a driver text in {SOURCES}/")
    return count


def check_structure(english, russian, pairs, problems):
    """The two guides' headings, tables, code blocks and backticked texts."""
    en_keys = [s.key for s in english]
    ru_keys = [s.key for s in russian]
    en_by_key = {s.key: s for s in english}
    ru_by_key = {s.key: s for s in russian}
    sides = ((english, ru_by_key, ENGLISH, RUSSIAN), (russian, en_by_key, RUSSIAN, ENGLISH))
    for mine, other, name, other_name in sides:
        for s in mine:
            if s.key not in other:
                problems.append(f"{name}: section {s.key} ({'#' * s.level} {s.title}): only in this guide, "
                                f"not in {other_name}")
    common_en = [k for k in en_keys if k in ru_by_key]
    common_ru = [k for k in ru_keys if k in en_by_key]
    if common_en != common_ru:
        for a, b in zip(common_en, common_ru):
            if a != b:
                problems.append(f"{RUSSIAN}: section {b}: comes where {ENGLISH} has section {a} "
                                "(headings out of order)")
                break
    english_of = {ru: en for en, ru in pairs.items()}
    counts = {"sections": 0, "tables": 0, "blocks": 0, "spans": 0}
    for key in common_en:
        en, ru = en_by_key[key], ru_by_key[key]
        where = f"section {key}:"
        counts["sections"] += 1
        if en.level != ru.level:
            problems.append(f"{RUSSIAN}: {where} heading level {ru.level}, {ENGLISH} has {en.level}")
        en_tables, ru_tables = tables(en), tables(ru)
        counts["tables"] += len(en_tables)
        if len(en_tables) != len(ru_tables):
            more, fewer = (ENGLISH, RUSSIAN) if len(en_tables) > len(ru_tables) else (RUSSIAN, ENGLISH)
            problems.append(f"{more}: {where} {max(len(en_tables), len(ru_tables))} tables, "
                            f"{fewer} has {min(len(en_tables), len(ru_tables))}")
        for i, ((en_rows, en_cols), (ru_rows, ru_cols)) in enumerate(zip(en_tables, ru_tables), 1):
            if en_rows != ru_rows:
                more, fewer = (ENGLISH, RUSSIAN) if en_rows > ru_rows else (RUSSIAN, ENGLISH)
                problems.append(f"{more}: {where} table {i} has {max(en_rows, ru_rows)} rows, "
                                f"{fewer} has {min(en_rows, ru_rows)}")
            if en_cols != ru_cols:
                problems.append(f"{RUSSIAN}: {where} table {i} has {ru_cols} columns, {ENGLISH} has {en_cols}")
        counts["blocks"] += len(en.blocks)
        if len(en.blocks) != len(ru.blocks):
            more, fewer = (ENGLISH, RUSSIAN) if len(en.blocks) > len(ru.blocks) else (RUSSIAN, ENGLISH)
            problems.append(f"{more}: {where} {max(len(en.blocks), len(ru.blocks))} code blocks, "
                            f"{fewer} has {min(len(en.blocks), len(ru.blocks))}")
        for i, (a, b) in enumerate(zip(en.blocks, ru.blocks), 1):
            a, b = without_comments(a), without_comments(b)
            if a != b:
                line = next(n for n, (x, y) in enumerate(zip(a.split("\n") + [None], b.split("\n") + [None]), 1)
                            if x != y)
                problems.append(f"{RUSSIAN}: {where} code block {i} differs from the one in {ENGLISH} "
                                f"(from its line {line} on, comments left out)")
        en_spans = {s for p in paragraphs(en) for s in code_spans(p)}
        ru_spans = {s for p in paragraphs(ru) for s in code_spans(p)}
        counts["spans"] += len(en_spans)
        for span in sorted(en_spans - ru_spans):
            if pairs.get(span) not in ru_spans:
                problems.append(f"{ENGLISH}: {where} `{span}` only in this guide, not in {RUSSIAN}")
        for span in sorted(ru_spans - en_spans):
            if not has_cyrillic(span) and english_of.get(span) not in en_spans:
                problems.append(f"{RUSSIAN}: {where} `{span}` only in this guide, not in {ENGLISH}")
    return counts


def main():
    problems = []
    literals, pairs, names = driver_literals()
    guides = {}
    for name in (ENGLISH, RUSSIAN):
        path = ROOT / name
        if not path.is_file():
            problems.append(f"{name}: missing")
            continue
        guides[name] = parse(path.read_text(encoding="utf-8"))
    texts = sum(check_texts(name, sections, literals, pairs, problems) for name, sections in guides.items())
    methods = driver_methods()
    if not methods:
        problems.append(f"{SOURCES}/core/settings/Names.cpp: no method names found")
    code_blocks = sum(check_code(name, sections, methods, problems) for name, sections in guides.items())
    for name, sections in guides.items():
        spans = {s for section in sections for p in paragraphs(section) for s in code_spans(p)}
        for english, russian, source in names:
            for text in (english, russian):
                if text not in spans:
                    problems.append(f"{name}: whole guide: the driver's name `{text}` ({source}) is not in it")
    counts = None
    if len(guides) == 2:
        counts = check_structure(guides[ENGLISH], guides[RUSSIAN], pairs, problems)
    for problem in problems:
        print(problem)
    if problems:
        return 1
    print(f"guide: {ENGLISH} and {RUSSIAN} in step ({counts['sections']} sections, {counts['tables']} tables, "
          f"{counts['blocks']} code blocks, {counts['spans']} backticked texts), "
          f"{texts} quoted driver texts found in {SOURCES}/; {code_blocks} blocks of 1C code call the driver's "
          "methods in expressions")
    return 0


if __name__ == "__main__":
    sys.exit(main())
