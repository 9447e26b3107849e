#!/usr/bin/env python3
"""make-help.py - turns Tarnwall's help source into the WinHelp 3.1 file "Tarnwall.hlp".

    make-help.py SOURCE OUTPUT

Nothing on these machines builds a Windows help file, so this small stand-in
writes one itself: uncompressed, one font table, one topic per "==" section, a
context name and a map number per topic (for WinHelp's HELP_CONTEXT), and jumps
between topics. The source format:

    # a comment line
    title: Caption of the help window
    copyright: Text of the help viewer's About box
    == context-name map-number Title of the topic
    A paragraph runs until the next blank line.
    * A bullet paragraph.
    ! A heading inside a topic.
    keywords: first; second words   (right after a topic line: its help index entries)
    Text with a {shown words|context-name} jump to another topic.

The first topic is the contents topic. Errors name the line and stop the build.
"""
import struct
import sys
import time

TOPIC_BLOCK = 4096            # uncompressed 3.1 files use 4 KB topic blocks
BLOCK_HEADER = 12
BLOCK_DATA = TOPIC_BLOCK - BLOCK_HEADER
LINK_HEADER = 21              # the fixed part of every record in |TOPIC
TOPIC_HEADER_RECORD = 2
TEXT_RECORD = 0x20

# Fonts by number: body text, topic title, heading.
FONT_BODY, FONT_TITLE, FONT_HEADING = 0, 1, 2

# Context names are hashed with this table of character weights (letters
# ignore case); only 0-9, A-Z, a-z, '_' and '.' are allowed in a name.
def _hash_table():
    t = [0] * 256
    rows = [
        "00 D1 D2 D3 D4 D5 D6 D7 D8 D9 DA DB DC DD DE DF",
        "E0 E1 E2 E3 E4 E5 E6 E7 E8 E9 EA EB EC ED EE EF",
        "F0 0B F2 F3 F4 F5 F6 F7 F8 F9 FA FB FC FD 0C FF",
        "0A 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F",
        "10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F",
        "20 21 22 23 24 25 26 27 28 29 2A 0B 0C 0D 0E 0D",
        "10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F",
        "20 21 22 23 24 25 26 27 28 29 2A 2B 2C 2D 2E 2F",
    ]
    for r, row in enumerate(rows):
        for c, v in enumerate(row.split()):
            t[r * 16 + c] = int(v, 16)
    # 0x80-0xFF weigh 0x30 less than their code, except 0xB4.
    for i in range(0x80, 0x100):
        t[i] = i - 0x30
    t[0xB4] = 0x0B
    return t


HASH_TABLE = _hash_table()


def context_hash(name):
    h = 0
    for ch in name.encode("ascii"):
        h = (h * 43 + HASH_TABLE[ch]) & 0xFFFFFFFF
    return h - (1 << 32) if h & 0x80000000 else h


def valid_context(name):
    return bool(name) and all(c.isascii() and (c.isalnum() or c in "_.") for c in name)


class HelpError(Exception):
    pass


# --- the source -----------------------------------------------------------------

class Topic:
    def __init__(self, context, map_id, title, line):
        self.context, self.map_id, self.title, self.line = context, map_id, title, line
        self.paragraphs = []   # (kind, [(text, target or None)], line)
        self.keywords = []     # words the help index lists for this topic


def parse_inline(text, line):
    """Splits a paragraph into runs of plain text and jumps."""
    runs, rest = [], text
    while "{" in rest:
        before, _, after = rest.partition("{")
        inner, closed, rest = after.partition("}")
        shown, bar, target = inner.partition("|")
        if not closed or not bar or not shown:
            raise HelpError(f"line {line}: a jump is written {{shown words|context-name}}")
        if before:
            runs.append((before, None))
        runs.append((shown, target.strip()))
    if rest:
        runs.append((rest, None))
    return runs


def parse(text):
    meta, topics = {}, []
    para, para_kind, para_line = [], None, 0

    def flush():
        nonlocal para, para_kind
        if para:
            if not topics:
                raise HelpError(f"line {para_line}: text before the first '==' topic")
            joined = " ".join(para)
            topics[-1].paragraphs.append((para_kind, parse_inline(joined, para_line), para_line))
        para, para_kind = [], None

    for n, raw in enumerate(text.splitlines(), 1):
        line = raw.rstrip()
        if line.startswith("#"):
            continue
        if not line.strip():
            flush()
            continue
        if line.startswith("=="):
            flush()
            parts = line[2:].split(None, 2)
            if len(parts) < 3 or not (parts[1].isascii() and parts[1].isdigit()):
                raise HelpError(f"line {n}: a topic is written '== context-name map-number Title'")
            context, map_id, title = parts[0], int(parts[1]), parts[2].strip()
            if not valid_context(context):
                raise HelpError(f"line {n}: context name '{context}' may hold only 0-9, A-Z, a-z, _ and .")
            if map_id > 0x7FFFFFFF:
                raise HelpError(f"line {n}: map number {map_id} is larger than 2147483647")
            encode_text(title, n)
            topics.append(Topic(context, map_id, title, n))
            continue
        if not topics and ":" in line and not para:
            key, _, value = line.partition(":")
            if key.strip() in ("title", "copyright"):
                meta[key.strip()] = value.strip()
                encode_text(value, n)
                continue
        if topics and not para and line.startswith("keywords:"):
            words = [w.strip() for w in line[len("keywords:"):].split(";")]
            if not all(words):
                raise HelpError(f"line {n}: keywords are separated by ';' and none is empty")
            for w in words:
                encode_text(w, n)
            topics[-1].keywords += words
            continue
        if line.startswith(("* ", "! ")):
            flush()
            para_kind, para_line = ("bullet" if line[0] == "*" else "heading"), n
            para.append(line[2:].strip())
            if para_kind == "heading":  # a heading is one line; the text after it is its own paragraph
                flush()
            continue
        if not para:
            para_kind, para_line = "body", n
        para.append(line.strip())
    flush()

    if not topics:
        raise HelpError("the source has no topic")
    seen_context, seen_map = {}, {}
    for t in topics:
        key = t.context.lower()  # the hash ignores case, so names must differ in more than case
        if key in seen_context:
            raise HelpError(f"line {t.line}: context name '{t.context}' is used twice")
        if t.map_id in seen_map:
            raise HelpError(f"line {t.line}: map number {t.map_id} is used twice")
        seen_context[key], seen_map[t.map_id] = t, t
    hashes = {}
    for t in topics:
        h = context_hash(t.context)
        if h in hashes:
            raise HelpError(f"line {t.line}: context names '{t.context}' and '{hashes[h]}' hash alike")
        hashes[h] = t.context
    for t in topics:
        for _, runs, line in t.paragraphs:
            for _, target in runs:
                if target is not None and target.lower() not in seen_context:
                    raise HelpError(f"line {line}: jump to '{target}', which no topic names")
    return meta, topics


# --- compressed numbers of the topic records ---------------------------------------

def cushort(v):
    if not 0 <= v < 0x8000:
        raise HelpError(f"value {v} does not fit a compressed unsigned short")
    return bytes([v * 2]) if v < 0x80 else struct.pack("<H", v * 2 + 1)


def cshort(v):
    if -0x40 <= v < 0x40:
        return bytes([(v + 0x40) * 2])
    if not -0x4000 <= v < 0x4000:
        raise HelpError(f"value {v} does not fit a compressed short")
    return struct.pack("<H", (v + 0x4000) * 2 + 1)


def clong(v):
    if -0x4000 <= v < 0x4000:
        return struct.pack("<H", (v + 0x4000) * 2)
    if not -0x4000000 <= v < 0x4000000:
        raise HelpError(f"value {v} does not fit a compressed long")
    return struct.pack("<I", (v + 0x4000000) * 2 + 1)


# --- paragraphs and topics into records ------------------------------------------

# Paragraph looks, in half points: space above and below, left and first-line indent.
LOOKS = {
    "title": (FONT_TITLE, 0, 12, 0, 0),
    "heading": (FONT_HEADING, 12, 0, 0, 0),
    "body": (FONT_BODY, 8, 0, 0, 0),
    "bullet": (FONT_BODY, 4, 0, 24, 0),
}


def encode_text(text, line):
    try:
        data = text.encode("cp1252")
    except UnicodeEncodeError as e:
        raise HelpError(f"line {line}: '{text[e.start:e.end]}' has no place in the Windows character set")
    if b"\0" in data:
        raise HelpError(f"line {line}: a NUL character")
    return data


def paragraph(kind, runs, hashes, line):
    """One displayable paragraph: (LinkData1, LinkData2, characters it counts)."""
    font, above, below, left, first = LOOKS[kind]
    bits, looks = 0, b""
    for flag, value in ((0x0002, above), (0x0004, below), (0x0010, left), (0x0040, first)):
        if value:
            bits |= flag
            looks += cshort(value)
    # Every command is preceded by the string shown before it; the last command is 0xFF.
    strings, commands = [b""], [b"\x80" + struct.pack("<h", font)]
    current = b"\x95 " if kind == "bullet" else b""
    for text, target in runs:
        data = encode_text(text, line)
        if target is None:
            current += data
            continue
        strings.append(current)
        commands.append(b"\xE3" + struct.pack("<i", hashes[target.lower()]))  # jump, by context hash
        strings.append(data)
        commands.append(b"\x89")  # end of the hot spot
        current = b""
    strings += [current, b""]
    commands += [b"\x82", b"\xFF"]  # end of paragraph, end of formatting
    data2 = b"".join(s + b"\0" for s in strings)
    info = bytes([0x00, 0x80]) + struct.pack("<HH", 0, bits) + looks
    data1 = clong(len(data2)) + cushort(len(data2)) + info + b"".join(commands)
    return data1, data2, len(data2)


def topic_records(topic, hashes):
    """The records of one topic: its header (filled in later) and its paragraphs."""
    records = [[TOPIC_HEADER_RECORD, None, topic.title.encode("cp1252") + b"\0", 0]]
    for kind, runs, line in [("title", [(topic.title, None)], topic.line)] + topic.paragraphs:
        d1, d2, chars = paragraph(kind, runs, hashes, line)
        records.append([TEXT_RECORD, d1, d2, chars])
    return records


# --- the |TOPIC file --------------------------------------------------------------

# A position in |TOPIC counts blocks in units of 16 KB, the size a compressed block
# unpacks to, also in uncompressed 3.1 files: the help viewer reads them so.
TOPIC_POS_BLOCK = 0x4000


def topic_pos(block, offset):
    return block * TOPIC_POS_BLOCK + BLOCK_HEADER + offset


def build_topic_file(topics, hashes):
    """Lays the records into 4 KB blocks (never splitting one) and fills in every link.
    Returns the |TOPIC bytes and each topic's TOPICOFFSET."""
    records = []  # [type, data1, data2, chars, topic index]
    for i, t in enumerate(topics):
        for r in topic_records(t, hashes):
            records.append(r + [i])
    # A closing record without usable data, as readers expect at the end.
    records.append([TOPIC_HEADER_RECORD, None, b"\0", 0, len(topics)])
    header_len = 28

    def size(r):
        return LINK_HEADER + (header_len if r[0] == TOPIC_HEADER_RECORD else len(r[1])) + len(r[2])

    # Placement: block and offset of every record, and the character count where it starts.
    place, block, offset, chars = [], 0, 0, 0
    for r in records:
        s = size(r)
        if s > BLOCK_DATA:
            raise HelpError("a paragraph is too long for one topic block; split it")
        if offset + s > BLOCK_DATA:
            block, offset, chars = block + 1, 0, 0
        place.append((block, offset, chars))
        offset += s
        chars += r[3]
    blocks = block + 1
    pos = [topic_pos(b, o) for b, o, _ in place]
    topic_offset = {}
    headers = [k for k, r in enumerate(records) if r[0] == TOPIC_HEADER_RECORD]
    for k in headers:
        b, _, c = place[k]
        topic_offset[records[k][4]] = b * 0x8000 + c

    body = [bytearray(BLOCK_DATA) for _ in range(blocks)]
    for k, r in enumerate(records):
        rtype, data1, data2, _, index = r
        if rtype == TOPIC_HEADER_RECORD:
            h = headers.index(k)
            last = k == len(records) - 1
            end = headers[h + 1] if not last else len(records)
            topic_bytes = sum(size(records[j]) for j in range(k, end))
            scroll = pos[k + 1] if not last else -1
            next_topic = pos[headers[h + 1]] if not last else -1
            data1 = struct.pack("<iiiiiii", topic_bytes, -1, -1, index, -1, scroll, next_topic)
        prev_link = pos[k - 1] if k > 0 else -1
        next_link = pos[k + 1] if k + 1 < len(records) else -1
        link = struct.pack("<iiiiiB", size(r), len(data2), prev_link, next_link, LINK_HEADER + len(data1), rtype)
        b, o, _ = place[k]
        body[b][o:o + size(r)] = link + data1 + data2

    out = bytearray()
    for b in range(blocks):
        first = next(k for k in range(len(records)) if place[k][0] == b)
        last_before = pos[first - 1] if first > 0 else -1
        header_before = [pos[k] for k in headers if k < first]
        out += struct.pack("<iii", last_before, pos[first], header_before[-1] if header_before else -1)
        out += body[b]
    return bytes(out), topic_offset


# --- the other internal files -----------------------------------------------------

def build_system(meta, contents_offset):
    out = struct.pack("<HHHIH", 0x036C, 21, 1, int(time.time()) - 315532800, 0)

    def record(kind, data):
        return struct.pack("<HH", kind, len(data)) + data

    out += record(1, meta.get("title", "Help").encode("cp1252") + b"\0")
    out += record(2, meta.get("copyright", "").encode("cp1252") + b"\0")
    out += record(3, struct.pack("<i", contents_offset))
    # The main window, so that its caption is the file's title: type, name and caption
    # are given; place, size and colours are left to the viewer.
    title = meta.get("title", "Help").encode("cp1252")[:50]
    out += record(6, struct.pack("<H10s9s51shhhhhII", 0x0007, b"main", b"main", title, 0, 0, 0, 0, 0, 0, 0))
    return out


def build_font():
    faces = [b"Arial"]
    face_size = 20
    # Attributes, half points, family (3 = swiss), face, colour, unused background.
    fonts = [
        (0x00, 20, 3, 0, (0, 0, 0)),         # body: 10 pt
        (0x01, 28, 3, 0, (0, 0, 128)),       # topic title: 14 pt bold, dark blue
        (0x01, 22, 3, 0, (0, 0, 0)),         # heading: 11 pt bold
    ]
    head = struct.pack("<HHHH", len(faces), len(fonts), 8, 8 + face_size * len(faces))
    body = b"".join(f.ljust(face_size, b"\0") for f in faces)
    for attr, half, family, face, rgb in fonts:
        body += struct.pack("<BBBH", attr, half, family, face) + bytes(rgb) + bytes(3)
    return head + body


def btree(structure, page_size, entries, directory=False):
    """A B+ tree of a single leaf page: all our trees are small."""
    used = sum(len(e) for e in entries)
    if 8 + used > page_size:
        raise HelpError("too many entries for one B+ tree page")
    flags = 0x0002 | (0x0400 if directory else 0)
    head = struct.pack("<HHH16shhhhhhi", 0x293B, flags, page_size, structure.encode("ascii"), 0, 0, 0, -1, 1, 1,
                       len(entries))
    page = struct.pack("<HhhH", page_size - 8 - used, len(entries), -1, 0xFFFF) + b"".join(entries)
    return head + page.ljust(page_size, b"\0")


def build_context(topics, topic_offset):
    entries = sorted((context_hash(t.context), topic_offset[i]) for i, t in enumerate(topics))
    return btree("L4", 0x0800, [struct.pack("<ii", h, o) for h, o in entries])


def build_ctxomap(topics, topic_offset):
    out = struct.pack("<H", len(topics))
    for i, t in enumerate(topics):
        out += struct.pack("<ii", t.map_id, topic_offset[i])
    return out


def build_titles(topics, topic_offset):
    entries = sorted((topic_offset[i], t.title) for i, t in enumerate(topics))
    return btree("Lz", 0x0800, [struct.pack("<i", o) + title.encode("cp1252") + b"\0" for o, title in entries])


def build_keywords(topics, topic_offset):
    """The help index: |KWBTREE lists each keyword once, in the order the index shows
    them, with where its topics' offsets start in |KWDATA; |KWMAP finds the page."""
    index = {}
    for i, t in enumerate(topics):
        for word in t.keywords:
            offsets = index.setdefault(word, [])
            if topic_offset[i] not in offsets:
                offsets.append(topic_offset[i])
    words = sorted(index, key=lambda w: (w.lower(), w))
    entries, data = [], b""
    for w in words:
        entries.append(w.encode("cp1252") + b"\0" + struct.pack("<hi", len(index[w]), len(data)))
        data += b"".join(struct.pack("<i", o) for o in index[w])
    return {"|KWBTREE": btree("F24", 0x0800, entries), "|KWDATA": data, "|KWMAP": struct.pack("<iH", 0, 0)}


def file_header(data):
    return struct.pack("<iiB", len(data) + 9, len(data), 4)


def assemble(files):
    """The file header, each internal file, then the directory that finds them."""
    out = bytearray(16)
    offsets = {}
    for name in sorted(files):
        offsets[name] = len(out)
        out += file_header(files[name]) + files[name]
    entries = [name.encode("ascii") + b"\0" + struct.pack("<i", offsets[name]) for name in sorted(files)]
    directory = btree("z4", 0x0400, entries, directory=True)
    directory_start = len(out)
    out += file_header(directory) + directory
    out[0:16] = struct.pack("<iiii", 0x00035F3F, directory_start, -1, len(out))
    return bytes(out)


def compile_help(source_text):
    meta, topics = parse(source_text)
    hashes = {t.context.lower(): context_hash(t.context) for t in topics}
    topic_data, topic_offset = build_topic_file(topics, hashes)
    files = {
        "|SYSTEM": build_system(meta, topic_offset[0]),
        "|FONT": build_font(),
        "|TOPIC": topic_data,
        "|CONTEXT": build_context(topics, topic_offset),
        "|CTXOMAP": build_ctxomap(topics, topic_offset),
        "|TTLBTREE": build_titles(topics, topic_offset),
    }
    if any(t.keywords for t in topics):
        files.update(build_keywords(topics, topic_offset))
    return assemble(files)


def main(argv):
    if len(argv) != 3:
        print("usage: make-help.py SOURCE OUTPUT", file=sys.stderr)
        return 2
    try:
        with open(argv[1], encoding="utf-8") as f:
            text = f.read()
        data = compile_help(text)
    except (HelpError, OSError) as e:
        print(f"{argv[1]}: {e}", file=sys.stderr)
        return 1
    except UnicodeDecodeError as e:
        print(f"{argv[1]}: not UTF-8 text (byte {e.start})", file=sys.stderr)
        return 1
    with open(argv[2], "wb") as f:
        f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
