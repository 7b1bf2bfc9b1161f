#!/usr/bin/env python3
"""Edits the resource-string file desktop/NoxReStr.Ini as UTF-8 text.

The file itself stays the one source of the program's translations, but no editor can show it
whole: each language line is stored in its own code page (the program decodes language n with the
character set CHRSETn of Params.ini, by default BALTIC, RUSSIAN and BALTIC again):

  decode NoxReStr.Ini > texts.txt     the same lines, every one as UTF-8
  encode texts.txt > NoxReStr.Ini     back, each text in its language's code page, CR LF

Within an entry ("* key" up to a blank line) the n-th line that is neither blank nor a "*" line is
the text of language n; any other line is Windows-1257. Encoding refuses a character that the
language's code page has no byte for, naming the line.
"""
import sys

LANGUAGE_CODE_PAGES = ["cp1257", "cp1251", "cp1257"]
OTHER_LINES = "cp1257"


def code_pages(lines):
    """The code page of each line, in order."""
    texts = None  # texts seen in the current entry; None outside an entry
    for line in lines:
        if line.startswith("*"):
            if texts is None:
                texts = 0
            yield OTHER_LINES
            continue
        if texts is None or line.strip() == "":
            texts = None
            yield OTHER_LINES
            continue
        yield LANGUAGE_CODE_PAGES[texts] if texts < len(LANGUAGE_CODE_PAGES) else OTHER_LINES
        texts += 1


def split_lines(data):
    return data.replace("\r\n", "\n").replace("\r", "\n").split("\n")


def decode(raw):
    # Line breaks and "*" are ASCII in every code page, so the structure is read before decoding.
    lines = split_lines(raw.decode("latin-1"))
    pages = code_pages(lines)
    return "\n".join(line.encode("latin-1").decode(page) for line, page in zip(lines, pages))


def encode(text):
    lines = split_lines(text)
    out = []
    for number, (line, page) in enumerate(zip(lines, code_pages(lines)), start=1):
        try:
            out.append(line.encode(page))
        except UnicodeEncodeError as error:
            sys.exit(f"line {number}: {line!r} has a character that {page} cannot write "
                     f"({error.object[error.start:error.end]!r})")
    return b"\r\n".join(out)


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ("decode", "encode"):
        sys.exit("usage: restr.py decode NoxReStr.Ini > texts.txt | encode texts.txt > NoxReStr.Ini")
    with open(sys.argv[2], "rb") as source:
        raw = source.read()
    if sys.argv[1] == "decode":
        sys.stdout.buffer.write(decode(raw).encode("utf-8"))
    else:
        sys.stdout.buffer.write(encode(raw.decode("utf-8")))


if __name__ == "__main__":
    main()
