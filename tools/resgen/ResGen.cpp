// Draws the program's small pictures (toolbox bitmap, icons, tool bar and
// task state images, the explorer's menu glyphs and sort arrows) and writes
// them as .bmp and .ico files for the resource compiler. Nothing here is
// copied from anywhere: every picture is drawn from the shapes below.
//
//   resgen <output folder>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Rgba {
    uint8_t r, g, b, a;
};

class Pixmap {
public:
    Pixmap(int w, int h, Rgba fill) : m_w(w), m_h(h), m_px(static_cast<size_t>(w * h), fill) {}
    int Width() const { return m_w; }
    int Height() const { return m_h; }
    Rgba At(int x, int y) const { return m_px[static_cast<size_t>(y * m_w + x)]; }
    void Set(int x, int y, Rgba c) {
        if (x >= 0 && y >= 0 && x < m_w && y < m_h) m_px[static_cast<size_t>(y * m_w + x)] = c;
    }
    void Fill(int x0, int y0, int x1, int y1, Rgba c) {  // inclusive-exclusive
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) Set(x, y, c);
    }

private:
    int m_w, m_h;
    std::vector<Rgba> m_px;
};

void Put16(std::vector<uint8_t>& b, uint32_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

// BITMAPINFOHEADER + bottom-up pixel rows; 24 or 32 bits.
std::vector<uint8_t> DibBits(const Pixmap& p, int bits, int headerHeight) {
    std::vector<uint8_t> b;
    Put32(b, 40);
    Put32(b, static_cast<uint32_t>(p.Width()));
    Put32(b, static_cast<uint32_t>(headerHeight));
    Put16(b, 1);
    Put16(b, static_cast<uint32_t>(bits));
    Put32(b, 0);
    const int stride = ((p.Width() * bits / 8) + 3) & ~3;
    Put32(b, static_cast<uint32_t>(stride * p.Height()));
    Put32(b, 2835);
    Put32(b, 2835);
    Put32(b, 0);
    Put32(b, 0);
    for (int y = p.Height() - 1; y >= 0; --y) {
        size_t row = b.size();
        for (int x = 0; x < p.Width(); ++x) {
            const Rgba c = p.At(x, y);
            b.push_back(c.b);
            b.push_back(c.g);
            b.push_back(c.r);
            if (bits == 32) b.push_back(c.a);
        }
        while ((b.size() - row) % 4) b.push_back(0);
    }
    return b;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& data) {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    return static_cast<bool>(f);
}

bool WriteBmp(const std::string& path, const Pixmap& p) {
    const std::vector<uint8_t> dib = DibBits(p, 24, p.Height());
    std::vector<uint8_t> file;
    file.push_back('B');
    file.push_back('M');
    Put32(file, static_cast<uint32_t>(14 + dib.size()));
    Put32(file, 0);
    Put32(file, 14 + 40);
    file.insert(file.end(), dib.begin(), dib.end());
    return WriteFile(path, file);
}

// An 8-bit bitmap with a colour table of the picture's own colours: the
// loader maps the table's greys to the system's 3-D colours
// (LR_LOADMAP3DCOLORS), which it does for no bitmap without a table.
bool WriteBmp8(const std::string& path, const Pixmap& p) {
    std::vector<Rgba> table;
    std::vector<uint8_t> indexes;
    for (int y = p.Height() - 1; y >= 0; --y) {
        for (int x = 0; x < p.Width(); ++x) {
            const Rgba c = p.At(x, y);
            size_t i = 0;
            while (i < table.size() && !(table[i].r == c.r && table[i].g == c.g && table[i].b == c.b)) ++i;
            if (i == table.size()) {
                if (table.size() == 256) return false;
                table.push_back(c);
            }
            indexes.push_back(static_cast<uint8_t>(i));
        }
        while (indexes.size() % 4) indexes.push_back(0);
    }
    std::vector<uint8_t> file;
    const uint32_t offset = 14 + 40 + static_cast<uint32_t>(4 * table.size());
    file.push_back('B');
    file.push_back('M');
    Put32(file, offset + static_cast<uint32_t>(indexes.size()));
    Put32(file, 0);
    Put32(file, offset);
    Put32(file, 40);
    Put32(file, static_cast<uint32_t>(p.Width()));
    Put32(file, static_cast<uint32_t>(p.Height()));
    Put16(file, 1);
    Put16(file, 8);
    Put32(file, 0);
    Put32(file, static_cast<uint32_t>(indexes.size()));
    Put32(file, 2835);
    Put32(file, 2835);
    Put32(file, static_cast<uint32_t>(table.size()));
    Put32(file, 0);
    for (const Rgba& c : table) {
        file.push_back(c.b);
        file.push_back(c.g);
        file.push_back(c.r);
        file.push_back(0);
    }
    file.insert(file.end(), indexes.begin(), indexes.end());
    return WriteFile(path, file);
}

// 32-bit icon images with alpha, plus the 1-bit AND mask.
bool WriteIco(const std::string& path, const std::vector<Pixmap>& images) {
    std::vector<std::vector<uint8_t>> blobs;
    for (const auto& p : images) {
        std::vector<uint8_t> dib = DibBits(p, 32, p.Height() * 2);
        const int maskStride = ((p.Width() + 31) / 32) * 4;
        for (int y = p.Height() - 1; y >= 0; --y) {
            std::vector<uint8_t> row(static_cast<size_t>(maskStride), 0);
            for (int x = 0; x < p.Width(); ++x)
                if (p.At(x, y).a == 0) row[static_cast<size_t>(x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
            dib.insert(dib.end(), row.begin(), row.end());
        }
        blobs.push_back(std::move(dib));
    }
    std::vector<uint8_t> file;
    Put16(file, 0);
    Put16(file, 1);
    Put16(file, static_cast<uint32_t>(images.size()));
    uint32_t offset = static_cast<uint32_t>(6 + 16 * images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        file.push_back(static_cast<uint8_t>(images[i].Width() & 0xFF));
        file.push_back(static_cast<uint8_t>(images[i].Height() & 0xFF));
        file.push_back(0);
        file.push_back(0);
        Put16(file, 1);
        Put16(file, 32);
        Put32(file, static_cast<uint32_t>(blobs[i].size()));
        Put32(file, offset);
        offset += static_cast<uint32_t>(blobs[i].size());
    }
    for (const auto& blob : blobs) file.insert(file.end(), blob.begin(), blob.end());
    return WriteFile(path, file);
}

constexpr Rgba kClear{0, 0, 0, 0};
constexpr Rgba kFilm{40, 44, 52, 255};
constexpr Rgba kHole{236, 236, 236, 255};
constexpr Rgba kFrameA{64, 150, 230, 255};
constexpr Rgba kFrameB{250, 170, 40, 255};
constexpr Rgba kArrow{255, 255, 255, 255};

// A strip of film with two frames and an arrow from one to the other:
// a conversion.
Pixmap DrawFilmStrip(int size, Rgba background) {
    Pixmap p(size, size, background);
    const int s = size;
    const int top = s / 8, bottom = s - s / 8;
    p.Fill(0, top, s, bottom, kFilm);
    const int hole = s >= 32 ? 3 : 1;
    for (int x = 1; x + hole < s; x += hole * 2 + (s >= 32 ? 1 : 1)) {
        p.Fill(x, top + 1, x + hole, top + 1 + hole, kHole);
        p.Fill(x, bottom - 1 - hole, x + hole, bottom - 1, kHole);
    }
    const int ft = top + hole + 2, fb = bottom - hole - 2;
    const int mid = s / 2;
    p.Fill(1, ft, mid - 1, fb, kFrameA);
    p.Fill(mid + 1, ft, s - 1, fb, kFrameB);
    // Arrow pointing right across the frame border.
    const int cy = (ft + fb) / 2;
    const int len = s / 4;
    const int x0 = mid - len / 2;
    p.Fill(x0, cy - (s >= 32 ? 1 : 0), x0 + len, cy + 1, kArrow);
    for (int k = 0; k <= s / 8; ++k) {
        p.Fill(x0 + len - k, cy - (s / 8 - k), x0 + len - k + 1, cy + (s / 8 - k) + 1, kArrow);
    }
    return p;
}

// ---- Tool bar and task state images: 16 x 16 glyphs side by side on the
// mask colour (magenta), for image lists.

constexpr Rgba kMask{255, 0, 255, 255};
constexpr Rgba kInk{40, 40, 40, 255};
constexpr Rgba kPaper{250, 250, 250, 255};
constexpr Rgba kFolder{236, 190, 70, 255};
constexpr Rgba kGreen{40, 160, 60, 255};
constexpr Rgba kRed{210, 40, 40, 255};
constexpr Rgba kBlue{40, 90, 200, 255};
constexpr Rgba kGrey{130, 130, 130, 255};
constexpr Rgba kOrange{240, 140, 20, 255};

void Disc(Pixmap& p, int ox, double cx, double cy, double r, Rgba c) {
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
            if (dx * dx + dy * dy <= r * r) p.Set(ox + x, y, c);
        }
}

// A thick line from (x0, y0) to (x1, y1) inside the glyph at ox.
void Stroke(Pixmap& p, int ox, double x0, double y0, double x1, double y1, double width, Rgba c) {
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const double px = x + 0.5, py = y + 0.5;
            const double vx = x1 - x0, vy = y1 - y0;
            double t = ((px - x0) * vx + (py - y0) * vy) / (vx * vx + vy * vy);
            t = t < 0 ? 0 : (t > 1 ? 1 : t);
            const double dx = px - (x0 + t * vx), dy = py - (y0 + t * vy);
            if (dx * dx + dy * dy <= width * width / 4) p.Set(ox + x, y, c);
        }
}

void Page(Pixmap& p, int ox) {
    p.Fill(ox + 3, 1, ox + 12, 15, kInk);
    p.Fill(ox + 4, 2, ox + 11, 14, kPaper);
    for (int y = 4; y < 12; y += 2) p.Fill(ox + 5, y, ox + 10, y + 1, kGrey);
}

void Folder(Pixmap& p, int ox) {
    p.Fill(ox + 1, 3, ox + 7, 5, kInk);
    p.Fill(ox + 1, 4, ox + 15, 14, kInk);
    p.Fill(ox + 2, 5, ox + 14, 13, kFolder);
}

void Plus(Pixmap& p, int ox) {
    p.Fill(ox + 9, 11, ox + 16, 14, kGreen);
    p.Fill(ox + 11, 9, ox + 14, 16, kGreen);
}

// The tool bar's commands, in this order: add files, add folder, remove,
// clear, convert, options, help, about.
Pixmap DrawToolbarStrip() {
    Pixmap p(16 * 8, 16, kMask);
    Page(p, 0);
    Plus(p, 0);
    Folder(p, 16);
    Plus(p, 16);
    Page(p, 32);
    p.Fill(32 + 8, 11, 32 + 16, 14, kRed);
    Stroke(p, 48, 3, 3, 13, 13, 3, kRed);
    Stroke(p, 48, 13, 3, 3, 13, 3, kRed);
    const Pixmap film = DrawFilmStrip(16, kMask);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) p.Set(64 + x, y, film.At(x, y));
    for (int k = 0; k < 8; ++k) {
        const double a = k * 3.14159265 / 4;
        Stroke(p, 80, 8, 8, 8 + 7 * std::cos(a), 8 + 7 * std::sin(a), 3, kGrey);
    }
    Disc(p, 80, 8, 8, 5, kGrey);
    Disc(p, 80, 8, 8, 2, kMask);
    Disc(p, 96, 8, 8, 7.5, kBlue);
    Stroke(p, 96, 5.5, 5.5, 8, 3.5, 2, kPaper);
    Stroke(p, 96, 8, 3.5, 10.5, 5.5, 2, kPaper);
    Stroke(p, 96, 10.5, 5.5, 8, 8.5, 2, kPaper);
    Stroke(p, 96, 8, 8.5, 8, 10, 2, kPaper);
    p.Fill(96 + 7, 12, 96 + 9, 14, kPaper);
    Disc(p, 112, 8, 8, 7.5, kBlue);
    p.Fill(112 + 7, 3, 112 + 9, 5, kPaper);
    p.Fill(112 + 7, 6, 112 + 9, 13, kPaper);
    return p;
}

// A task's state: ready, converting, skipped, error, done.
Pixmap DrawTaskStateStrip() {
    Pixmap p(16 * 5, 16, kMask);
    Disc(p, 0, 8, 8, 4, kGrey);
    for (int x = 0; x < 8; ++x) p.Fill(16 + 5 + x, 4 + x / 2, 16 + 6 + x, 12 - x / 2, kBlue);
    Stroke(p, 32, 4, 4, 9, 8, 3, kOrange);
    Stroke(p, 32, 9, 8, 4, 12, 3, kOrange);
    Stroke(p, 32, 9, 4, 14, 8, 3, kOrange);
    Stroke(p, 32, 14, 8, 9, 12, 3, kOrange);
    Stroke(p, 48, 4, 4, 12, 12, 3, kRed);
    Stroke(p, 48, 12, 4, 4, 12, 3, kRed);
    Stroke(p, 64, 3, 8, 7, 12, 3, kGreen);
    Stroke(p, 64, 7, 12, 13, 4, 3, kGreen);
    return p;
}

// ---- Menu glyphs and header arrows of the explorer pane: one 16 x 16
// bitmap each, on the grey that loading with LR_LOADMAP3DCOLORS turns into
// the button face (as it turns 128 grey into the shadow colour).

constexpr Rgba kFace{192, 192, 192, 255};
constexpr Rgba kShadow{128, 128, 128, 255};
constexpr Rgba kBrown{150, 100, 50, 255};
constexpr Rgba kSky{90, 160, 230, 255};

Pixmap Glyph() { return Pixmap(16, 16, kFace); }

void Cross(Pixmap& p, double x0, double y0, double x1, double y1) {
    Stroke(p, 0, x0, y0, x1, y1, 2.5, kRed);
    Stroke(p, 0, x1, y0, x0, y1, 2.5, kRed);
}

void ArrowRight(Pixmap& p, int x0, int y, int length, Rgba c) {
    p.Fill(x0, y - 1, x0 + length, y + 1, c);
    for (int k = 0; k < 4; ++k) p.Fill(x0 + length - 4 + k, y - 3 + k, x0 + length - 3 + k, y + 3 - k, c);
}

void Board(Pixmap& p) {
    p.Fill(2, 2, 14, 16, kBrown);
    p.Fill(4, 4, 12, 14, kPaper);
    p.Fill(6, 1, 10, 4, kGrey);
    for (int y = 6; y < 13; y += 2) p.Fill(5, y, 11, y + 1, kGrey);
}

void Drive(Pixmap& p) {
    p.Fill(1, 5, 15, 11, kInk);
    p.Fill(2, 6, 14, 10, kGrey);
    p.Fill(11, 7, 13, 9, kGreen);
}

struct NamedGlyph {
    const char* file;
    Pixmap picture;
};

std::vector<NamedGlyph> DrawExplorerGlyphs() {
    std::vector<NamedGlyph> g;
    auto add = [&](const char* file, const Pixmap& p) { g.push_back(NamedGlyph{file, p}); };
    Pixmap p = Glyph();
    Folder(p, 0);
    Plus(p, 0);
    add("newfolder28.bmp", p);
    p = Glyph();
    Folder(p, 0);
    Stroke(p, 0, 6, 13, 14, 5, 2.5, kBlue);
    add("editfolder28.bmp", p);
    p = Glyph();
    Folder(p, 0);
    Cross(p, 8, 8, 15, 15);
    add("delfolder28.bmp", p);
    p = Glyph();
    Stroke(p, 0, 5, 2, 10, 10, 1.5, kInk);
    Stroke(p, 0, 11, 2, 6, 10, 1.5, kInk);
    Disc(p, 0, 5, 12, 2.6, kRed);
    Disc(p, 0, 5, 12, 1.2, kFace);
    Disc(p, 0, 11, 12, 2.6, kRed);
    Disc(p, 0, 11, 12, 1.2, kFace);
    add("cut28.bmp", p);
    p = Glyph();
    p.Fill(1, 1, 10, 12, kInk);
    p.Fill(2, 2, 9, 11, kPaper);
    p.Fill(6, 4, 15, 15, kInk);
    p.Fill(7, 5, 14, 14, kPaper);
    for (int y = 7; y < 13; y += 2) p.Fill(8, y, 13, y + 1, kGrey);
    add("copy28.bmp", p);
    p = Glyph();
    Board(p);
    add("paste28.bmp", p);
    p = Glyph();
    p.Fill(1, 12, 4, 15, kBlue);
    p.Fill(5, 8, 8, 15, kBlue);
    p.Fill(9, 4, 12, 15, kBlue);
    p.Fill(13, 1, 16, 15, kBlue);
    p.Fill(0, 15, 16, 16, kInk);
    add("treesize28.bmp", p);
    p = Glyph();
    Folder(p, 0);
    p.Fill(5, 7, 14, 12, kPaper);
    for (int y = 8; y < 12; y += 2) p.Fill(6, y, 13, y + 1, kGrey);
    add("dircontents28.bmp", p);
    p = Glyph();
    Drive(p);
    p.Fill(7, 11, 9, 16, kGreen);
    p.Fill(3, 14, 13, 16, kGreen);
    add("netconnect28.bmp", p);
    p = Glyph();
    Drive(p);
    p.Fill(7, 11, 9, 13, kRed);
    p.Fill(7, 14, 9, 16, kRed);
    Cross(p, 10, 11, 15, 16);
    add("netdisconnect28.bmp", p);
    p = Glyph();
    Page(p, 0);
    Stroke(p, 0, 5, 9, 8, 12, 2, kGreen);
    Stroke(p, 0, 8, 12, 14, 4, 2, kGreen);
    add("attributes28.bmp", p);
    p = Glyph();
    Folder(p, 0);
    for (int k = 0; k < 6; ++k) p.Fill(4 + k, 8 + k / 2, 15 - k / 3, 9 + k / 2, kFolder);
    p.Fill(3, 8, 15, 9, kInk);
    add("open28.bmp", p);
    p = Glyph();
    Disc(p, 0, 6.5, 6.5, 5, kInk);
    Disc(p, 0, 6.5, 6.5, 3.5, kSky);
    Stroke(p, 0, 10, 10, 14.5, 14.5, 3, kInk);
    add("view28.bmp", p);
    p = Glyph();
    Page(p, 0);
    ArrowRight(p, 6, 11, 10, kBlue);
    add("sendto28.bmp", p);
    p = Glyph();
    p.Fill(1, 5, 15, 12, kInk);
    p.Fill(2, 6, 14, 11, kPaper);
    p.Fill(4, 7, 9, 10, kBlue);
    p.Fill(11, 3, 12, 14, kInk);
    add("rename28.bmp", p);
    p = Glyph();
    Cross(p, 2, 2, 14, 14);
    add("delete28.bmp", p);
    p = Glyph();
    Folder(p, 0);
    ArrowRight(p, 3, 9, 12, kBlue);
    add("anyfolder28.bmp", p);
    p = Glyph();
    Board(p);
    Stroke(p, 0, 6, 9, 8, 11, 1.5, kGreen);
    add("clipboard28.bmp", p);
    p = Glyph();
    p.Fill(1, 2, 15, 12, kInk);
    p.Fill(2, 3, 14, 11, kSky);
    p.Fill(7, 12, 9, 14, kInk);
    p.Fill(4, 14, 12, 15, kInk);
    add("desktop28.bmp", p);
    // Sort arrows: up while the order is reversed, down otherwise.
    p = Glyph();
    for (int k = 0; k < 5; ++k) p.Fill(8 - k - 1, 5 + k, 8 + k + 1, 6 + k, kShadow);
    add("bmp_up28.bmp", p);
    p = Glyph();
    for (int k = 0; k < 5; ++k) p.Fill(8 - k - 1, 10 - k, 8 + k + 1, 11 - k, kShadow);
    add("bmp_down28.bmp", p);
    return g;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: resgen <output folder>\n");
        return 2;
    }
    const std::string dir = argv[1];
    bool ok = true;
    // Toolbox picture of the control: 16 x 16 on the standard grey.
    ok &= WriteBmp(dir + "/vantrex_toolbox.bmp", DrawFilmStrip(16, Rgba{192, 192, 192, 255}));
    ok &= WriteIco(dir + "/vantrex.ico", {DrawFilmStrip(32, kClear), DrawFilmStrip(16, kClear)});
    ok &= WriteBmp(dir + "/toolbar.bmp", DrawToolbarStrip());
    ok &= WriteBmp(dir + "/taskstate.bmp", DrawTaskStateStrip());
    for (const NamedGlyph& g : DrawExplorerGlyphs()) ok &= WriteBmp8(dir + "/" + g.file, g.picture);
    ok &= WriteIco(dir + "/corvane.ico",
                   {DrawFilmStrip(48, kClear), DrawFilmStrip(32, kClear), DrawFilmStrip(16, kClear)});
    if (!ok) {
        std::fprintf(stderr, "resgen: cannot write to %s\n", dir.c_str());
        return 1;
    }
    return 0;
}
