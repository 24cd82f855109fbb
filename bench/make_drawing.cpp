// Writes a generated drawing in ETRS89 / UTM zone 32N for the benchmark:
// <stem>.mif, its companion <stem>.mid, and <stem>.pairs, the same
// coordinate pairs one per line as the drawing writes them, in the same
// order, for the C floor to read.
//
//   make_drawing <kind> <pairs> <stem> [seed]
//
// kind "mixed": Plines and Regions of many points (some of several
//   sections), some Points, Lines, Texts and Rects, each followed by its
//   style lines (Pen, Brush, Symbol, Font, Center), as exports look.
// kind "points": one Point statement and its Symbol line per pair.
// kind "pline": a single Pline of all the pairs.
// kind "empty": an empty drawing (no bytes at all).
// The drawing holds exactly <pairs> coordinate pairs; the same seed gives
// the same bytes on every machine.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// splitmix64: small, seeded, the same sequence everywhere.
struct Random {
    uint64_t state;
    uint64_t Next() {
        uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // A whole number from low to high, both included.
    int64_t Between(int64_t low, int64_t high) {
        return low + static_cast<int64_t>(Next() % static_cast<uint64_t>(high - low + 1));
    }
};

// Denmark in UTM zone 32N, in centimetres.
constexpr int64_t kWest = 44000000, kEast = 73000000;
constexpr int64_t kSouth = 605000000, kNorth = 640000000;

struct Output {
    FILE *mif = nullptr;
    FILE *mid = nullptr;
    FILE *pairs = nullptr;
    Random random{0};
    int64_t x = 0, y = 0;  // the walk's position, centimetres
    long objects = 0;
};

void Fail(const char *what) {
    std::perror(what);
    std::exit(1);
}

// Centimetres as metres with two decimals.
int Metres(char *text, size_t room, int64_t x, int64_t y) {
    return std::snprintf(text, room, "%lld.%02lld %lld.%02lld", static_cast<long long>(x / 100),
                         static_cast<long long>(x % 100), static_cast<long long>(y / 100),
                         static_cast<long long>(y % 100));
}

// A pair somewhere in Denmark, which also moves the walk there.
void Jump(Output &out) {
    out.x = out.random.Between(kWest, kEast);
    out.y = out.random.Between(kSouth, kNorth);
}

// The next step of the walk, up to 50 m in each direction, kept inside.
void Step(Output &out) {
    out.x += out.random.Between(-5000, 5000);
    out.y += out.random.Between(-5000, 5000);
    if (out.x < kWest || out.x > kEast || out.y < kSouth || out.y > kNorth) Jump(out);
}

// Writes the current pair to the drawing (after prefix, before suffix) and
// to the pairs file.
void Pair(Output &out, const char *prefix, const char *suffix) {
    char text[64];
    Metres(text, sizeof text, out.x, out.y);
    std::fprintf(out.mif, "%s%s%s", prefix, text, suffix);
    std::fprintf(out.pairs, "%s\n", text);
}

void Record(Output &out, const char *kind) {
    ++out.objects;
    std::fprintf(out.mid, "\"%s %ld\",%ld\r\n", kind, out.objects,
                 static_cast<long>(out.random.Between(1, 9999)));
}

void PointObject(Output &out) {
    Jump(out);
    Pair(out, "Point ", "\r\n");
    std::fputs("    Symbol (35,16711680,12)\r\n", out.mif);
    Record(out, "Punkt");
}

// Line and Rect: two pairs on the statement line.
void TwoPairObject(Output &out, const char *keyword, const char *style) {
    Jump(out);
    Pair(out, keyword, " ");
    Step(out);
    Pair(out, "", "\r\n");
    std::fputs(style, out.mif);
    Record(out, keyword);
}

void TextObject(Output &out) {
    std::fputs("Text\r\n    \"Stednavn\"\r\n", out.mif);
    Jump(out);
    Pair(out, "    ", " ");
    Step(out);
    Pair(out, "", "\r\n");
    std::fputs("    Font (\"Arial\",0,0,0)\r\n    Angle 12.5\r\n", out.mif);
    Record(out, "Tekst");
}

// A walk of count points as point lines.
void PointLines(Output &out, long count) {
    Jump(out);
    for (long i = 0; i < count; ++i) {
        Pair(out, "", "\r\n");
        Step(out);
    }
}

// A Pline of one section ("Pline n") or of several ("Pline Multiple k" and
// a count line per section), or a Region with a count line per section.
void SectionObject(Output &out, bool region, long pairs, int sections) {
    if (region) std::fprintf(out.mif, "Region  %d\r\n", sections);
    else if (sections == 1) std::fprintf(out.mif, "Pline %ld\r\n", pairs);
    else std::fprintf(out.mif, "Pline Multiple %d\r\n", sections);
    for (int s = 0; s < sections; ++s) {
        long count = pairs / sections + (s < pairs % sections ? 1 : 0);
        if (region || sections > 1) std::fprintf(out.mif, "  %ld\r\n", count);
        PointLines(out, count);
    }
    std::fputs("    Pen (1,2,0)\r\n", out.mif);
    if (region) {
        std::fputs("    Brush (2,16777215,16777215)\r\n", out.mif);
        Pair(out, "    Center ", "\r\n");
    }
    Record(out, region ? "Omraade" : "Linje");
}

void Header(Output &out) {
    std::fputs(
        "Version 300\r\nCharset \"WindowsLatin1\"\r\nDelimiter \",\"\r\n"
        "CoordSys Earth Projection 8, 115, \"m\", 9, 0, 0.9996, 500000, 0 "
        "Bounds (-7745844.29, 2035.05) (8745844.29, 19997964.95)\r\n"
        "Columns 2\r\n  Navn Char(40)\r\n  Nummer Integer\r\nData\r\n\r\n",
        out.mif);
}

// Objects until exactly `pairs` pairs are written. A Region carries one
// pair more than its points (its Center line).
void Mixed(Output &out, long pairs) {
    long left = pairs;
    while (left > 0) {
        int64_t pick = out.random.Between(0, 99);
        if (left < 3 || pick < 6) {
            PointObject(out);
            left -= 1;
        } else if (pick < 10) {
            TwoPairObject(out, "Line ", "    Pen (2,2,0)\r\n");
            left -= 2;
        } else if (pick < 13) {
            TwoPairObject(out, "Rect ", "    Pen (1,2,0)\r\n    Brush (2,65280,16777215)\r\n");
            left -= 2;
        } else if (pick < 16) {
            TextObject(out);
            left -= 2;
        } else if (pick < 40) {
            long count = std::min<long>(left - 1, out.random.Between(20, 4000));
            int sections = static_cast<int>(std::min<long>(count, out.random.Between(1, 3)));
            SectionObject(out, true, count, sections);
            left -= count + 1;
        } else {
            long count = std::min<long>(left, out.random.Between(2, 4000));
            int sections = out.random.Between(0, 4) == 0 ? 2 : 1;
            SectionObject(out, false, count, static_cast<int>(std::min<long>(count, sections)));
            left -= count;
        }
    }
}

FILE *Create(const std::string &path, const char *mode) {
    FILE *file = std::fopen(path.c_str(), mode);
    if (file == nullptr) Fail(path.c_str());
    static char buffers[3][1 << 16];
    static int used = 0;
    std::setvbuf(file, buffers[used++ % 3], _IOFBF, sizeof buffers[0]);
    return file;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 4 || argc > 5) {
        std::fprintf(stderr, "usage: make_drawing mixed|points|pline|empty <pairs> <stem> [seed]\n");
        return 2;
    }
    const std::string kind = argv[1];
    const long pairs = std::strtol(argv[2], nullptr, 10);
    const std::string stem = argv[3];
    Output out;
    out.random.state = argc == 5 ? std::strtoull(argv[4], nullptr, 10) : 20260101;
    out.mif = Create(stem + ".mif", "wb");
    out.mid = Create(stem + ".mid", "wb");
    out.pairs = Create(stem + ".pairs", "wb");
    if (kind == "mixed") {
        Header(out);
        Mixed(out, pairs);
    } else if (kind == "points") {
        Header(out);
        for (long i = 0; i < pairs; ++i) PointObject(out);
    } else if (kind == "pline") {
        Header(out);
        SectionObject(out, false, pairs, 1);
    } else if (kind != "empty") {
        std::fprintf(stderr, "make_drawing: unknown kind %s\n", kind.c_str());
        return 2;
    }
    for (FILE *file : {out.mif, out.mid, out.pairs})
        if (std::fclose(file) != 0) Fail(stem.c_str());
    return 0;
}
