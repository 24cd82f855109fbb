// Real faults and hostile input: every run ends in a defined result code,
// the destination and the input stay as they were, no temporary file is
// left behind, and nothing grows with a count the input merely claims.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "kavro.h"
#include "porvex_double.h"
#include "run.h"
#include "test_support.h"

using namespace testing_support;
using namespace std::string_literals;

// The largest single allocation while watching is on: a count that the
// input claims must never be allocated for.
namespace {
std::atomic<bool> watching{false};
std::atomic<size_t> largestAllocation{0};
}  // namespace

void *operator new(size_t size) {
    if (watching.load(std::memory_order_relaxed) && size > largestAllocation.load())
        largestAllocation.store(size);
    if (void *block = std::malloc(size == 0 ? 1 : size)) return block;
    throw std::bad_alloc();
}
void *operator new[](size_t size) { return operator new(size); }
// The blocks come from malloc above, so free is their match.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpragmas"
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void *block) noexcept { std::free(block); }
void operator delete[](void *block) noexcept { std::free(block); }
void operator delete(void *block, size_t) noexcept { std::free(block); }
void operator delete[](void *block, size_t) noexcept { std::free(block); }
#pragma GCC diagnostic pop

namespace {

const std::string kList =
    "WGS 84\r\ngeo_wgs84\r\n0 1\r\nCoordSys Earth Projection 1, 104\r\n"
    "UTM 32\r\nutm32\r\n0 0\r\nCoordSys Earth Projection 8, 115, \"m\", 9, 0, 0.9996, 500000, 0\r\n";
const std::string kOld = "old destination";
const std::string kOldMid = "old companion";

// Names in folder that begin with prefix.
std::vector<std::string> Named(const fs::path &folder, const std::string &prefix) {
    std::vector<std::string> names;
    for (auto &entry : fs::directory_iterator(folder)) {
        std::string name = entry.path().filename().string();
        if (name.rfind(prefix, 0) == 0) names.push_back(name);
    }
    return names;
}

// A drawing of `points` points in one polyline.
std::string LongDrawing(int points) {
    std::string text = "Version 300\r\nData\r\nPline " + std::to_string(points) + "\r\n";
    for (int i = 0; i < points; ++i) text += std::to_string(i % 90) + ".125 " + std::to_string(i % 45) + ".5\r\n";
    return text;
}

class FaultTest : public ::testing::Test {
protected:
    void SetUp() override {
        PorvexDouble_Reset();
        PorvexDouble_LogTransforms(0);
        ResetMessages();
        // Children without root's rights reach everything of the scratch
        // folder unless a test takes rights away.
        fs::permissions(dir.Root(), fs::perms::all);
        fs::permissions(dir.Tmp(), fs::perms::all);
        Put("list.lst", kList);
        Put("in.mif", "Version 300\r\nData\r\nPoint 1 2\r\n");
        Put("in.mid", "\"a\"\r\n");
        Put("out.mif", kOld);
        Put("out.mid", kOldMid);
    }
    void Put(const std::string &name, const std::string &bytes) {
        WriteFile(dir.Path(name), bytes);
        fs::permissions(dir.Path(name), fs::perms::all);
    }
    int32_t Run(const std::string &in = "in.mif", const std::string &list = "list.lst",
                const char *label = "utm32") {
        return KavroformEx(dir.Str(in).c_str(), dir.Str("out.mif").c_str(), label,
                           dir.Str(list).c_str(), 0, RecordMessage);
    }
    // What every failed run must leave: the destination, its companion and
    // the input as they were, no temporary file, no partial copy.
    void ExpectNothingChanged(const std::string &input) {
        EXPECT_EQ(ReadFile(dir.Path("out.mif")), kOld);
        EXPECT_EQ(ReadFile(dir.Path("out.mid")), kOldMid);
        EXPECT_EQ(ReadFile(dir.Path("in.mif")), input);
        EXPECT_TRUE(dir.TmpIsEmpty()) << "a temporary file was left";
        EXPECT_TRUE(Named(dir.Root(), ".kavro-").empty()) << "a partial copy was left";
    }

    ScratchDir dir;
};

TEST_F(FaultTest, ATemporaryFolderThatCannotTakeTheFileFailsTheRun) {
    const std::string input = LongDrawing(20000);
    Put("in.mif", input);
    // No rights to make a file there.
    fs::permissions(dir.Tmp(), fs::perms::owner_read | fs::perms::owner_exec |
                                   fs::perms::others_read | fs::perms::others_exec);
    EXPECT_EQ(InChild([&] { return Run(); }, true), TR_TEMP_OPEN_FAILED);
    fs::permissions(dir.Tmp(), fs::perms::all);
    ExpectNothingChanged(input);

    // A full disk: the file may grow only to 64 KiB, and the write beyond
    // fails (SIGXFSZ ignored, as a real full disk sends no signal).
    int code = InChild(
        [&] {
            ::signal(SIGXFSZ, SIG_IGN);
            rlimit limit{64 * 1024, 64 * 1024};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 101;
            return static_cast<int>(Run());
        },
        false);
    EXPECT_EQ(code, TR_TEMP_OPEN_FAILED);
    ExpectNothingChanged(input);
}

TEST_F(FaultTest, AListFileThatCannotBeReadFailsTheRun) {
    const std::string input = ReadFile(dir.Path("in.mif"));
    fs::create_directory(dir.Path("folder.lst"));
    Put("locked.lst", kList);
    Put("hidden.lst", kList);
    fs::permissions(dir.Path("hidden.lst"), fs::perms::none);
    int held = ::open(dir.Str("locked.lst").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    for (const char *list : {"folder.lst", "locked.lst", "hidden.lst", "missing.lst"}) {
        SCOPED_TRACE(list);
        // The unprivileged child meets the file's rights; the lock is seen
        // from any process.
        EXPECT_EQ(InChild([&] { return Run("in.mif", list); }, true), TR_LIST_OPEN_FAILED);
        ExpectNothingChanged(input);
    }
    ::close(held);
}

// The destination folder lies on a small file system that is full: the
// final copy fails after the whole drawing was converted. The input, here
// replaced in place, must come through intact. Needs a tmpfs mount (root).
TEST_F(FaultTest, AFinalCopyOntoAFullDiskLeavesTheInputIntact) {
    fs::create_directory(dir.Path("small"));
    if (::mount("kavro-small", dir.Str("small").c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "no tmpfs mount here";
    std::string input;
    while (input.size() < 40000) input += "Point 1 2\r\n";  // grows as it is converted
    WriteFile(dir.Path("small/in.mif"), input);
    WriteFile(dir.Path("small/in.mid"), "mid");
    std::string smallInput = ReadFile(dir.Path("small/in.mif"));
    int32_t code = KavroformEx(dir.Str("small/in.mif").c_str(), nullptr, "utm32",
                               dir.Str("list.lst").c_str(), 0, nullptr);
    // The output is larger than the room left beside the input.
    EXPECT_EQ(code, TR_COPY_FAILED);
    EXPECT_EQ(ReadFile(dir.Path("small/in.mif")), smallInput);
    EXPECT_TRUE(Named(dir.Path("small"), ".kavro-").empty());
    EXPECT_TRUE(dir.TmpIsEmpty());
    ::umount(dir.Str("small").c_str());
}

// A run killed outright at a random moment: the destination is its old
// self or the complete result, never anything between; at most one
// temporary file and one partial copy (killed inside the final copy) are
// left, as nothing runs after SIGKILL to remove them.
TEST_F(FaultTest, ARunKilledAtARandomMomentLeavesTheDestinationWhole) {
    const std::string input = LongDrawing(300000);
    Put("in.mif", input);
    // One whole run, to learn the result and the time it takes.
    auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(KavroformEx(dir.Str("in.mif").c_str(), dir.Str("full.mif").c_str(), "utm32",
                          dir.Str("list.lst").c_str(), 0, nullptr),
              TR_OK);
    auto whole = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - start);
    const std::string complete = ReadFile(dir.Path("full.mif"));

    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<int64_t> moment(0, whole.count() * 12 / 10);
    for (int attempt = 0; attempt < 6; ++attempt) {
        int64_t delay = moment(random);
        SCOPED_TRACE("killed after " + std::to_string(delay) + " us");
        WriteFile(dir.Path("out.mif"), kOld);
        pid_t child = ::fork();
        if (child == 0) ::_exit(Run());
        ::usleep(static_cast<useconds_t>(delay));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        std::string now = ReadFile(dir.Path("out.mif"));
        EXPECT_TRUE(now == kOld || now == complete) << "the destination holds "
                                                    << now.size() << " bytes";
        EXPECT_EQ(ReadFile(dir.Path("in.mif")), input);
        std::vector<std::string> temporary = Named(dir.Tmp(), "");
        EXPECT_LE(temporary.size(), 1u);
        for (const std::string &name : temporary) EXPECT_EQ(name.rfind("TRAXO", 0), 0u) << name;
        EXPECT_LE(Named(dir.Root(), ".kavro-").size(), 1u);
        for (auto &entry : fs::directory_iterator(dir.Tmp())) fs::remove(entry.path());
        for (const std::string &name : Named(dir.Root(), ".kavro-")) fs::remove(dir.Path(name));
    }
}

// The temporary file, looked at while the run has it: a regular file of
// mode 0600 whatever the caller's umask, named TRAXO...
TEST_F(FaultTest, TheTemporaryFileIsPrivate) {
    static fs::path tmp;
    static std::vector<std::string> seen;
    tmp = dir.Tmp();
    seen.clear();
    mode_t old = ::umask(0);
    int32_t code = KavroformEx(dir.Str("in.mif").c_str(), dir.Str("out.mif").c_str(), "utm32",
                               dir.Str("list.lst").c_str(), 0, [](const char *) {
                                   for (auto &entry : fs::directory_iterator(tmp)) {
                                       struct stat info;
                                       if (::lstat(entry.path().c_str(), &info) != 0) continue;
                                       seen.push_back(entry.path().filename().string() + " " +
                                                      std::to_string(S_ISREG(info.st_mode)) + " " +
                                                      std::to_string(info.st_mode & 07777));
                                   }
                                   return 1;
                               });
    ::umask(old);
    EXPECT_EQ(code, TR_OK);
    ASSERT_FALSE(seen.empty());
    for (const std::string &entry : seen) {
        EXPECT_EQ(entry.rfind("TRAXO", 0), 0u) << entry;
        EXPECT_EQ(entry.substr(entry.find(' ')), " 1 384") << entry;  // 0600
    }
    EXPECT_TRUE(dir.TmpIsEmpty());
}

// ---------------------------------------------------------------- hostile input

struct Hostile {
    const char *name;
    std::string input;
    int32_t code;
    std::string outputHas;  // for TR_OK: a piece the output must hold
};

TEST_F(FaultTest, HostileInputEndsInADefinedResult) {
    const std::string tenMb(10 * 1024 * 1024, 'x');
    const std::string thousands(5000, '7');
    const std::string zeros(5000, '0');
    const Hostile cases[] = {
        {"a line of 10 MB, copied", "Data\r\n" + tenMb + "\r\n", TR_OK, tenMb + "\r\n"},
        {"a point line of 10 MB", "Data\r\nPoint 1 " + tenMb + "\r\n", TR_SYNTAX_ERROR, ""},
        {"a number of 10 MB of digits", "Data\r\nPoint 0." + std::string(10 * 1024 * 1024, '5') + " 2\r\n",
         TR_OK, "Point 0.555556 2.000000"},
        {"NUL bytes end the text of their line", "Data\r\nPoint 1 2\0 3 4\r\n\0Pline 9\r\n"s,
         TR_OK, "Point 1.000000 2.000000\r\n\r\n"},
        {"a NUL inside a count", "Data\r\nPline 2\0 9\r\n1 2\r\n"s, TR_UNEXPECTED_EOF, ""},
        {"bytes valid in no encoding, copied", "\xFF\xFE\xC0\x80\xED\xA0\x80\r\nData\r\n", TR_OK,
         "\xFF\xFE\xC0\x80\xED\xA0\x80\r\n"},
        {"bytes valid in no encoding, as a number", "Data\r\nPoint \xFF\xFE 2\r\n", TR_SYNTAX_ERROR, ""},
        {"thousands of digits", "Data\r\nPoint " + thousands + " 0." + zeros + "1\r\n", TR_OK,
         "Point 1.#INF00 0.000000\r\n"},
        {"hundreds of digits", "Data\r\nPoint " + thousands.substr(0, 300) + " 0\r\n", TR_OK,
         "Point 777777777777777"},
        {"thousands of digits after the point", "Data\r\nPoint 0.5" + zeros + "1 2\r\n", TR_OK,
         "Point 0.500000 2.000000"},
        {"an exponent of thousands of digits", "Data\r\nPoint 1e-" + thousands + " 1e" + thousands + "\r\n",
         TR_OK, "Point 0.000000 1.#INF00"},
    };
    for (const Hostile &c : cases) {
        SCOPED_TRACE(c.name);
        Put("in.mif", c.input);
        Put("out.mif", kOld);
        int32_t code = Run("in.mif", "list.lst", "geo_wgs84");
        EXPECT_EQ(code, c.code);
        if (code == TR_OK) {
            std::string out = ReadFile(dir.Path("out.mif"));
            EXPECT_NE(out.find(c.outputHas), std::string::npos) << out.substr(0, 300);
            Put("out.mid", kOldMid);
        } else {
            ExpectNothingChanged(c.input);
        }
        EXPECT_TRUE(dir.TmpIsEmpty());
    }
}

// A count the input claims is not allocated for: the run meets the end of
// the input at once.
TEST_F(FaultTest, AHugeCountWithFewLinesEndsPromptly) {
    const Hostile cases[] = {
        {"Pline", "Data\r\nPline 2147483647\r\n1 2\r\n3 4\r\n", TR_UNEXPECTED_EOF, ""},
        {"Pline Multiple", "Data\r\nPline Multiple 2147483647\r\n2\r\n1 2\r\n3 4\r\n", TR_UNEXPECTED_EOF, ""},
        {"Region", "Data\r\nRegion 2147483647\r\n2\r\n1 2\r\n3 4\r\n", TR_UNEXPECTED_EOF, ""},
        {"points of a section", "Data\r\nRegion 1\r\n2147483647\r\n1 2\r\n", TR_UNEXPECTED_EOF, ""},
        {"Multipoint", "Data\r\nMultipoint 2147483647\r\n1 2\r\n", TR_UNEXPECTED_EOF, ""},
        {"beyond the range", "Data\r\nPline 99999999999999999999\r\n1 2\r\n", TR_UNEXPECTED_EOF, ""},
    };
    for (const Hostile &c : cases) {
        SCOPED_TRACE(c.name);
        Put("in.mif", c.input);
        largestAllocation = 0;
        watching = true;
        int32_t code = Run("in.mif", "list.lst", "geo_wgs84");
        watching = false;
        EXPECT_EQ(code, c.code);
        // The file buffers are the largest blocks a run needs.
        EXPECT_LE(largestAllocation.load(), 1u << 20);
        ExpectNothingChanged(c.input);
    }
}

// A hundred thousand CoordSys lines: one handle per projection, not per
// line, and no memory that grows with them.
TEST_F(FaultTest, AHundredThousandCoordSysLinesKeepHandlesAndMemoryBounded) {
    std::string input = "Version 300\r\n";
    for (int i = 0; i < 100000; ++i)
        input += i % 2 == 0 ? "CoordSys Earth Projection 1, 104\r\n"
                            : "CoordSys Earth Projection 8, 115, \"m\", 9, 0, 0.9996, 500000, 0\r\n";
    input += "Data\r\nPoint 1 2\r\n";
    Put("in.mif", input);
    largestAllocation = 0;
    watching = true;
    EXPECT_EQ(KavroformEx(dir.Str("in.mif").c_str(), dir.Str("out.mif").c_str(), "utm32",
                          dir.Str("list.lst").c_str(), 0, nullptr),
              TR_OK);
    watching = false;
    // The double's own record of the calls grows with the lines (about twice
    // its size at most, as a string grows); nothing of the engine's may be
    // larger than a file buffer.
    std::string log = DoubleLog();
    EXPECT_LE(largestAllocation.load(), std::max<size_t>(1u << 20, 2 * log.size() + 64));
    // The double hands out 1, 2, ... in order of first use of a label.
    EXPECT_EQ(log.find("= 3"), std::string::npos) << "a third handle was made";
    EXPECT_TRUE(dir.TmpIsEmpty());
}

// A message far beyond the room of the message step is cut, not overrun.
TEST_F(FaultTest, ALongMessageIsCut) {
    const std::string long10k(10000, 'm');
    ResetMessages();
    EXPECT_TRUE(ReportStatus(RecordMessage, "Transformerer %s", {long10k}));
    ASSERT_EQ(Messages().messages.size(), 1u);
    EXPECT_EQ(Messages().messages[0], "Transformerer " + long10k.substr(0, 127 - 14));

    // The same through a run: a projection whose description is 10,000
    // characters long.
    Put("long.lst", std::string(10000, 'd') + "\r\ngeo_wgs84\r\n0 1\r\nCoordSys Earth Projection 1, 104\r\n");
    Put("in.mif", "CoordSys Earth Projection 1, 104\r\nData\r\nPoint 1 2\r\n");
    ResetMessages();
    EXPECT_EQ(Run("in.mif", "long.lst", "geo_wgs84"), TR_OK);
    bool found = false;
    for (const std::string &m : Messages().messages) {
        EXPECT_LE(m.size(), 127u);
        if (m.rfind("Input projektion er ", 0) == 0) {
            found = true;
            EXPECT_EQ(m, "Input projektion er " + std::string(127 - 20, 'd'));
        }
    }
    EXPECT_TRUE(found);
}

}  // namespace
