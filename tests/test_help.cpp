// The help file Tarnwall.hlp that scripts/make-help.py makes: read back here by
// a reader of its own (file header, internal directory, |SYSTEM, |FONT, every
// record of |TOPIC, |CONTEXT, |CTXOMAP, |TTLBTREE), then opened in the system's
// help viewer the way the programs open it, through WinHelp.
#include <gtest/gtest.h>
#include <string.h>
#include <windows.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "wait_until.h"
#include "screenshot.h"
#include "tarnwall_help.h"

namespace {

const char* const kHelpFile = TARNWALL_HELP_FILE_NAME;  // made beside the tests

std::vector<unsigned char> read_all(const char* path) {
  std::vector<unsigned char> out;
  FILE* f = fopen(path, "rb");
  if (!f) return out;
  unsigned char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + n);
  fclose(f);
  return out;
}

// A cursor over bytes that records the first read past the end instead of reading it.
struct Bytes {
  const unsigned char* p;
  size_t size, at = 0;
  bool overrun = false;
  Bytes(const unsigned char* data, size_t n, size_t start = 0) : p(data), size(n), at(start) {}
  bool need(size_t n) {
    if (at + n > size) overrun = true;
    return !overrun;
  }
  uint32_t u8() { return need(1) ? p[at++] : 0; }
  uint32_t u16() {
    if (!need(2)) return 0;
    uint32_t v = p[at] | (p[at + 1] << 8);
    at += 2;
    return v;
  }
  int32_t i16() { return (int16_t)u16(); }
  int32_t i32() {
    if (!need(4)) return 0;
    uint32_t v = p[at] | (p[at + 1] << 8) | (p[at + 2] << 16) | ((uint32_t)p[at + 3] << 24);
    at += 4;
    return (int32_t)v;
  }
  std::string sz() {
    std::string s;
    while (need(1) && p[at]) s += (char)p[at++];
    if (need(1)) at++;
    return s;
  }
  // The compressed numbers of the topic records.
  uint32_t cushort() {
    uint32_t b = u8();
    return b & 1 ? (b >> 1) + 128 * u8() : b >> 1;
  }
  int32_t cshort() {
    uint32_t b = u8();
    return b & 1 ? (int32_t)((b >> 1) + 128 * u8()) - 16384 : (int32_t)(b >> 1) - 64;
  }
  int32_t clong() {
    uint32_t w = u16();
    return w & 1 ? (int32_t)((w >> 1) + 32768 * u16()) - 67108864 : (int32_t)(w >> 1) - 16384;
  }
};

// Context names are hashed with one weight per character; letters ignore case.
int32_t context_hash(const char* name) {
  static const unsigned char low[128] = {
      0x00, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD8, 0xD9, 0xDA, 0xDB, 0xDC, 0xDD, 0xDE, 0xDF, 0xE0, 0xE1, 0xE2,
      0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8, 0xE9, 0xEA, 0xEB, 0xEC, 0xED, 0xEE, 0xEF, 0xF0, 0x0B, 0xF2, 0xF3, 0xF4, 0xF5,
      0xF6, 0xF7, 0xF8, 0xF9, 0xFA, 0xFB, 0xFC, 0xFD, 0x0C, 0xFF, 0x0A, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08,
      0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B,
      0x1C, 0x1D, 0x1E, 0x1F, 0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2A, 0x0B, 0x0C, 0x0D, 0x0E,
      0x0D, 0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B, 0x1C, 0x1D, 0x1E, 0x1F, 0x20, 0x21,
      0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2A, 0x2B, 0x2C, 0x2D, 0x2E, 0x2F};
  uint32_t h = 0;
  for (const unsigned char* c = (const unsigned char*)name; *c; c++)
    h = h * 43 + (*c < 128 ? low[*c] : (*c == 0xB4 ? 0x0B : *c - 0x30));
  return (int32_t)h;
}

struct Paragraph {
  std::string text;            // what is shown, jumps included
  std::vector<int32_t> jumps;  // context hashes, in order
  int font = -1;
};

struct Topic {
  std::string title;
  int32_t offset = -1;  // TOPICOFFSET of its header
  int32_t number = -1;
  std::vector<Paragraph> paragraphs;
};

// Everything the reader found, or the first thing that was wrong.
struct HelpFile {
  std::string problem;
  std::map<std::string, int32_t> directory;  // internal file -> offset of its header
  std::string title, copyright;
  int32_t contents = -1;
  int fonts = 0;
  std::vector<Topic> topics;
  std::map<int32_t, int32_t> context;  // hash -> topic offset
  std::map<int32_t, int32_t> map_ids;  // map number -> topic offset
  std::map<int32_t, std::string> titles;
  std::map<std::string, std::vector<int32_t>> keywords;  // the help index

  const Topic* topic_at(int32_t offset) const {
    for (const Topic& t : topics)
      if (t.offset == offset) return &t;
    return nullptr;
  }
};

#define FAIL_WITH(...)                        \
  do {                                        \
    char why_[200];                           \
    snprintf(why_, sizeof why_, __VA_ARGS__); \
    h.problem = why_;                         \
    return h;                                 \
  } while (0)

// One internal file's bytes, after its 9-byte header.
bool internal_file(const std::vector<unsigned char>& f, int32_t at, size_t* start, size_t* size) {
  if (at < 16 || (size_t)at + 9 > f.size()) return false;
  Bytes b(f.data(), f.size(), at);
  int32_t reserved = b.i32(), used = b.i32();
  b.u8();
  if (used < 0 || reserved < used + 9 || (size_t)at + 9 + used > f.size()) return false;
  *start = at + 9;
  *size = used;
  return true;
}

// The leaf entries of a one-level B+ tree, each handed to `leaf` as a cursor.
template <typename Leaf>
std::string read_btree(const unsigned char* p, size_t size, Leaf leaf) {
  Bytes b(p, size);
  if (b.u16() != 0x293B) return "B+ tree magic";
  b.u16();
  uint32_t page_size = b.u16();
  b.at += 16;  // structure
  b.i16();
  b.i16();
  int32_t root = b.i16();
  b.i16();
  int32_t pages = b.i16(), levels = b.i16(), entries = b.i32();
  if (b.overrun || levels != 1 || root < 0 || root >= pages) return "B+ tree header";
  size_t page = 38 + (size_t)root * page_size;
  if (page + page_size > size) return "B+ tree page outside the file";
  Bytes pg(p, page + page_size, page);
  pg.u16();
  int32_t n = pg.i16();
  if (pg.i16() != -1 || pg.i16() != -1 || n != entries) return "B+ tree leaf header";
  for (int i = 0; i < n; i++) {
    if (!leaf(pg)) return "B+ tree entry";
    if (pg.overrun) return "B+ tree entry runs past its page";
  }
  return "";
}

HelpFile read_help(const std::vector<unsigned char>& f) {
  HelpFile h;
  Bytes head(f.data(), f.size());
  if (f.size() < 16 || (uint32_t)head.i32() != 0x00035F3F) FAIL_WITH("not a help file");
  int32_t directory_at = head.i32();
  head.i32();
  if ((size_t)head.i32() != f.size()) FAIL_WITH("the header's file size is not the file's");
  size_t start, size;
  if (!internal_file(f, directory_at, &start, &size)) FAIL_WITH("the directory's header");
  std::string last;
  std::string why = read_btree(f.data() + start, size, [&](Bytes& e) {
    std::string name = e.sz();
    int32_t at = e.i32();
    if (name <= last) return false;  // names in order
    last = name;
    h.directory[name] = at;
    return true;
  });
  if (!why.empty()) FAIL_WITH("directory: %s", why.c_str());
  auto open = [&](const char* name, size_t* s, size_t* n) {
    auto it = h.directory.find(name);
    return it != h.directory.end() && internal_file(f, it->second, s, n);
  };

  // |SYSTEM: a 3.1 file, uncompressed, and its records.
  if (!open("|SYSTEM", &start, &size)) FAIL_WITH("no |SYSTEM");
  Bytes sys(f.data(), start + size, start);
  if (sys.u16() != 0x036C || sys.u16() != 21 || sys.u16() != 1) FAIL_WITH("|SYSTEM is not a 3.1 header");
  sys.i32();
  if (sys.u16() != 0) FAIL_WITH("|SYSTEM says the file is compressed");
  while (sys.at < start + size) {
    uint32_t kind = sys.u16(), n = sys.u16();
    if (!sys.need(n)) FAIL_WITH("|SYSTEM record %u runs past the file", kind);
    Bytes rec(f.data(), sys.at + n, sys.at);
    if (kind == 1) h.title = rec.sz();
    if (kind == 2) h.copyright = rec.sz();
    if (kind == 3) h.contents = rec.i32();
    if (rec.overrun) FAIL_WITH("|SYSTEM record %u", kind);
    sys.at += n;
  }

  // |FONT: old-style descriptors, each naming a face that exists.
  if (!open("|FONT", &start, &size)) FAIL_WITH("no |FONT");
  Bytes font(f.data(), start + size, start);
  int faces = font.u16(), descriptors = font.u16(), faces_at = font.u16(), desc_at = font.u16();
  if (faces < 1 || faces_at != 8 || desc_at + descriptors * 11 > (int)size) FAIL_WITH("|FONT header");
  for (int i = 0; i < descriptors; i++) {
    Bytes d(f.data(), start + size, start + desc_at + i * 11 + 3);
    if (d.u16() >= (uint32_t)faces) FAIL_WITH("font %d names no face", i);
  }
  h.fonts = descriptors;

  // |TOPIC: walk every record from the first, as a viewer does.
  if (!open("|TOPIC", &start, &size)) FAIL_WITH("no |TOPIC");
  if (size % 4096 != 0) FAIL_WITH("|TOPIC is not whole 4 KB blocks");
  // A TOPICPOS counts blocks in 16 KB units (what a compressed block unpacks to),
  // in uncompressed 3.1 files too, as the help viewer reads them.
  const size_t block_data = 4096 - 12, pos_block = 0x4000;
  auto at_pos = [&](int32_t pos) -> long {  // file offset of a TOPICPOS, or -1
    if (pos < 12) return -1;
    size_t block = (pos - 12) / pos_block, offset = (pos - 12) % pos_block;
    if (offset >= block_data || (block + 1) * 4096 > size) return -1;
    return (long)(start + block * 4096 + 12 + offset);
  };
  int32_t pos = 12, chars = 0, previous = -1;
  size_t block = 0;
  std::set<int32_t> visited;
  bool closed = false;
  while (pos != -1) {
    if (!visited.insert(pos).second) FAIL_WITH("record %d is reached twice", pos);
    long at = at_pos(pos);
    if (at < 0) FAIL_WITH("TOPICPOS %d is outside |TOPIC", pos);
    size_t this_block = (pos - 12) / pos_block;
    if (this_block != block) chars = 0, block = this_block;  // offsets count within a block
    Bytes link(f.data(), start + (this_block + 1) * 4096, at);
    int32_t block_size = link.i32(), len2 = link.i32(), prev = link.i32(), next = link.i32(), len1 = link.i32();
    uint32_t type = link.u8();
    if (link.overrun || len1 < 21 || block_size != len1 + len2 || !link.need(block_size - 21))
      FAIL_WITH("record %d: sizes %d, %d, %d do not fit its block", pos, block_size, len1, len2);
    if (prev != previous) FAIL_WITH("record %d: its back link is %d, not %d", pos, prev, previous);
    Bytes d1(f.data(), at + len1, at + 21);
    Bytes d2(f.data(), at + block_size, at + len1);
    if (type == 2) {
      int32_t topic_bytes = d1.i32();
      d1.i32();
      d1.i32();
      int32_t number = d1.i32();
      d1.i32();
      d1.i32();
      d1.i32();
      std::string title = d2.sz();
      if (d1.overrun || d2.overrun || topic_bytes < block_size) FAIL_WITH("topic header %d", pos);
      if (next == -1) {
        closed = true;  // the closing record carries no topic
      } else {
        Topic t;
        t.title = title;
        t.number = number;
        t.offset = (int32_t)(this_block * 0x8000 + chars);
        h.topics.push_back(t);
      }
    } else if (type == 0x20) {
      if (h.topics.empty()) FAIL_WITH("text before the first topic header");
      int32_t topic_size = d1.clong();
      uint32_t length = d1.cushort();
      if (topic_size != len2 || length != (uint32_t)len2) FAIL_WITH("record %d counts %u characters", pos, length);
      d1.u8();
      d1.u8();
      d1.u16();
      uint32_t bits = d1.u16();
      if (bits & 0x0001) d1.clong();
      for (uint32_t bit : {0x0002u, 0x0004u, 0x0008u, 0x0010u, 0x0020u, 0x0040u})
        if (bits & bit) d1.cshort();
      if (bits & 0x0300) FAIL_WITH("record %d: borders or tabs this reader does not expect", pos);
      Paragraph p;
      for (;;) {
        p.text += d2.sz();
        uint32_t cmd = d1.u8();
        if (d1.overrun || d2.overrun) FAIL_WITH("record %d: formatting runs past its data", pos);
        if (cmd == 0xFF) break;
        if (cmd == 0x80)
          p.font = d1.i16();
        else if (cmd == 0xE3)
          p.jumps.push_back(d1.i32());
        else if (cmd != 0x89 && cmd != 0x82 && cmd != 0x81)
          FAIL_WITH("record %d: command %02x", pos, cmd);
      }
      if (d2.at != d2.size || d1.at != d1.size) FAIL_WITH("record %d: strings and commands do not pair up", pos);
      if (p.font < 0 || p.font >= h.fonts) FAIL_WITH("record %d: font %d", pos, p.font);
      h.topics.back().paragraphs.push_back(p);
      chars += length;
    } else {
      FAIL_WITH("record %d has type %u", pos, type);
    }
    previous = pos;
    pos = next;
  }
  if (!closed) FAIL_WITH("|TOPIC has no closing record");

  // The three ways to a topic: by context hash, by map number, by title.
  if (!open("|CONTEXT", &start, &size)) FAIL_WITH("no |CONTEXT");
  int32_t last_hash = INT32_MIN;
  why = read_btree(f.data() + start, size, [&](Bytes& e) {
    int32_t hash = e.i32(), offset = e.i32();
    if (!h.context.empty() && hash <= last_hash) return false;
    last_hash = hash;
    h.context[hash] = offset;
    return true;
  });
  if (!why.empty()) FAIL_WITH("|CONTEXT: %s", why.c_str());
  if (!open("|CTXOMAP", &start, &size)) FAIL_WITH("no |CTXOMAP");
  Bytes map(f.data(), start + size, start);
  for (uint32_t i = 0, n = map.u16(); i < n; i++) {
    int32_t id = map.i32();
    h.map_ids[id] = map.i32();
  }
  if (map.overrun || map.at != start + size) FAIL_WITH("|CTXOMAP size");
  if (!open("|TTLBTREE", &start, &size)) FAIL_WITH("no |TTLBTREE");
  why = read_btree(f.data() + start, size, [&](Bytes& e) {
    int32_t offset = e.i32();
    h.titles[offset] = e.sz();
    return true;
  });
  if (!why.empty()) FAIL_WITH("|TTLBTREE: %s", why.c_str());

  // The help index: each keyword once, in the order the index lists them (letter
  // case aside), with a run of topic offsets in |KWDATA.
  size_t data_start, data_size;
  std::string last_word;
  if (!open("|KWBTREE", &start, &size) || !open("|KWDATA", &data_start, &data_size)) FAIL_WITH("no index");
  why = read_btree(f.data() + start, size, [&](Bytes& e) {
    std::string word = e.sz();
    int32_t count = e.i16(), at = e.i32();
    if (count < 1 || at < 0 || (size_t)at + 4 * count > data_size || h.keywords.count(word)) return false;
    if (!last_word.empty() && _stricmp(last_word.c_str(), word.c_str()) > 0) return false;
    last_word = word;
    Bytes d(f.data(), data_start + data_size, data_start + at);
    for (int i = 0; i < count; i++) h.keywords[word].push_back(d.i32());
    return true;
  });
  if (!why.empty()) FAIL_WITH("|KWBTREE: %s", why.c_str());
  return h;
}

class HelpFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bytes = read_all(kHelpFile);
    ASSERT_FALSE(bytes.empty()) << kHelpFile << " was not made beside the tests";
    help = read_help(bytes);
    ASSERT_EQ("", help.problem);
  }
  std::vector<unsigned char> bytes;
  HelpFile help;
};

}  // namespace

TEST_F(HelpFileTest, HasAContentsTopicAndOneTopicForEachProgram) {
  EXPECT_EQ("Tarnwall Help", help.title);
  EXPECT_FALSE(help.copyright.empty());
  ASSERT_EQ(24u, help.topics.size());
  EXPECT_EQ(help.topics[0].offset, help.contents) << "the contents topic is the first";
  struct Expected {
    const char* context;
    int map_id;
    const char* title_starts;
    const char* mentions;
  } expected[] = {
      {"contents", IDH_TARNWALL_CONTENTS, "Tarnwall Help", "personal firewall"},
      {"wayguard", IDH_TARNWALL_WAYGUARD, "Wayguard", "Stand By"},
      {"edictor", IDH_TARNWALL_EDICTOR, "Edictor", "Add Rule"},
      {"kindler", IDH_TARNWALL_KINDLER, "Kindler", "Finish"},
  };
  for (const Expected& e : expected) {
    SCOPED_TRACE(e.context);
    auto by_hash = help.context.find(context_hash(e.context));
    ASSERT_NE(help.context.end(), by_hash) << "no context entry";
    auto by_map = help.map_ids.find(e.map_id);
    ASSERT_NE(help.map_ids.end(), by_map) << "no map entry";
    EXPECT_EQ(by_hash->second, by_map->second);
    const Topic* t = help.topic_at(by_map->second);
    ASSERT_NE(nullptr, t) << "the offset is no topic's start";
    EXPECT_EQ(0u, t->title.find(e.title_starts)) << t->title;
    EXPECT_EQ(t->title, help.titles[t->offset]);
    std::string text;
    for (const Paragraph& p : t->paragraphs) text += p.text + "\n";
    EXPECT_NE(std::string::npos, text.find(e.mentions)) << text;
    // The title is shown as the topic's first paragraph, in a font of its own.
    ASSERT_FALSE(t->paragraphs.empty());
    EXPECT_EQ(t->title, t->paragraphs[0].text);
    EXPECT_NE(t->paragraphs[0].font, t->paragraphs[1].font);
  }
  // Beside the three programs' topics, one for each of Edictor's windows, dialogs and
  // commands, each reached by its map number.
  const int editor_ids[] = {
      IDH_EDICTOR_DEFAULT_RULES,   IDH_EDICTOR_PROTOCOL_TREES, IDH_EDICTOR_ADDRESS_TREES, IDH_EDICTOR_APPLICATION_TREES,
      IDH_EDICTOR_RULE_LIST,       IDH_EDICTOR_CONTEXT_MENU,   IDH_EDICTOR_ADD_RULE,      IDH_EDICTOR_ADD_PROTOCOL,
      IDH_EDICTOR_ADD_APPLICATION, IDH_EDICTOR_ADD_ADDRESS,    IDH_EDICTOR_CMD_EXIT,      IDH_EDICTOR_CMD_ADD_RULE,
      IDH_EDICTOR_CMD_DELETE_RULE, IDH_EDICTOR_CMD_LOCK,       IDH_EDICTOR_CMD_TIMER,     IDH_EDICTOR_CMD_CONTENTS,
      IDH_EDICTOR_CMD_INDEX,       IDH_EDICTOR_CMD_HELP,       IDH_EDICTOR_CMD_FEEDBACK,  IDH_EDICTOR_CMD_ABOUT};
  std::set<int32_t> offsets;
  for (int id : editor_ids) {
    SCOPED_TRACE(id);
    auto by_map = help.map_ids.find(id);
    ASSERT_NE(help.map_ids.end(), by_map) << "no map entry";
    const Topic* t = help.topic_at(by_map->second);
    ASSERT_NE(nullptr, t);
    EXPECT_EQ(0u, t->title.find("Edictor: ")) << t->title;
    offsets.insert(by_map->second);
  }
  EXPECT_EQ(sizeof editor_ids / sizeof editor_ids[0], offsets.size()) << "two numbers lead to one topic";
  EXPECT_EQ(help.topics.size(), help.context.size());
  EXPECT_EQ(help.topics.size(), help.map_ids.size());
}

TEST_F(HelpFileTest, EveryJumpLeadsToATopicAndTheContentsReachesAllThree) {
  std::set<std::string> reached;
  for (const Topic& t : help.topics)
    for (const Paragraph& p : t.paragraphs)
      for (int32_t hash : p.jumps) {
        auto it = help.context.find(hash);
        ASSERT_NE(help.context.end(), it) << "a jump in \"" << t.title << "\" leads nowhere";
        const Topic* to = help.topic_at(it->second);
        ASSERT_NE(nullptr, to);
        if (&t == &help.topics[0]) reached.insert(to->title.substr(0, to->title.find(',')));
      }
  EXPECT_EQ((std::set<std::string>{"Edictor", "Kindler", "Wayguard"}), reached);
}

TEST_F(HelpFileTest, TheIndexLeadsEachKeywordToTheTopicsThatExplainIt) {
  struct Expected {
    const char* word;
    const char* title_starts;
  } expected[] = {{"Stand By", "Wayguard"},
                  {"password", "Wayguard"},
                  {"rule, deleting", "Edictor"},
                  {"Internet service provider", "Kindler"},
                  {"Edictor", "Edictor"}};
  for (const Expected& e : expected) {
    auto it = help.keywords.find(e.word);
    ASSERT_NE(help.keywords.end(), it) << e.word;
    ASSERT_EQ(1u, it->second.size()) << e.word;
    const Topic* t = help.topic_at(it->second[0]);
    ASSERT_NE(nullptr, t) << e.word;
    EXPECT_EQ(0u, t->title.find(e.title_starts)) << e.word;
  }
  for (const auto& [word, offsets] : help.keywords)
    for (int32_t o : offsets) EXPECT_NE(nullptr, help.topic_at(o)) << word;
  EXPECT_EQ(2u, help.keywords["rules"].size()) << "a keyword of two topics leads to both";
}

TEST_F(HelpFileTest, DamagedFilesAreReportedNotReadPastTheirEnd) {
  struct Damage {
    const char* what;
    size_t at;
    unsigned char value;
    bool cut;  // cut the file here instead
  } damages[] = {
      {"magic", 0, 0x00, false},
      {"a cut file", bytes.size() / 2, 0, true},
      {"the directory's offset", 5, 0x7F, false},
  };
  for (const Damage& d : damages) {
    std::vector<unsigned char> damaged = bytes;
    if (d.cut)
      damaged.resize(d.at);
    else
      damaged[d.at] = d.value;
    EXPECT_NE("", read_help(damaged).problem) << d.what;
  }
}

// --- The help viewer ------------------------------------------------------------

namespace {

std::string full_path(const char* name) {
  char path[MAX_PATH];
  GetFullPathNameA(name, sizeof path, path, nullptr);
  return path;
}

HWND wait_for_viewer(DWORD ms) {
  HWND w = nullptr;
  WaitUntil(
      [&] {
        w = FindWindowA("MS_WINHELP", nullptr);
        return w && IsWindowVisible(w);
      },
      ms);
  return w && IsWindowVisible(w) ? w : nullptr;
}

// Grabs the window as it shows on screen and hands each pixel to `look`.
template <typename Look>
void scan_window(HWND w, Look look) {
  RECT r;
  GetWindowRect(w, &r);
  int width = r.right - r.left, height = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
  BITMAPINFOHEADER info = {};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = -height;  // top row first
  info.biPlanes = 1;
  info.biBitCount = 32;
  info.biCompression = BI_RGB;
  std::vector<uint32_t> pixels((size_t)width * height);
  SelectObject(mem, old);
  GetDIBits(mem, bmp, 0, height, pixels.data(), (BITMAPINFO*)&info, DIB_RGB_COLORS);
  for (int y = 0; y < height; y++)
    for (int x = 0; x < width; x++) {
      uint32_t p = pixels[(size_t)y * width + x];
      if (look(r.left + x, r.top + y, (p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF)) goto done;
    }
done:
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
}

// Pixels of the topic title's colour (dark blue): a fingerprint of the title shown.
int title_pixels(HWND w) {
  int count = 0;
  scan_window(w, [&](int, int, int r, int g, int b) {
    count += r == 0 && g == 0 && b == 128;
    return false;
  });
  return count;
}

// Waits (up to 6 s) until the viewer shows a title whose fingerprint differs from
// `before` and has read the same for 100 ms, so a title half drawn is not taken; returns
// it, or 0.
int wait_for_title(HWND w, int before = -1) {
  int last = -1, found = 0;
  DWORD since = 0;
  WaitUntil(
      [&] {
        int now = title_pixels(w);
        if (now != last) since = GetTickCount();
        last = now;
        if (now > 20 && now != before && GetTickCount() - since >= 100) found = now;
        return found != 0;
      },
      6000);
  return found;
}

// Screen position of the first jump (green underlined words) the viewer shows.
bool first_jump(HWND w, POINT* at) {
  bool found = false;
  scan_window(w, [&](int x, int y, int r, int g, int b) {
    if (g >= 100 && r < 60 && b < 60) {
      *at = {x + 2, y};
      found = true;
    }
    return found;
  });
  return found;
}

bool wait_for_caption(HWND w, const char* text) {
  return WaitUntil(
      [&] {
        char caption[100] = "";
        GetWindowTextA(w, caption, sizeof caption);
        return strstr(caption, text) != nullptr;
      },
      10000);
}

}  // namespace

TEST(HelpViewerTest, WinHelpShowsTheContentsEachMapNumbersTopicAJumpsTargetAndTheIndex) {
  CreateDirectoryA("..\\screenshots", nullptr);
  HWND owner = CreateWindowA("STATIC", "Tarnwall help test", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(nullptr, owner);
  const std::string path = full_path(kHelpFile);
  ASSERT_TRUE(WinHelpA(owner, path.c_str(), HELP_CONTENTS, 0));
  HWND viewer = wait_for_viewer(20000);
  ASSERT_NE(nullptr, viewer) << "the help viewer did not open";
  EXPECT_TRUE(wait_for_caption(viewer, "Tarnwall Help")) << "the caption is not the file's title";
  const int contents = wait_for_title(viewer);
  EXPECT_NE(0, contents) << "the contents topic was not drawn";
  EXPECT_TRUE(winui::SaveScreenshot(viewer, "..\\screenshots\\help_contents.bmp"));

  // Each map number shows a topic of its own, in later topic blocks too.
  struct Shot {
    int id;
    const char* file;
    int title;
  } shots[] = {{IDH_TARNWALL_WAYGUARD, "help_wayguard.bmp", 0},
               {IDH_TARNWALL_EDICTOR, "help_edictor.bmp", 0},
               {IDH_TARNWALL_KINDLER, "help_kindler.bmp", 0}};
  int shown = contents;
  for (Shot& s : shots) {
    ASSERT_TRUE(WinHelpA(owner, path.c_str(), HELP_CONTEXT, s.id)) << s.file;
    s.title = wait_for_title(viewer, shown);
    EXPECT_NE(0, s.title) << s.file << ": no new topic was drawn";
    shown = s.title;
    EXPECT_TRUE(winui::SaveScreenshot(viewer, (std::string("..\\screenshots\\") + s.file).c_str()));
  }

  // Back at the contents, the first jump leads to the Wayguard topic.
  ASSERT_TRUE(WinHelpA(owner, path.c_str(), HELP_CONTENTS, 0));
  EXPECT_EQ(contents, wait_for_title(viewer, shown));
  POINT at;
  ASSERT_TRUE(first_jump(viewer, &at)) << "the contents shows no jump";
  HWND text = WindowFromPoint(at);
  ASSERT_NE(nullptr, text);
  ScreenToClient(text, &at);
  PostMessageA(text, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
  PostMessageA(text, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
  EXPECT_EQ(shots[0].title, wait_for_title(viewer, contents)) << "the jump did not show the Wayguard topic";

  // The Index button lists the keywords: the index dialog holds the programs' names.
  HWND index_button = nullptr;
  EnumChildWindows(
      viewer,
      [](HWND w, LPARAM found) {
        char t[32] = "";
        GetWindowTextA(w, t, sizeof t);
        if (strcmp(t, "&Index") && strcmp(t, "Index")) return TRUE;
        *(HWND*)found = w;
        return FALSE;
      },
      (LPARAM)&index_button);
  ASSERT_NE(nullptr, index_button) << "the viewer has no Index button";
  PostMessageA(index_button, BM_CLICK, 0, 0);
  HWND index_list = nullptr;
  HWND index_dialog = nullptr;
  WaitUntil(
      [&] {
        for (HWND w = GetTopWindow(nullptr); w && !index_list; w = GetWindow(w, GW_HWNDNEXT)) {
          if (w == viewer || !IsWindowVisible(w)) continue;
          DWORD pid = 0, viewer_pid = 0;
          GetWindowThreadProcessId(w, &pid);
          GetWindowThreadProcessId(viewer, &viewer_pid);
          if (pid != viewer_pid) continue;
          EnumChildWindows(
              w,
              [](HWND c, LPARAM found) {
                char cls[32] = "";
                GetClassNameA(c, cls, sizeof cls);
                if (_stricmp(cls, "ListBox") || !IsWindowVisible(c)) return TRUE;
                *(HWND*)found = c;
                return FALSE;
              },
              (LPARAM)&index_list);
          if (index_list) index_dialog = w;
        }
        return index_list != nullptr;
      },
      5000);
  ASSERT_NE(nullptr, index_list) << "no index list appeared within 5 s";
  for (const char* word : {"Wayguard", "Edictor", "Kindler", "Stand By"})
    EXPECT_NE(LB_ERR, SendMessageA(index_list, LB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)word)) << word;
  EXPECT_TRUE(winui::SaveScreenshot(index_dialog, "..\\screenshots\\help_index.bmp"));
  PostMessageA(index_dialog, WM_COMMAND, IDCANCEL, 0);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(index_dialog); }, 5000)) << "the index stayed open 5 s";

  WinHelpA(owner, path.c_str(), HELP_QUIT, 0);
  EXPECT_TRUE(WaitUntil([] { return !FindWindowA("MS_WINHELP", nullptr); }, 5000))
      << "HELP_QUIT left the viewer open 5 s";
  DestroyWindow(owner);
}
