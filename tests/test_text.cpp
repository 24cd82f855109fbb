// Text lines and numbers: reading and writing lines, opening files, trimming
// and comparing texts, and writing and reading numbers.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cinttypes>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "test_support.h"
#include "text.h"

namespace {

using testing_support::ReadFile;
using testing_support::ScratchDir;
using testing_support::WriteFile;

// ---------------------------------------------------------------- reading

// What a file gives: each line, with the position right after it, and the
// length of the file.
struct LineRead {
    std::string text;
    uint64_t position;
};

// How ReadAll reads: ReadLine, ReadLineView, or the two in turn.
enum class Reading { Lines, Views, Both };

std::vector<LineRead> ReadAll(const std::string &path, uint64_t &length,
                              Reading reading = Reading::Lines) {
    TextFile file;
    std::vector<LineRead> lines;
    EXPECT_TRUE(OpenRead(file, path.c_str()));
    std::string line = "left over";
    for (size_t i = 0;; ++i) {
        std::string_view text;
        const bool view = reading == Reading::Views || (reading == Reading::Both && i % 2 == 1);
        const bool read = view ? ReadLineView(file, line, text) : ReadLine(file, line);
        if (!read) break;
        lines.push_back({view ? std::string(text) : line, Position(file)});
    }
    EXPECT_EQ(line, "");
    EXPECT_FALSE(ReadLine(file, line)) << "a false answer stays false";
    length = Length(file);
    EXPECT_TRUE(Close(file));
    return lines;
}

struct ReadCase {
    const char *name;
    std::string bytes;
    std::vector<LineRead> lines;
};

TEST(ReadLine, GivesLinesAndPositions) {
    const std::string z(1, '\x1A');
    const std::string nul(1, '\0');
    const ReadCase cases[] = {
        {"empty file", "", {}},
        {"CR LF only", "\r\n", {{"", 2}}},
        {"CR LF ends", "A\r\nBC\r\n", {{"A", 3}, {"BC", 7}}},
        {"LF ends", "A\nBC\n", {{"A", 2}, {"BC", 5}}},
        {"mixed ends", "A\r\nB\nC\r\n", {{"A", 3}, {"B", 5}, {"C", 8}}},
        {"CR inside a line", "A\rB\r\n", {{"A\rB", 5}}},
        {"CR CR LF keeps one CR", "A\r\r\n", {{"A\r", 4}}},
        {"empty line between", "A\r\n\r\nB", {{"A", 3}, {"", 5}, {"B", 6}}},
        {"last line without end", "A\r\nB", {{"A", 3}, {"B", 4}}},
        {"CR as last byte stays", "A\r", {{"A\r", 2}}},
        {"Ctrl-Z ends the input", "A\r\nB" + z + "D\r\n", {{"A", 3}, {"B", 8}}},
        {"Ctrl-Z after a line end", "A\r\n" + z + "B\r\n", {{"A", 7}}},
        {"file begins with Ctrl-Z", z + "A\r\n", {}},
        {"CR before Ctrl-Z stays", "A\r" + z, {{"A\r", 3}}},
        {"NUL ends the text, not the input", "A" + nul + "B\r\nC\n", {{"A", 5}, {"C", 7}}},
        {"line beginning with NUL", nul + "B\r\nC", {{"", 4}, {"C", 5}}},
        {"CR after NUL is dropped", "A\r" + nul + "x\r\n", {{"A\r", 6}}},
        {"Ctrl-Z after NUL ends the input", "A" + nul + z + "B\nC", {{"A", 6}}},
    };
    ScratchDir dir;
    for (const ReadCase &c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(dir.Path("in.mif"), c.bytes);
        uint64_t length = 0;
        std::vector<LineRead> got = ReadAll(dir.Str("in.mif"), length);
        ASSERT_EQ(got.size(), c.lines.size());
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].text, c.lines[i].text) << "line " << i;
            EXPECT_EQ(got[i].position, c.lines[i].position) << "line " << i;
        }
        EXPECT_EQ(length, c.bytes.size());
    }
}

// Lines that cross the reader's blocks (256 KiB) in every way: a CR LF split
// between two blocks, a Ctrl-Z as the first byte of a block, a line longer
// than several blocks.
TEST(ReadLine, LinesAcrossBlocks) {
    constexpr size_t kBlock = 256 * 1024;
    struct Case {
        const char *name;
        size_t firstLength;  // bytes of the first line before its line end
        std::string end;     // its line end, and what follows
        std::string secondText;
        size_t lines;
    };
    const Case cases[] = {
        {"100,000-byte line", 100000, "\r\nB\r\n", "B", 2},
        {"CR LF split across blocks", kBlock - 1, "\r\nB\r\n", "B", 2},
        {"LF first byte of a block", kBlock, "\nB", "B", 2},
        {"Ctrl-Z first byte of a block", kBlock - 2, "\r\n\x1A" "B\r\n", "", 1},
        {"line of three blocks", 3 * kBlock + 7, "\r\r\nB", "B", 2},
    };
    ScratchDir dir;
    for (const Case &c : cases) {
        for (Reading reading : {Reading::Lines, Reading::Views, Reading::Both}) {
            SCOPED_TRACE(c.name);
            SCOPED_TRACE(static_cast<int>(reading));
            std::string first(c.firstLength, 'x');
            for (size_t i = 0; i < first.size(); i += 997)
                first[i] = static_cast<char>('a' + i % 26);
            WriteFile(dir.Path("in.mif"), first + c.end);
            uint64_t length = 0;
            std::vector<LineRead> got = ReadAll(dir.Str("in.mif"), length, reading);
            ASSERT_EQ(got.size(), c.lines);
            std::string expected = c.end.starts_with("\r\r") ? first + "\r" : first;
            EXPECT_TRUE(got[0].text == expected)
                << "first line of " << got[0].text.size() << " bytes";
            if (c.lines == 2) {
                EXPECT_EQ(got[1].text, c.secondText);
            }
            EXPECT_EQ(got.back().position, length);
        }
    }
}

// The lines a file gives by the byte rules, taken one byte at a time: text
// up to LF, a CR just before it dropped, the text cut at a NUL, and a
// Ctrl-Z ending the input with the position at the length.
std::vector<LineRead> LinesByTheRules(const std::string &bytes) {
    std::vector<LineRead> lines;
    const size_t mark = bytes.find('\x1A');
    const size_t stop = mark == std::string::npos ? bytes.size() : mark;
    for (size_t begin = 0; begin < stop;) {
        const size_t lf = bytes.find('\n', begin);
        const bool ended = lf < stop;
        const size_t finish = ended ? lf : stop;
        std::string text = bytes.substr(begin, finish - begin);
        const size_t nul = text.find('\0');
        if (nul != std::string::npos) text.resize(nul);
        else if (ended && !text.empty() && text.back() == '\r') text.pop_back();
        const bool markNext = ended && lf + 1 == mark;
        lines.push_back({text, ended && !markNext ? lf + 1 : bytes.size()});
        begin = finish + 1;
    }
    return lines;
}

// The reader tests whole words of a line for LF, NUL and Ctrl-Z, looking
// closer at every byte below 0x20; random files of short lines with those
// bytes, CRs, tabs, other control and high bytes and LFs anywhere, and
// large ones whose lines cross the blocks, give what the byte rules give,
// read as lines, as views, and as the two in turn.
TEST(ReadLine, RandomFilesFollowTheByteRules) {
    std::mt19937_64 random(20261212);
    auto randomBytes = [&](size_t size, unsigned specials) {
        std::string bytes(size, 'a');
        for (char &c : bytes) {
            const unsigned pick = static_cast<unsigned>(random() % 1000);
            if (pick < specials) c = "\r\n\n\n\0\x1A\t \x1F\xE6\x0B\x09"[pick % 12];
            else c = static_cast<char>('0' + pick % 40);
        }
        return bytes;
    };
    std::vector<std::string> files;
    for (int i = 0; i < 2000; ++i) files.push_back(randomBytes(random() % 200, 150));
    for (int i = 0; i < 4; ++i) {
        std::string big = randomBytes(600000, 60);
        // NUL and Ctrl-Z are rare here, so that most lines run to their LF.
        for (char &c : big)
            if ((c == '\0' || c == '\x1A') && random() % 50 != 0) c = 'z';
        files.push_back(big);
    }
    ScratchDir dir;
    size_t differences = 0;
    for (size_t f = 0; f < files.size(); ++f) {
        const std::string &bytes = files[f];
        WriteFile(dir.Path("in.mif"), bytes);
        uint64_t length = 0;
        const Reading reading = static_cast<Reading>(f % 3);
        const std::vector<LineRead> got = ReadAll(dir.Str("in.mif"), length, reading);
        const std::vector<LineRead> expected = LinesByTheRules(bytes);
        bool same = got.size() == expected.size();
        for (size_t i = 0; same && i < got.size(); ++i)
            same = got[i].text == expected[i].text && got[i].position == expected[i].position;
        if (!same && ++differences <= 5)
            ADD_FAILURE() << "a file of " << bytes.size() << " bytes gave " << got.size()
                          << " lines instead of " << expected.size();
    }
    EXPECT_EQ(differences, 0u);
}

// Position and Length leave the reader where it was, and Length is measured
// anew at every call.
TEST(ReadLine, LengthIsMeasuredAnewAndMovesNothing) {
    ScratchDir dir;
    WriteFile(dir.Path("in.mif"), "A\r\nB\r\n");
    TextFile file;
    ASSERT_TRUE(OpenRead(file, dir.Str("in.mif").c_str()));
    std::string line;
    ASSERT_TRUE(ReadLine(file, line));
    EXPECT_EQ(Length(file), 6u);
    std::ofstream(dir.Path("in.mif"), std::ios::binary | std::ios::app) << "C\r\n";
    EXPECT_EQ(Length(file), 9u);
    EXPECT_EQ(Position(file), 3u);
    ASSERT_TRUE(ReadLine(file, line));
    EXPECT_EQ(line, "B");
    EXPECT_TRUE(Close(file));
}

// ---------------------------------------------------------------- writing

TEST(WriteText, EveryLineEndsInCrLf) {
    struct Case {
        std::vector<std::string> lines;  // each written with WriteLine
        std::string texts;               // then written with WriteText
        std::string bytes;
    };
    const Case cases[] = {
        {{"A", "B"}, "", "A\r\nB\r\n"},
        {{""}, "", "\r\n"},
        {{"A\rB"}, "", "A\rB\r\n"},
        {{"A\r"}, "", "A\r\r\n"},
        {{"a\nb"}, "c\nd\n", "a\r\nb\r\nc\r\nd\r\n"},
        {{}, "\n\n", "\r\n\r\n"},
    };
    ScratchDir dir;
    for (const Case &c : cases) {
        TextFile file;
        ASSERT_TRUE(OpenCreate(file, dir.Str("out.mif").c_str()));
        for (const std::string &line : c.lines) EXPECT_TRUE(WriteLine(file, line));
        EXPECT_TRUE(WriteText(file, c.texts));
        EXPECT_TRUE(Close(file));
        EXPECT_EQ(ReadFile(dir.Path("out.mif")), c.bytes);
    }
}

// What is read and written back keeps its bytes, whatever the line ends
// were, and output larger than the buffer arrives whole.
TEST(WriteText, RoundTripAndLargeOutput) {
    ScratchDir dir;
    std::string big;
    for (int i = 0; i < 40000; ++i) big += "Line " + std::to_string(i) + (i % 3 ? "\r\n" : "\n");
    big += "A\rB\r\nC\r\r\nlast";
    WriteFile(dir.Path("in.mif"), big);
    TextFile in, out;
    ASSERT_TRUE(OpenRead(in, dir.Str("in.mif").c_str()));
    ASSERT_TRUE(OpenCreate(out, dir.Str("out.mif").c_str()));
    std::string line;
    while (ReadLine(in, line)) ASSERT_TRUE(WriteLine(out, line));
    EXPECT_TRUE(Close(in));
    EXPECT_TRUE(Close(out));
    std::string expected;
    for (int i = 0; i < 40000; ++i) expected += "Line " + std::to_string(i) + "\r\n";
    expected += "A\rB\r\nC\r\r\nlast\r\n";
    EXPECT_TRUE(ReadFile(dir.Path("out.mif")) == expected);
}

// WriteLine gives the bytes of WriteText(text + "\n") for lines of every
// length, with and without LFs, filling the buffer to its last byte and
// past it.
TEST(WriteText, LinesOfEveryLengthAsWriteTextGivesThem) {
    std::mt19937_64 random(20261213);
    ScratchDir dir;
    TextFile file;
    ASSERT_TRUE(OpenCreate(file, dir.Str("out.mif").c_str()));
    std::string expected;
    for (int i = 0; i < 20000; ++i) {
        const size_t size = random() % 400 == 0 ? random() % 300000 : random() % 40;
        std::string line(size, 'x');
        if (size > 0 && random() % 4 == 0) line[random() % size] = '\n';
        ASSERT_TRUE(WriteLine(file, line));
        const size_t lf = line.find('\n');
        if (lf != std::string::npos) line.replace(lf, 1, "\r\n");
        expected += line;
        expected += "\r\n";
    }
    EXPECT_TRUE(Close(file));
    EXPECT_TRUE(ReadFile(dir.Path("out.mif")) == expected);
}

// Output put together in place with ReserveOutput and CommitOutput lands
// among WriteLine's lines in order, byte for byte, whether the buffer has
// the room or is handed to the system first; a place larger than the
// buffer, or a file that cannot be written, gives none.
TEST(WriteText, ReservedOutputInOrder) {
    std::mt19937_64 random(20261215);
    ScratchDir dir;
    TextFile file;
    EXPECT_EQ(ReserveOutput(file, 10), nullptr) << "a file that is not open";
    ASSERT_TRUE(OpenCreate(file, dir.Str("out.mif").c_str()));
    std::string expected;
    for (int i = 0; i < 200000; ++i) {
        const std::string text = std::to_string(random()) + " " + std::to_string(i);
        if (random() % 2 == 0) {
            ASSERT_TRUE(WriteLine(file, text));
        } else {
            char *at = ReserveOutput(file, 1300);
            ASSERT_NE(at, nullptr);
            std::memcpy(at, text.data(), text.size());
            std::memcpy(at + text.size(), "\r\n", 2);
            CommitOutput(file, at + text.size() + 2);
        }
        expected += text + "\r\n";
    }
    EXPECT_EQ(ReserveOutput(file, 1 << 30), nullptr);
    EXPECT_TRUE(Close(file));
    EXPECT_TRUE(ReadFile(dir.Path("out.mif")) == expected);
    ASSERT_TRUE(OpenRead(file, dir.Str("out.mif").c_str()));
    EXPECT_EQ(ReserveOutput(file, 10), nullptr) << "a reader";
    EXPECT_TRUE(Close(file));
}

// A write that the system refuses (here: past the file size limit) makes the
// file failed for good: later writes do nothing and Close reports it.
TEST(WriteText, FailureIsStickyAndReportedByClose) {
    ScratchDir dir;
    struct rlimit old;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    struct sigaction ignore = {}, previous = {};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(sigaction(SIGXFSZ, &ignore, &previous), 0);
    struct rlimit small = old;
    small.rlim_cur = 100000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);

    TextFile file;
    bool opened = OpenCreate(file, dir.Str("out.mif").c_str());
    bool wrote = true;
    std::string chunk(64 * 1024, 'x');
    for (int i = 0; i < 16 && wrote; ++i) wrote = WriteLine(file, chunk);
    bool closed = Close(file);

    setrlimit(RLIMIT_FSIZE, &old);
    sigaction(SIGXFSZ, &previous, nullptr);
    ASSERT_TRUE(opened);
    EXPECT_FALSE(wrote);
    EXPECT_TRUE(file.failed);
    EXPECT_FALSE(WriteLine(file, "after"));
    EXPECT_EQ(ReserveOutput(file, 10), nullptr);
    EXPECT_FALSE(closed);
}

// ---------------------------------------------------------------- opening

TEST(OpenFiles, PathsThatAreRefused) {
    ScratchDir dir;
    TextFile file;
    EXPECT_FALSE(OpenRead(file, nullptr));
    EXPECT_FALSE(OpenRead(file, ""));
    EXPECT_FALSE(OpenCreate(file, nullptr));
    EXPECT_FALSE(OpenCreate(file, ""));
    EXPECT_FALSE(OpenRead(file, dir.Str("missing.mif").c_str()));
    EXPECT_FALSE(OpenRead(file, dir.Root().c_str())) << "a directory";
    EXPECT_FALSE(OpenCreate(file, dir.Root().c_str())) << "a directory";
    EXPECT_FALSE(OpenCreate(file, dir.Str("no/such/folder.mif").c_str()));
    EXPECT_EQ(file.fd, -1);
}

// 259 characters are taken, 260 are not, counted on the path and on its
// absolute form.
TEST(OpenFiles, PathOf260CharactersIsRefused) {
    ScratchDir dir;
    std::string root = dir.Root().string() + "/";
    ASSERT_LT(root.size(), 200u);
    for (size_t total : {kMaxPathChars - 1, kMaxPathChars, kMaxPathChars + 1}) {
        std::string path = root + std::string(total - root.size(), 'n');
        WriteFile(path, "A\r\n");
        TextFile file;
        EXPECT_EQ(OpenRead(file, path.c_str()), total < kMaxPathChars) << total;
        Close(file);
        EXPECT_EQ(OpenCreate(file, path.c_str()), total < kMaxPathChars) << total;
        Close(file);
    }
    // A short relative path whose absolute form is too long.
    std::string name(kMaxPathChars - root.size(), 'r');
    WriteFile(root + name, "A\r\n");
    WriteFile(root + "short.mif", "A\r\n");
    std::string old = std::filesystem::current_path().string();
    ASSERT_EQ(chdir(root.c_str()), 0);
    TextFile file;
    bool openedLong = OpenRead(file, name.c_str());
    Close(file);
    bool openedShort = OpenRead(file, "short.mif");
    Close(file);
    ASSERT_EQ(chdir(old.c_str()), 0);
    EXPECT_FALSE(openedLong);
    EXPECT_TRUE(openedShort) << "a relative path is taken from the current folder";
}

// A held file can be opened by nobody else, in this process or another,
// and a file that another opener holds is not emptied.
TEST(OpenFiles, HeldFileIsNotSharedOrEmptied) {
    ScratchDir dir;
    std::string path = dir.Str("in.mif");
    WriteFile(path, "keep\r\n");
    TextFile first, second;
    ASSERT_TRUE(OpenRead(first, path.c_str()));
    EXPECT_FALSE(OpenRead(second, path.c_str()));
    EXPECT_FALSE(OpenCreate(second, path.c_str()));
    EXPECT_EQ(ReadFile(path), "keep\r\n");
    EXPECT_TRUE(Close(first));
    ASSERT_TRUE(OpenRead(second, path.c_str())) << "free again after Close";
    EXPECT_TRUE(Close(second));

    TextFile writer;
    ASSERT_TRUE(OpenCreate(writer, path.c_str()));
    EXPECT_EQ(ReadFile(path), "") << "OpenCreate empties the file";
    EXPECT_FALSE(OpenRead(second, path.c_str()));
    EXPECT_TRUE(Close(writer));
    EXPECT_TRUE(Close(writer)) << "closing twice is harmless";
}

TEST(OpenFiles, TemporaryFileInTmpdir) {
    ScratchDir dir;
    TextFile file, other;
    std::string path, path2;
    ASSERT_TRUE(OpenTemporary(file, path));
    ASSERT_TRUE(OpenTemporary(other, path2));
    EXPECT_NE(path, path2);
    std::filesystem::path made(path);
    EXPECT_EQ(made.parent_path(), dir.Tmp());
    EXPECT_TRUE(made.filename().string().starts_with("TRAXO")) << path;
    EXPECT_LT(path.size(), kMaxPathChars);
    struct stat info;
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    TextFile again;
    EXPECT_FALSE(OpenRead(again, path.c_str())) << "the temporary file is held";
    EXPECT_TRUE(WriteLine(file, "x"));
    EXPECT_TRUE(Close(file));
    EXPECT_TRUE(Close(other));
    EXPECT_EQ(ReadFile(path), "x\r\n");

    // A temporary folder whose path leaves no room for the name.
    std::string deep = dir.Tmp().string() + "/" + std::string(kMaxPathChars - dir.Tmp().string().size() - 10, 'd');
    std::filesystem::create_directory(deep);
    setenv("TMPDIR", deep.c_str(), 1);
    EXPECT_FALSE(OpenTemporary(file, path));
    setenv("TMPDIR", (dir.Root() / "absent").c_str(), 1);
    EXPECT_FALSE(OpenTemporary(file, path));
    EXPECT_EQ(file.fd, -1);
}

// ---------------------------------------------------------------- texts

TEST(Texts, WhiteSpaceIsSixBytes) {
    for (int c = 0; c < 256; ++c) {
        bool expected = c == ' ' || (c >= 0x09 && c <= 0x0D);
        EXPECT_EQ(IsWhiteSpace(static_cast<char>(c)), expected) << c;
    }
}

TEST(Texts, Trimming) {
    struct Case {
        std::string text, leading, trailing;
    };
    const Case cases[] = {
        {"\t Pline", "Pline", "\t Pline"},
        {" \t \t ", "", ""},
        {"", "", ""},
        {"\xA0x\xA0", "\xA0x\xA0", "\xA0x\xA0"},
        {"\r\n\v\fA B \r\n\v\f", "A B \r\n\v\f", "\r\n\v\fA B"},
    };
    for (const Case &c : cases) {
        std::string leading = c.text, trailing = c.text;
        TrimLeading(leading);
        TrimTrailing(trailing);
        EXPECT_EQ(leading, c.leading);
        EXPECT_EQ(trailing, c.trailing);
    }
}

TEST(Texts, EqualNoCase) {
    struct Case {
        const char *a, *b;
        bool equal;
    };
    const Case cases[] = {
        {"REGION", "region", true}, {"REGION", "ReGiOn", true},
        {"\xC5", "\xE5", false},    {"region", "region ", false},
        {"", "", true},             {"@[`{", "@[`{", true},
        {"@", "`", false},          {"[", "{", false},
    };
    for (const Case &c : cases) EXPECT_EQ(EqualNoCase(c.a, c.b), c.equal) << c.a << " / " << c.b;
    // Every pair of bytes against folding "A"-"Z" and comparing.
    auto fold = [](int c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
    for (int x = 0; x < 256; ++x)
        for (int y = 0; y < 256; ++y) {
            const char a[] = {'k', static_cast<char>(x)}, b[] = {'K', static_cast<char>(y)};
            ASSERT_EQ(EqualNoCase({a, 2}, {b, 2}), fold(x) == fold(y)) << x << " / " << y;
        }
}

// ---------------------------------------------------------------- formatting

std::string Lf(double value) {
    std::string out;
    FormatText(out, "%lf", {value});
    return out;
}

double FromBits(uint64_t bits) { return std::bit_cast<double>(bits); }

TEST(FormatText, DoubleTable) {
    struct Case {
        double value;
        std::string text;
    };
    const Case cases[] = {
        {0.0, "0.000000"},
        {-0.0, "0.000000"},
        {-0.0000001, "-0.000000"},
        {0.0000005, "0.000000"},
        {0.0000006, "0.000001"},
        {0.9999996, "1.000000"},
        {-2.25, "-2.250000"},
        {123456.7890125, "123456.789013"},
        {2.5e-6, "0.000003"},
        {123.4567895, "123.456790"},
        {1e20, "100000000000000000000.000000"},
        {0x1p60, "1152921504606847000.000000"},
        {1e23, "99999999999999992000000.000000"},
        {1e300, "10000000000000001" + std::string(284, '0') + ".000000"},
        {std::numeric_limits<double>::max(), "17976931348623157" + std::string(292, '0') + ".000000"},
        {std::numeric_limits<double>::denorm_min(), "0.000000"},
        {-std::numeric_limits<double>::denorm_min(), "-0.000000"},
        {1e15, "1000000000000000.000000"},
        {0x1.fffffffffffffp+39, "1099511627775.999900"},
        {0x1p40, "1099511627776.000000"},
        // The exact value ends in a 5 at the 18th digit: it rounds up.
        {10000000000.0078125, "10000000000.007813"},
        {140737488355328.125, "140737488355328.130000"},
        {-140737488355328.375, "-140737488355328.380000"},
        {std::numeric_limits<double>::infinity(), "1.#INF00"},
        {-std::numeric_limits<double>::infinity(), "-1.#INF00"},
        {FromBits(0xFFF8000000000000ULL), "-1.#IND00"},
        {FromBits(0x7FF8000000000000ULL), "1.#QNAN0"},
        {FromBits(0xFFF8000000000001ULL), "-1.#QNAN0"},
        {FromBits(0x7FFC000000000000ULL), "1.#QNAN0"},
        {FromBits(0x7FF0000000000001ULL), "1.#SNAN0"},
        {FromBits(0xFFF4000000000000ULL), "-1.#SNAN0"},
    };
    for (const Case &c : cases) EXPECT_EQ(Lf(c.value), c.text) << std::hexfloat << c.value;
}

TEST(FormatText, Patterns) {
    struct Case {
        std::string got, expected;
    };
    std::string a, b, c, d, e;
    FormatText(a, "%d pct. transformeret", {int32_t{40}});
    FormatText(b, "Input projektion er %s", {"UTM zone 32, ETRS89"});
    FormatText(c, "%lf %lf", {1.5, -0.25});
    FormatText(d, "%d|%d|%d|%% 100%|%x", {int32_t{0}, int32_t{-7}, INT32_MIN});
    FormatText(e, "%s %d %lf", {"only one"});
    const Case cases[] = {
        {a, "40 pct. transformeret"},
        {b, "Input projektion er UTM zone 32, ETRS89"},
        {c, "1.500000 -0.250000"},
        {d, "0|-7|-2147483648|%% 100%|%x"},
        {e, "only one %d %lf"},
    };
    for (const Case &k : cases) EXPECT_EQ(k.got, k.expected);
    std::string out = "old text";
    FormatText(out, "", {});
    EXPECT_EQ(out, "");
    AppendInt(out, INT32_MAX);
    EXPECT_EQ(out, "2147483647");
}

// An independent way to the same text: the exact decimal expansion from the
// C library, rounded twice by hand on its digits.
std::string ExactDigits(double magnitude, int &exponent) {
    // 41 correctly rounded digits give the first 18 exactly, unless digits
    // 19 to 41 came out as zeros, which a carry from nines can also give;
    // then take all digits (no double has more than 767).
    static char text[1200];
    for (int precision : {40, 800}) {
        std::snprintf(text, sizeof text, "%.*e", precision, magnitude);
        std::string digits;
        const char *p = text;
        for (; *p != 'e'; ++p)
            if (*p != '.') digits += *p;
        exponent = std::atoi(p + 1);
        if (precision == 800 || digits.find_first_not_of('0', 18) != std::string::npos)
            return digits.substr(0, 18);
    }
    return {};
}

// Adds one to the last digit of a digit string; true when it carried out.
bool Increment(std::string &digits) {
    for (size_t i = digits.size(); i-- > 0;) {
        if (digits[i] != '9') {
            ++digits[i];
            return false;
        }
        digits[i] = '0';
    }
    digits.insert(digits.begin(), '1');
    return true;
}

std::string ReferenceLf(double value) {
    if (value == 0.0) return "0.000000";
    int exponent = 0;
    std::string digits = ExactDigits(std::fabs(value), exponent);
    bool up = digits[17] >= '5';
    digits.resize(17);
    if (up && Increment(digits)) {
        digits.pop_back();
        ++exponent;
    }
    std::string whole, fraction;
    if (exponent >= 0) {
        digits.resize(std::max<size_t>(17, static_cast<size_t>(exponent) + 1), '0');
        whole = digits.substr(0, static_cast<size_t>(exponent) + 1);
        fraction = digits.substr(static_cast<size_t>(exponent) + 1);
    } else {
        whole = "0";
        fraction = std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
    }
    fraction.resize(std::max<size_t>(fraction.size(), 7), '0');
    up = fraction[6] >= '5';
    std::string units = whole + fraction.substr(0, 6);
    if (up) Increment(units);
    std::string text = units.substr(0, units.size() - 6) + "." + units.substr(units.size() - 6);
    return (std::signbit(value) ? "-" : "") + text;
}

// A million values of every kind "%lf" meets, against the reference; the
// environment variable KAVRO_LF_VALUES asks for another number of values
// (50000000, say, for a long run by hand), in the same proportions.
TEST(FormatText, MatchesExactReferenceOnAMillionValues) {
    const char *wanted = std::getenv("KAVRO_LF_VALUES");
    const size_t total = wanted != nullptr ? std::strtoull(wanted, nullptr, 10) : 1000000;
    auto share = [total](size_t perMillion) { return total / 1000000.0 * perMillion; };
    std::mt19937_64 random(20240611);
    std::vector<double> values;
    values.reserve(total);
    auto signed_ = [&](double v) { return (random() & 1) ? -v : v; };
    // Random bit patterns, finite ones.
    while (values.size() < share(150000)) {
        double v = FromBits(random());
        if (std::isfinite(v)) values.push_back(v);
    }
    // Coordinates: degrees, metres, and larger.
    for (double range : {1.0, 180.0, 1000.0, 1e6, 1e7, 1e10, 1e13})
        for (int i = 0; i < share(40000); ++i)
            values.push_back(std::uniform_real_distribution<double>(-range, range)(random));
    // Near the halves of the sixth decimal, and a few ulps around them.
    for (double whole : {0.0, 1.0, 180.0, 1e4, 1e6, 1e9}) {
        for (int i = 0; i < share(25000); ++i) {
            double w = std::floor(std::uniform_real_distribution<double>(0, whole)(random));
            double micros = std::floor(std::uniform_real_distribution<double>(0, 1e6)(random));
            double v = w + (micros + 0.5) * 1e-6;
            for (int step = static_cast<int>(random() % 7) - 3; step != 0; step += step > 0 ? -1 : 1)
                v = std::nextafter(v, step > 0 ? 1e300 : -1e300);
            values.push_back(signed_(v));
        }
    }
    // Within a few thousandths of a half of the sixth decimal, where the
    // quick rounding gives way to the exact one.
    for (double whole : {0.0, 1.0, 180.0, 1e4, 1e6, 5e7, 99999999.0}) {
        for (int i = 0; i < share(5000); ++i) {
            double w = std::floor(std::uniform_real_distribution<double>(0, whole)(random));
            double micros = std::floor(std::uniform_real_distribution<double>(0, 1e6)(random));
            double off = std::uniform_real_distribution<double>(-0.003, 0.003)(random);
            values.push_back(signed_(w + (micros + 0.5 + off) * 1e-6));
        }
    }
    // Integers, and powers of two and of ten with their neighbours.
    for (int i = 0; i < share(50000); ++i)
        values.push_back(static_cast<double>(static_cast<int64_t>(random() >> (random() % 64))));
    for (int e = -1074; e <= 1023; ++e) {
        double p = std::ldexp(1.0, e);
        for (double v : {p, std::nextafter(p, 0.0), std::nextafter(p, 1e308)}) values.push_back(signed_(v));
    }
    for (int e = -323; e <= 308; ++e) {
        double p = std::pow(10.0, e);
        for (double v : {p, std::nextafter(p, 0.0), std::nextafter(p, 1e308)}) values.push_back(signed_(v));
    }
    // Exact ties at the 18th digit: m * 2^-k with m * 5^k of 18 digits.
    for (int k = 1; k <= 25; ++k) {
        double low = std::ceil(1e17 / std::pow(5.0, k)), high = std::floor(1e18 / std::pow(5.0, k));
        high = std::min(high, 0x1p53);
        for (int i = 0; i < share(2000); ++i) {
            double m = std::floor(std::uniform_real_distribution<double>(low, high)(random));
            if (std::fmod(m, 2.0) == 0) m += 1;
            values.push_back(signed_(std::ldexp(m, -k)));
        }
    }
    // Huge and tiny magnitudes across the whole range.
    while (values.size() < total) {
        double mantissa = std::uniform_real_distribution<double>(1.0, 2.0)(random);
        double v = std::ldexp(mantissa, static_cast<int>(random() % 2100) - 1075);
        if (std::isfinite(v)) values.push_back(signed_(v));
    }
    size_t differences = 0;
    std::string got;
    for (double v : values) {
        got.clear();
        AppendDouble(got, v);
        std::string expected = ReferenceLf(v);
        if (got != expected && ++differences <= 10)
            ADD_FAILURE() << std::hexfloat << v << ": " << got << " instead of " << expected;
    }
    EXPECT_EQ(differences, 0u) << "of " << values.size();
}

// ---------------------------------------------------------------- scanning

// Scans text with one of the patterns the engine uses and shows what was
// stored, fields left alone as "?".
std::string Scan(const std::string &text, const std::string &pattern, int &result) {
    std::string s1 = "?", s2 = "?";
    double d1 = std::nan("1"), d2 = std::nan("1");
    int32_t n1 = INT32_MIN + 1, n2 = INT32_MIN + 1;
    if (pattern == "%s %lf %lf") result = ScanText(text, pattern, {&s1, &d1, &d2});
    else if (pattern == "%*s %d") result = ScanText(text, pattern, {&n1});
    else if (pattern == "%lf") result = ScanText(text, pattern, {&d1});
    else if (pattern == "%lf %lf") result = ScanText(text, pattern, {&d1, &d2});
    else if (pattern == "%d") result = ScanText(text, pattern, {&n1});
    else if (pattern == "%d %d") result = ScanText(text, pattern, {&n1, &n2});
    else if (pattern == "%s %*s %s") result = ScanText(text, pattern, {&s1, &s2});
    else ADD_FAILURE() << "no fields for " << pattern;
    auto show = [](double d) {
        if (std::isnan(d)) return std::string("?");
        char buf[40];
        std::snprintf(buf, sizeof buf, "%.17g", d);
        return std::string(buf);
    };
    auto showInt = [](int32_t n) { return n == INT32_MIN + 1 ? std::string("?") : std::to_string(n); };
    std::string shown;
    if (pattern.starts_with("%s")) shown = s1 + "|";
    if (pattern.find("%lf") != std::string::npos) shown += show(d1) + "|" + show(d2);
    if (pattern.find("%d") != std::string::npos) shown += showInt(n1) + "|" + showInt(n2);
    if (pattern == "%s %*s %s") shown += s2;
    return shown;
}

TEST(ScanText, Table) {
    struct Case {
        std::string text;
        const char *pattern;
        const char *stored;
        int result;
    };
    const Case cases[] = {
        {"Point 1.5 2", "%s %lf %lf", "Point|1.5|2", 3},
        {"Point 1,5 2", "%s %lf %lf", "Point|1|?", 2},
        {"Point", "%s %lf %lf", "Point|?|?", 1},
        {"", "%s %lf %lf", "?|?|?", -1},
        {"  \t ", "%s %lf %lf", "?|?|?", -1},
        {"Pline", "%*s %d", "?|?", 0},
        {"Pline  12", "%*s %d", "12|?", 1},
        {"12abc", "%lf", "12|?", 1},
        {"2e 3", "%lf %lf", "2|3", 2},
        {"2e+ 3", "%lf %lf", "2|3", 2},
        {"2E-1x", "%lf %lf", "0.20000000000000001|?", 1},
        {"-1.25E+2", "%lf", "-125|?", 1},
        {".5", "%lf", "0.5|?", 1},
        {"5.", "%lf", "5|?", 1},
        {"+.5e1", "%lf", "5|?", 1},
        {"-0", "%lf", "-0|?", 1},
        {"x1", "%lf", "?|?", 0},
        {"+", "%lf", "?|?", -1},
        {".", "%lf", "?|?", -1},
        {"-.", "%lf", "?|?", -1},
        {".e5", "%lf", "?|?", 0},
        {"1 +x", "%lf %lf", "1|?", 1},
        {"1 +", "%lf %lf", "1|?", 1},
        {"inf", "%lf", "?|?", 0},
        {"nan", "%lf", "?|?", 0},
        {"0x1p3", "%lf", "0|?", 1},
        {"1e400 -1e400", "%lf %lf", "inf|-inf", 2},
        {"1e-400 -0.0001e-99999999999999999999", "%lf %lf", "0|-0", 2},
        {"0e99999999999999999999", "%lf", "0|?", 1},
        {"4.9406564584124654e-324", "%lf", "4.9406564584124654e-324|?", 1},
        {"\t +7", "%d", "7|?", 1},
        {"-12 34x", "%d %d", "-12|34", 2},
        {"12.5", "%d %d", "12|?", 1},
        {"-", "%d", "?|?", -1},
        {"-x", "%d", "?|?", 0},
        {"2147483647 -2147483648", "%d %d", "2147483647|-2147483648", 2},
        {"2147483648 -2147483649", "%d %d", "2147483647|-2147483648", 2},
        {"99999999999999999999999 -99999999999999999999999", "%d %d",
         "2147483647|-2147483648", 2},
        {"Pen (1,2,0)\tBrush \xE6\xF8\xE5", "%s %*s %s", "Pen|Brush", 2},
        {"Pen", "%s %*s %s", "Pen|?", 1},
    };
    for (const Case &c : cases) {
        int result = 99;
        std::string stored = Scan(c.text, c.pattern, result);
        EXPECT_EQ(stored, c.stored) << '"' << c.text.substr(0, 60) << "\" with " << c.pattern;
        EXPECT_EQ(result, c.result) << '"' << c.text.substr(0, 60) << "\" with " << c.pattern;
    }
}

// Numbers of any length are read to the nearest double.
// Decimals of every length a drawing holds, and the edges of the quick way
// (a whole number of 2^53 at most, 22 decimals at most), against the C
// library's nearest double.
TEST(ScanText, DecimalsMatchTheNearestDouble) {
    std::vector<std::string> texts = {
        "9007199254740992", "9007199254740993", "9007199254740994", "900719925474099.3",
        "9007199254740993.0", "0.9007199254740993", "1234567890123456789", "12345678901234567890",
        "0.0000000000000000000001", "0.00000000000000000000001", "1.0000000000000000000000",
        "0000000000000000000000000012.5", "4503599627370497.5", "0.1", "0.3", "5.", ".5"};
    std::mt19937_64 random(20261211);
    for (int i = 0; i < 1000000; ++i) {
        std::string text = std::to_string(random() >> (random() % 64));
        text.resize(1 + random() % text.size());
        if (random() % 4 != 0) {
            const std::string fraction = std::to_string(random());
            text += '.';
            text.append(fraction, 0, random() % 24);
        }
        texts.push_back(text);
    }
    size_t differences = 0;
    for (const std::string &text : texts) {
        double value = -1.0;
        EXPECT_EQ(ScanNumber(text, value), text.size());
        const double expected = std::strtod(text.c_str(), nullptr);
        if (value != expected && ++differences <= 10)
            ADD_FAILURE() << text << ": " << std::hexfloat << value << " instead of " << expected;
    }
    EXPECT_EQ(differences, 0u);
}

// ScanPair against ScanText with "%lf %lf", and a Point line's word
// followed by ScanPair against "%*s %lf %lf", on random texts of digit
// runs of every length, points, signs, exponents, blanks and other bytes:
// the same result and the same values, bit for bit, fields left alone
// included. ScanPair reads point lines' numbers a word at a time, up to the
// end of its text: each text stands in a longer buffer whose next bytes are
// digits, which must not be taken.
TEST(ScanText, PairMatchesThePattern) {
    const std::string pieces[] = {"0", "7", "42", "531413", "6079032", "12345678",
                                  "123456789", "9007199254740993", "12345678901234567890123",
                                  ".", ".5", "-", "+", "e", "E3", "e-2", " ", " ", "  ", "\t",
                                  "\r", "x", ",", "Point", "1e400", "0x1", "531413.24",
                                  "-6079032.73", "1234567.1234567", "0.00000001", "-0.5"};
    std::mt19937_64 random(20261214);
    const uint64_t unset = 0x7FF4000000000001ULL;  // a NaN no scan can store
    auto bits = [](double d) { return std::bit_cast<uint64_t>(d); };
    size_t differences = 0;
    for (int i = 0; i < 400000; ++i) {
        std::string text;
        for (int n = static_cast<int>(random() % 9); n > 0; --n)
            text += pieces[random() % std::size(pieces)];
        const std::string buffer = text + "98765432109876543210";
        const std::string_view held(buffer.data(), text.size());
        double x1 = std::bit_cast<double>(unset), y1 = x1, x2 = x1, y2 = x1;
        const int pattern = ScanText(text, "%lf %lf", {&x1, &y1});
        const int pair = ScanPair(held, x2, y2);
        bool same = pattern == pair && bits(x1) == bits(x2) && bits(y1) == bits(y2);

        size_t word = 0;
        while (word < text.size() && IsWhiteSpace(text[word])) ++word;
        while (word < text.size() && !IsWhiteSpace(text[word])) ++word;
        x1 = y1 = x2 = y2 = std::bit_cast<double>(unset);
        const bool point = ScanText(text, "%*s %lf %lf", {&x1, &y1}) == 2;
        const bool wordAndPair = ScanPair(held.substr(word), x2, y2) == 2;
        same = same && point == wordAndPair &&
               (!point || (bits(x1) == bits(x2) && bits(y1) == bits(y2)));
        if (!same && ++differences <= 10) ADD_FAILURE() << '"' << text << '"';
    }
    EXPECT_EQ(differences, 0u);
}

TEST(ScanText, NearestDoubleForLongNumbers) {
    struct Case {
        std::string text;
        double value;
    };
    // Halfway between two doubles, where a digit far down decides.
    const std::string halfAboveOne = "1.00000000000000011102230246251565404236316680908203125";
    const Case cases[] = {
        {halfAboveOne, 1.0},
        {halfAboveOne + std::string(3000, '0') + "1", std::nextafter(1.0, 2.0)},
        {"9007199254740993", 0x1p53},
        {"9007199254740993." + std::string(3000, '0') + "1", 0x1p53 + 2},
        {"0." + std::string(3000, '0') + "1e3001", 1.0},
        {std::string(400, '9'), std::numeric_limits<double>::infinity()},
    };
    for (const Case &c : cases) {
        double value = 0;
        EXPECT_EQ(ScanText(c.text, "%lf", {&value}), 1);
        EXPECT_EQ(value, c.value) << std::hexfloat << value;
    }
}

// Formatting and scanning give the same bytes and values when the process
// runs under a locale with a decimal comma.
TEST(Numbers, LocaleDoesNotLeakIn) {
    const char *chosen = nullptr;
    for (const char *name : {"de_DE.UTF-8", "da_DK.UTF-8", "fr_FR.UTF-8", "de_DE.utf8",
                             "da_DK.utf8", "de_DE", "da_DK", "nl_NL.UTF-8"}) {
        if (std::setlocale(LC_ALL, name) != nullptr &&
            std::strcmp(std::localeconv()->decimal_point, ",") == 0) {
            chosen = name;
            break;
        }
    }
    if (chosen == nullptr) {
        std::setlocale(LC_ALL, "C");
        GTEST_SKIP() << "no locale with a decimal comma is installed";
    }
    std::string out;
    FormatText(out, "%lf %lf %d", {-1234567.25, 0.0000006, int32_t{-1000000}});
    double x = 0, y = 0;
    int scanned = ScanText("1.5 2,5", "%lf %lf", {&x, &y});
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(out, "-1234567.250000 0.000001 -1000000") << chosen;
    EXPECT_EQ(scanned, 2);
    EXPECT_EQ(x, 1.5);
    EXPECT_EQ(y, 2.0);
}

}  // namespace
