#!/usr/bin/env python3
"""The help compiler: how it reads its source and what it refuses, naming the line.
The file it writes is read back by test_help.exe."""
import importlib.util
import os
import struct
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
_spec = importlib.util.spec_from_file_location("make_help", os.path.join(HERE, "..", "scripts", "make-help.py"))
mh = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(mh)

GOOD_HEAD = "title: T\n== top 1 Top\n"


class SourceTest(unittest.TestCase):
    def test_paragraphs_headings_bullets_and_jumps(self):
        meta, topics = mh.parse(
            "title: The caption\ncopyright: Us\n"
            "== top 1 Top\nkeywords: one; two words\nfirst line\nsame paragraph\n\n! Heading\nafter heading\n"
            "* bullet one\n  goes on\n* bullet two\nsee {the other|Other} now\n"
            "== other 2 Other one\ntext\n")
        self.assertEqual({"title": "The caption", "copyright": "Us"}, meta)
        kinds = [(k, "".join(t for t, _ in runs)) for k, runs, _ in topics[0].paragraphs]
        self.assertEqual([("body", "first line same paragraph"), ("heading", "Heading"),
                          ("body", "after heading"), ("bullet", "bullet one goes on"),
                          ("bullet", "bullet two see the other now")], kinds)
        self.assertEqual([("bullet two see ", None), ("the other", "Other"), (" now", None)],
                         topics[0].paragraphs[-1][1])
        self.assertEqual(("other", 2, "Other one"), (topics[1].context, topics[1].map_id, topics[1].title))
        self.assertEqual(["one", "two words"], topics[0].keywords)

    def test_bad_sources_are_refused_with_their_line(self):
        cases = [
            ("text first\n== a 1 A\n", "line 1", "before the first"),
            ("== a A\n", "line 1", "== context-name map-number Title"),
            ("== a-b 1 A\n", "line 1", "may hold only"),
            ("== a 1 A\n== A 2 B\n", "line 2", "used twice"),
            ("== a 1 A\n== b 1 B\n", "line 2", "map number 1 is used twice"),
            (GOOD_HEAD + "x\nsee {it|nowhere}\n", "line 3", "no topic names"),
            (GOOD_HEAD + "\nsee {it nowhere}\n", "line 4", "is written"),
            (GOOD_HEAD + "a \u4e00 here\n", "line 3", "Windows character set"),
            ("title: only\n", "", "no topic"),
            (GOOD_HEAD + "keywords: a;; b\n", "line 3", "none is empty"),
            (GOOD_HEAD + "keywords: a; \u4e00\n", "line 3", "Windows character set"),
            ("== a 1 Title \u4e00\n", "line 1", "Windows character set"),
            ("== a 99999999999 A\n", "line 1", "larger than"),
        ]
        for source, line, words in cases:
            with self.subTest(source=source):
                with self.assertRaises(mh.HelpError) as caught:
                    mh.compile_help(source)
                self.assertIn(line, str(caught.exception))
                self.assertIn(words, str(caught.exception))

    def test_a_paragraph_longer_than_a_topic_block_is_refused(self):
        with self.assertRaises(mh.HelpError):
            mh.compile_help(GOOD_HEAD + "word " * 1000 + "\n")


def decode_cshort(data):
    b = data[0]
    return ((b >> 1) + 128 * data[1] - 16384, 2) if b & 1 else ((b >> 1) - 64, 1)


def decode_clong(data):
    w = struct.unpack_from("<H", data)[0]
    if w & 1:
        return (w >> 1) + 32768 * struct.unpack_from("<H", data, 2)[0] - 67108864, 4
    return (w >> 1) - 16384, 2


class NumbersTest(unittest.TestCase):
    def test_compressed_numbers_read_back_at_their_size_limits(self):
        for v in (-64, 63, -65, 64, -16384, 16383):
            with self.subTest(short=v):
                data = mh.cshort(v)
                self.assertEqual((v, len(data)), decode_cshort(data))
        for v in (-16384, 16383, -16385, 16384, 1 << 20):
            with self.subTest(long=v):
                data = mh.clong(v)
                self.assertEqual((v, len(data)), decode_clong(data))
        for v in (127, 128, 0x7FFF):
            data = mh.cushort(v)
            value = data[0] >> 1 if not data[0] & 1 else (data[0] >> 1) + 128 * data[1]
            self.assertEqual(v, value)
        for bad in (lambda: mh.cshort(16384), lambda: mh.cushort(-1), lambda: mh.clong(1 << 27)):
            self.assertRaises(mh.HelpError, bad)


class LayoutTest(unittest.TestCase):
    def test_topics_past_one_block_start_new_blocks_without_splitting_a_record(self):
        body = "\n\n".join("paragraph %d %s" % (i, "text " * 60) for i in range(30))
        data = mh.compile_help(GOOD_HEAD + body + "\n== two 2 Two\nlast\n")
        _, topics = mh.parse(GOOD_HEAD + body + "\n== two 2 Two\nlast\n")
        hashes = {t.context.lower(): mh.context_hash(t.context) for t in topics}
        topic, offsets = mh.build_topic_file(topics, hashes)
        self.assertGreater(len(topic), 4096)
        self.assertEqual(0, len(topic) % 4096)
        self.assertGreaterEqual(offsets[1] >> 15, 1, "the second topic lies in a later block")
        self.assertEqual(0x00035F3F, struct.unpack_from("<I", data)[0])
        self.assertEqual(len(data), struct.unpack_from("<I", data, 12)[0])


if __name__ == "__main__":
    unittest.main()
