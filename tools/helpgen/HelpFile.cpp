#include "tools/helpgen/HelpFile.h"

#include <algorithm>
#include <map>
#include <sstream>
#include <stdexcept>

namespace helpfile {

namespace {

// ---- Little-endian output -------------------------------------------------------------

struct Bytes {
    std::string b;
    void U8(unsigned v) { b.push_back(static_cast<char>(v & 0xFF)); }
    void U16(unsigned v) {
        U8(v);
        U8(v >> 8);
    }
    void U32(uint32_t v) {
        U16(v & 0xFFFF);
        U16(v >> 16);
    }
    void Str(const std::string& s) { b += s; }
    void Z(const std::string& s) {
        b += s;
        b.push_back('\0');
    }
    void Pad(size_t to) {
        if (b.size() < to) b.append(to - b.size(), '\0');
    }
};

// The viewer's compressed numbers in paragraph records: the value doubled,
// in one byte (shorts) or two (longs) while it fits, with a bias for the
// signed kinds.
void CompressedUShort(Bytes& out, unsigned v) {
    if (v < 128) {
        out.U8(v * 2);
    } else {
        out.U8((v % 128) * 2 + 1);
        out.U8(v / 128);
    }
}

void CompressedShort(Bytes& out, int v) {
    const int biased = v + 64;
    if (biased >= 0 && biased < 128) {
        out.U8(static_cast<unsigned>(biased) * 2);
    } else {
        const int wide = v + 16384;
        out.U8(static_cast<unsigned>(wide % 128) * 2 + 1);
        out.U8(static_cast<unsigned>(wide / 128));
    }
}

void CompressedLong(Bytes& out, int32_t v) {
    const int32_t biased = v + 16384;
    if (biased >= 0 && biased < 32768) {
        out.U16(static_cast<unsigned>(biased) * 2);
    } else {
        const int64_t wide = static_cast<int64_t>(v) + 67108864;
        out.U16(static_cast<unsigned>(wide % 32768) * 2 + 1);
        out.U16(static_cast<unsigned>(wide / 32768));
    }
}

// ---- B+ trees ---------------------------------------------------------------------------

// A tree of one leaf page, enough for every table of a small help file.
std::string BTree(const char* structure, unsigned pageSize, unsigned flags, const std::vector<std::string>& entries) {
    size_t used = 8;
    for (const std::string& e : entries) used += e.size();
    if (used > pageSize) throw std::runtime_error(std::string("too many entries for one page in a '") + structure + "' table");
    Bytes out;
    out.U16(0x293B);
    out.U16(flags);
    out.U16(pageSize);
    std::string s(structure);
    s.resize(16, '\0');
    out.Str(s);
    out.U16(0);       // must be zero
    out.U16(0);       // page splits
    out.U16(0);       // root page
    out.U16(0xFFFF);  // must be -1
    out.U16(1);       // pages
    out.U16(1);       // levels
    out.U32(static_cast<uint32_t>(entries.size()));
    const size_t page = out.b.size();
    out.U16(static_cast<unsigned>(pageSize - used));  // unused bytes at the page's end
    out.U16(static_cast<unsigned>(entries.size()));
    out.U16(0xFFFF);  // previous page
    out.U16(0xFFFF);  // next page
    for (const std::string& e : entries) out.Str(e);
    out.Pad(page + pageSize);
    return out.b;
}

// ---- Topics -----------------------------------------------------------------------------

// Topic blocks are written in the LZ77 form of the format (flags 4): each
// 4 KB block expands to at most 16 KB, which fixes how record positions
// count, and that is the form the viewer reads. The data is stored as
// literals only (a flag byte of zeros before every eight bytes), so a block
// holds 453 such groups.
constexpr uint32_t kTopicBlockSize = 4096;
constexpr uint32_t kBlockHeader = 12;
constexpr uint32_t kExpandedBlock = 0x4000;
constexpr uint32_t kLiteralGroups = (kTopicBlockSize - kBlockHeader) / 9;
constexpr uint32_t kBlockData = kLiteralGroups * 8;  // what one block holds
constexpr uint32_t kLinkHeader = 21;
constexpr unsigned kTopicHeaderRecord = 2;
constexpr unsigned kDisplayRecord = 0x20;
constexpr uint32_t kNone = 0xFFFFFFFF;

uint32_t TopicPos(uint32_t block, uint32_t offset) { return kBlockHeader + block * kExpandedBlock + offset; }

// The LZ77 form with no repeats: every group of eight bytes after a zero
// flag byte; the block's unused rest stays zero, which expands to zeros.
std::string Literals(const std::string& data) {
    std::string out;
    for (size_t at = 0; at < data.size(); at += 8) {
        out.push_back('\0');
        out += data.substr(at, 8);
    }
    return out;
}
uint32_t TopicOffset(uint32_t block, uint32_t characters) { return (block << 15) + characters; }

enum : unsigned {
    kFont = 0x80,
    kEndParagraph = 0x82,
    kEndHotspot = 0x89,
    kTopicJump = 0xE3,
    kEndFormat = 0xFF,
};

constexpr unsigned kBodyFont = 0, kTitleFont = 1;

// One record of |TOPIC before it is placed: its two data parts. Jumps are
// filled in once every topic's place is known.
struct Link {
    unsigned type = kDisplayRecord;
    std::string data1, data2;
    int topic = -1;  // for topic headers: the topic's index
    std::vector<std::pair<size_t, std::string>> jumps;  // (where in data1, target context)
    uint32_t block = 0, offset = 0;
    uint32_t Size() const { return kLinkHeader + static_cast<uint32_t>(data1.size() + data2.size()); }
};

Link Paragraph(const std::vector<Span>& spans, unsigned font, int spacingBelow) {
    Link link;
    Bytes cmds;
    std::string text, pending;
    std::vector<std::pair<size_t, std::string>> jumps;
    auto command = [&](std::initializer_list<unsigned> bytes) {
        text += pending;
        text.push_back('\0');
        pending.clear();
        for (unsigned b : bytes) cmds.U8(b);
    };
    command({kFont, font & 0xFF, font >> 8});
    for (const Span& s : spans) {
        if (s.jumpTo.empty()) {
            pending += s.text;
            continue;
        }
        command({kTopicJump});
        jumps.push_back({cmds.b.size(), s.jumpTo});
        cmds.U32(0);  // the target's topic offset, filled in later
        pending += s.text;
        command({kEndHotspot});
    }
    command({kEndParagraph});
    command({kEndFormat});

    Bytes d1;
    CompressedLong(d1, static_cast<int32_t>(text.size()));   // topic size
    CompressedUShort(d1, static_cast<unsigned>(text.size()));  // topic length: the characters
    d1.U8(0);     // unknown
    d1.U8(0x80);  // unknown, biased
    d1.U16(0);    // id
    d1.U16(0x0004);  // bits: the spacing below follows
    CompressedShort(d1, spacingBelow);
    const size_t at = d1.b.size();
    d1.Str(cmds.b);
    for (auto& j : jumps) link.jumps.push_back({at + j.first, j.second});
    link.data1 = d1.b;
    link.data2 = text;
    return link;
}

struct Layout {
    std::vector<Link> links;
    std::vector<size_t> topicHeader;  // the header link of each topic
    uint32_t blocks = 0;
};

// Each topic starts a topic block of its own, so that its topic offset is
// its block's start; no record is split between two blocks.
Layout Place(const std::vector<Topic>& topics) {
    Layout l;
    uint32_t block = 0, used = 0;
    bool any = false;
    auto place = [&](Link& link, bool newBlock) {
        if (link.Size() > kBlockData) throw std::runtime_error("a paragraph is too long for one topic block");
        if (any && (newBlock || used + link.Size() > kBlockData)) {
            ++block;
            used = 0;
        }
        link.block = block;
        link.offset = used;
        used += link.Size();
        any = true;
    };
    for (size_t t = 0; t < topics.size(); ++t) {
        Link header;
        header.type = kTopicHeaderRecord;
        header.topic = static_cast<int>(t);
        header.data2 = topics[t].title + std::string(1, '\0');
        header.data1.assign(28, '\0');  // filled in once the links are placed
        place(header, true);
        l.topicHeader.push_back(l.links.size());
        l.links.push_back(header);
        Link title = Paragraph({Span{topics[t].title, ""}}, kTitleFont, 12);
        place(title, false);
        l.links.push_back(title);
        for (const auto& p : topics[t].paragraphs) {
            Link body = Paragraph(p, kBodyFont, 8);
            place(body, false);
            l.links.push_back(body);
        }
    }
    l.blocks = block + 1;
    return l;
}

void Put32(std::string& s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::string TopicFile(Layout& l, const std::vector<Topic>& topics, const std::map<std::string, uint32_t>& offsets) {
    auto pos = [&](size_t i) { return TopicPos(l.links[i].block, l.links[i].offset); };
    // Topic headers and jumps, now that every place is known.
    for (size_t i = 0; i < l.links.size(); ++i) {
        Link& link = l.links[i];
        for (const auto& [at, target] : link.jumps) Put32(link.data1, at, offsets.at(target));
        if (link.type != kTopicHeaderRecord || link.topic < 0) continue;
        size_t next = i + 1;
        while (next < l.links.size() && l.links[next].type != kTopicHeaderRecord) ++next;
        uint32_t size = 0;
        for (size_t k = i; k < next; ++k) size += l.links[k].Size();
        Put32(link.data1, 0, size);
        Put32(link.data1, 4, kNone);  // no browse sequence
        Put32(link.data1, 8, kNone);
        Put32(link.data1, 12, static_cast<uint32_t>(link.topic));
        Put32(link.data1, 16, kNone);  // no non-scrolling region
        Put32(link.data1, 20, i + 1 < l.links.size() ? pos(i + 1) : kNone);
        Put32(link.data1, 24, next < l.links.size() ? pos(next) : kNone);
    }
    (void)topics;
    std::vector<std::string> data(l.blocks);
    std::vector<uint32_t> first(l.blocks, kNone), lastBefore(l.blocks, kNone), lastHeader(l.blocks, kNone);
    uint32_t lastLink = kNone, header = kNone;
    for (size_t i = 0; i < l.links.size(); ++i) {
        const Link& link = l.links[i];
        if (first[link.block] == kNone) {
            first[link.block] = pos(i);
            lastBefore[link.block] = lastLink;
        }
        if (link.type == kTopicHeaderRecord) header = pos(i);
        lastHeader[link.block] = header;
        Bytes r;
        r.U32(link.Size());
        r.U32(static_cast<uint32_t>(link.data2.size()));
        r.U32(i > 0 ? pos(i - 1) : kNone);
        r.U32(i + 1 < l.links.size() ? pos(i + 1) : kNone);
        r.U32(kLinkHeader + static_cast<uint32_t>(link.data1.size()));
        r.U8(link.type);
        r.Str(link.data1);
        r.Str(link.data2);
        std::string& d = data[link.block];
        d.resize(link.offset, '\0');
        d += r.b;
        lastLink = pos(i);
    }
    Bytes out;
    for (uint32_t b = 0; b < l.blocks; ++b) {
        out.U32(lastBefore[b]);
        out.U32(first[b]);
        out.U32(lastHeader[b]);
        std::string d = Literals(data[b]);
        // Every block but the last is whole.
        if (b + 1 < l.blocks) d.resize(kTopicBlockSize - kBlockHeader, '\0');
        out.Str(d);
    }
    return out.b;
}

std::string SystemFile(const std::string& title, uint32_t contents) {
    Bytes out;
    out.U16(0x036C);
    out.U16(21);  // the Windows 3.1 help format: context names by hash
    out.U16(1);
    out.U32(0);  // made at no particular time: the same text makes the same file
    out.U16(4);  // LZ77 topic blocks of 4 KB
    auto record = [&](unsigned type, const std::string& data) {
        out.U16(type);
        out.U16(static_cast<unsigned>(data.size()));
        out.Str(data);
    };
    record(1, title + std::string(1, '\0'));
    Bytes c;
    c.U32(contents);
    record(3, c.b);
    return out.b;
}

std::string FontFile() {
    constexpr unsigned kFaceLength = 32;
    Bytes out;
    out.U16(1);  // face names
    out.U16(2);  // descriptors
    out.U16(8);
    out.U16(8 + kFaceLength);
    std::string face = "Arial";
    face.resize(kFaceLength, '\0');
    out.Str(face);
    // Attributes, half points, family (swiss), face, colour, background.
    auto descriptor = [&](unsigned attributes, unsigned halfPoints, unsigned r, unsigned g, unsigned b) {
        out.U8(attributes);
        out.U8(halfPoints);
        out.U8(3);
        out.U16(0);
        out.U8(r);
        out.U8(g);
        out.U8(b);
        out.U8(255);
        out.U8(255);
        out.U8(255);
    };
    descriptor(0, 20, 0, 0, 0);     // body: 10 point, black
    descriptor(1, 28, 0, 0, 128);   // titles: 14 point bold, navy
    return out.b;
}

std::string InternalFile(const std::string& content) {
    Bytes out;
    out.U32(static_cast<uint32_t>(content.size() + 9));
    out.U32(static_cast<uint32_t>(content.size()));
    out.U8(4);
    out.Str(content);
    return out.b;
}

std::string Trim(const std::string& s) {
    const size_t a = s.find_first_not_of(" \t\r");
    if (a == std::string::npos) return "";
    const size_t b = s.find_last_not_of(" \t\r");
    return s.substr(a, b - a + 1);
}

std::vector<Span> SpansOf(const std::string& text, int line) {
    std::vector<Span> spans;
    size_t at = 0;
    while (at < text.size()) {
        const size_t open = text.find("[[", at);
        if (open == std::string::npos) {
            spans.push_back({text.substr(at), ""});
            break;
        }
        if (open > at) spans.push_back({text.substr(at, open - at), ""});
        const size_t close = text.find("]]", open);
        const size_t bar = text.find('|', open);
        if (close == std::string::npos || bar == std::string::npos || bar > close)
            throw std::runtime_error("line " + std::to_string(line) + ": a jump is written [[text|Context]]");
        spans.push_back({text.substr(open + 2, bar - open - 2), Trim(text.substr(bar + 1, close - bar - 1))});
        at = close + 2;
    }
    return spans;
}

}  // namespace

int32_t ContextHash(const std::string& context) {
    static const unsigned char table[256] = {
        0x00, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7,
        0xD8, 0xD9, 0xDA, 0xDB, 0xDC, 0xDD, 0xDE, 0xDF,
        0xE0, 0xE1, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7,
        0xE8, 0xE9, 0xEA, 0xEB, 0xEC, 0xED, 0xEE, 0xEF,
        0xF0, 0x0B, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7,
        0xF8, 0xF9, 0xFA, 0xFB, 0xFC, 0xFD, 0x0C, 0xFF,
        0x0A, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07,
        0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F,
        0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17,
        0x18, 0x19, 0x1A, 0x1B, 0x1C, 0x1D, 0x1E, 0x1F,
        0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27,
        0x28, 0x29, 0x2A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0D,
        0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17,
        0x18, 0x19, 0x1A, 0x1B, 0x1C, 0x1D, 0x1E, 0x1F,
        0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27,
        0x28, 0x29, 0x2A, 0x2B, 0x2C, 0x2D, 0x2E, 0x2F,
        0x50, 0x51, 0x52, 0x53, 0x54, 0x55, 0x56, 0x57,
        0x58, 0x59, 0x5A, 0x5B, 0x5C, 0x5D, 0x5E, 0x5F,
        0x60, 0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x67,
        0x68, 0x69, 0x6A, 0x6B, 0x6C, 0x6D, 0x6E, 0x6F,
        0x70, 0x71, 0x72, 0x73, 0x74, 0x75, 0x76, 0x77,
        0x78, 0x79, 0x7A, 0x7B, 0x7C, 0x7D, 0x7E, 0x7F,
        0x80, 0x81, 0x82, 0x83, 0x0B, 0x85, 0x86, 0x87,
        0x88, 0x89, 0x8A, 0x8B, 0x8C, 0x8D, 0x8E, 0x8F,
        0x90, 0x91, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97,
        0x98, 0x99, 0x9A, 0x9B, 0x9C, 0x9D, 0x9E, 0x9F,
        0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7,
        0xA8, 0xA9, 0xAA, 0xAB, 0xAC, 0xAD, 0xAE, 0xAF,
        0xB0, 0xB1, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6, 0xB7,
        0xB8, 0xB9, 0xBA, 0xBB, 0xBC, 0xBD, 0xBE, 0xBF,
        0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7,
        0xC8, 0xC9, 0xCA, 0xCB, 0xCC, 0xCD, 0xCE, 0xCF,
    };
    if (context.empty()) return 1;
    uint32_t hash = 0;
    // The table holds signed characters: values from 0x80 count negative.
    for (unsigned char c : context)
        hash = hash * 43 + static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(table[c])));
    return static_cast<int32_t>(hash);
}

std::vector<Topic> ParseSource(const std::string& text) {
    std::vector<Topic> topics;
    std::istringstream in(text);
    std::string line, paragraph;
    int number = 0, paragraphLine = 0;
    auto endParagraph = [&] {
        if (paragraph.empty()) return;
        if (topics.empty())
            throw std::runtime_error("line " + std::to_string(paragraphLine) + ": text before the first @topic");
        topics.back().paragraphs.push_back(SpansOf(paragraph, paragraphLine));
        paragraph.clear();
    };
    while (std::getline(in, line)) {
        ++number;
        const std::string t = Trim(line);
        if (!t.empty() && t[0] == ';') continue;
        if (t.rfind("@topic", 0) == 0) {
            endParagraph();
            const size_t bar = t.find('|');
            if (bar == std::string::npos)
                throw std::runtime_error("line " + std::to_string(number) + ": a topic is written @topic Context | Title");
            Topic topic;
            topic.context = Trim(t.substr(6, bar - 6));
            topic.title = Trim(t.substr(bar + 1));
            if (topic.context.empty() || topic.title.empty())
                throw std::runtime_error("line " + std::to_string(number) + ": a topic needs a context name and a title");
            topics.push_back(topic);
            continue;
        }
        if (t.empty()) {
            endParagraph();
            continue;
        }
        if (paragraph.empty()) paragraphLine = number;
        else paragraph += ' ';
        paragraph += t;
    }
    endParagraph();
    return topics;
}

std::string Build(const std::string& title, const std::vector<Topic>& topics) {
    if (topics.empty()) throw std::runtime_error("a help file needs a topic");
    std::map<std::string, size_t> byName;
    std::map<int32_t, std::string> byHash;
    for (size_t i = 0; i < topics.size(); ++i) {
        if (!byName.emplace(topics[i].context, i).second)
            throw std::runtime_error("the context name " + topics[i].context + " is used twice");
        const auto [it, fresh] = byHash.emplace(ContextHash(topics[i].context), topics[i].context);
        if (!fresh) throw std::runtime_error(topics[i].context + " and " + it->second + " have the same hash");
    }
    for (const Topic& t : topics)
        for (const auto& p : t.paragraphs)
            for (const Span& s : p)
                if (!s.jumpTo.empty() && !byName.count(s.jumpTo))
                    throw std::runtime_error("topic " + t.context + " jumps to " + s.jumpTo + ", which is no topic");

    Layout layout = Place(topics);
    std::map<std::string, uint32_t> offsets;
    for (size_t i = 0; i < topics.size(); ++i)
        offsets[topics[i].context] = TopicOffset(layout.links[layout.topicHeader[i]].block, 0);

    std::vector<std::pair<int32_t, uint32_t>> contexts;
    for (const Topic& t : topics) contexts.push_back({ContextHash(t.context), offsets[t.context]});
    std::sort(contexts.begin(), contexts.end());
    std::vector<std::string> contextEntries, titleEntries;
    for (const auto& [hash, offset] : contexts) {
        Bytes e;
        e.U32(static_cast<uint32_t>(hash));
        e.U32(offset);
        contextEntries.push_back(e.b);
    }
    for (const Topic& t : topics) {  // in topic offset order, as placed
        Bytes e;
        e.U32(offsets[t.context]);
        e.Z(t.title);
        titleEntries.push_back(e.b);
    }

    const std::map<std::string, std::string> files = {
        {"|CONTEXT", BTree("L4", 0x800, 0x0002, contextEntries)},
        {"|FONT", FontFile()},
        {"|SYSTEM", SystemFile(title, offsets[topics.front().context])},
        {"|TOPIC", TopicFile(layout, topics, offsets)},
        {"|TTLBTREE", BTree("Lz", 0x800, 0x0002, titleEntries)},
    };
    Bytes out;
    out.Pad(16);
    std::vector<std::string> directory;
    for (const auto& [name, content] : files) {  // a map: in name order, as the directory wants
        Bytes e;
        e.Z(name);
        e.U32(static_cast<uint32_t>(out.b.size()));
        directory.push_back(e.b);
        out.Str(InternalFile(content));
    }
    const uint32_t directoryStart = static_cast<uint32_t>(out.b.size());
    out.Str(InternalFile(BTree("z4", 0x400, 0x0402, directory)));
    Bytes header;
    header.U32(0x00035F3F);
    header.U32(directoryStart);
    header.U32(kNone);  // no free blocks
    header.U32(static_cast<uint32_t>(out.b.size()));
    out.b.replace(0, 16, header.b);
    return out.b;
}

}  // namespace helpfile
