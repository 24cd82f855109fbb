// The run: its messages, its result codes, its files, and that a run that
// fails leaves the destination and the input as they were.
#include <sys/file.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "kavro.h"
#include "porvex_double.h"
#include "result_texts.h"
#include "test_support.h"

using namespace testing_support;

namespace {

const std::string kBanner = "ZAV MapInfo MIF transformation version 1.3";
const std::string kList =
    "WGS 84\r\ngeo_wgs84\r\n0 1\r\nCoordSys Earth Projection 1, 104\r\n";

class RunTest : public ::testing::Test {
protected:
    void SetUp() override {
        PorvexDouble_Reset();
        ResetMessages();
        WriteFile(dir.Path("list.lst"), kList);
    }
    void TearDown() override { EXPECT_TRUE(dir.TmpIsEmpty()) << "a temporary file was left"; }

    int32_t Run(const std::string &in, const std::string &out, const char *label = "geo_wgs84") {
        return KavroformEx(in.c_str(), out.c_str(), label, dir.Str("list.lst").c_str(), 0,
                           RecordMessage);
    }
    // The messages after the three opening ones.
    std::vector<std::string> LaterMessages() const {
        const auto &all = Messages().messages;
        return all.size() < 3 ? std::vector<std::string>{}
                              : std::vector<std::string>(all.begin() + 3, all.end());
    }

    ScratchDir dir;
};

TEST_F(RunTest, OpeningMessagesAndExportedTexts) {
    WriteFile(dir.Path("a.mif"), "x\r\n");
    WriteFile(dir.Path("a.mid"), "");
    ASSERT_EQ(Run(dir.Str("a.mif"), dir.Str("b.mif")), TR_OK);
    const auto &m = Messages().messages;
    ASSERT_GE(m.size(), 3u);
    EXPECT_EQ(m[0], kBanner);
    EXPECT_EQ(m[0], GetVersionId());
    EXPECT_FALSE(m[1].empty());
    EXPECT_EQ(m[2], "Transformerer " + dir.Str("a.mif"));
    for (int32_t code = 0; code < 14; ++code) EXPECT_STREQ(GetErrorMessage(code), kResultTexts[code]);
    EXPECT_STREQ(GetErrorMessage(3), "Kunne ikke \xE5" "bne input-fil");
    EXPECT_STREQ(GetErrorMessage(9),
                 "Den aktuelle projektion er ikke-underst\xF8ttet (eller ikke-eksisterende)");
    EXPECT_STREQ(GetErrorMessage(14), "");
    EXPECT_STREQ(GetErrorMessage(-1), "");
    EXPECT_EQ(DoubleLog(), "init\ncreate geo_wgs84 = 1\nterminate\n");
}

// Bytes in, bytes out, progress messages, code.
struct CopyCase {
    const char *name;
    std::string input;
    std::string output;
    std::vector<std::string> progress;
};

// Ten lines of ten bytes each: one progress message per line.
CopyCase TenLines() {
    CopyCase c{"ten lines of ten bytes", "", "", {}};
    for (int i = 0; i < 10; ++i) {
        c.input += "item " + std::to_string(i) + "...\n";
        c.output += "item " + std::to_string(i) + "...\r\n";
        c.progress.push_back(std::to_string((i + 1) * 10) + " pct. transformeret");
    }
    return c;
}

TEST_F(RunTest, LinesTravelToTheDestination) {
    const CopyCase cases[] = {
        {"empty input", "", "", {}},
        {"one line", "abc", "abc\r\n", {"100 pct. transformeret"}},
        {"leading white space dropped, trailing kept", " \tabc  \nxyz\r\n", "abc  \r\nxyz\r\n",
         {"60 pct. transformeret", "100 pct. transformeret"}},
        {"lone CR kept", "A\rB\r\r\n", "A\rB\r\r\n", {"100 pct. transformeret"}},
        {"Ctrl-Z ends the input", "A\r\nB\x1A" "D\r\n", "A\r\nB\r\n",
         {"30 pct. transformeret", "100 pct. transformeret"}},
        TenLines(),
    };
    for (const CopyCase &c : cases) {
        SCOPED_TRACE(c.name);
        ResetMessages();
        WriteFile(dir.Path("in.mif"), c.input);
        WriteFile(dir.Path("in.mid"), "companion");
        ASSERT_EQ(Run(dir.Str("in.mif"), dir.Str("out.mif")), TR_OK);
        EXPECT_EQ(ReadFile(dir.Path("out.mif")), c.output);
        EXPECT_EQ(ReadFile(dir.Path("out.mid")), "companion");
        EXPECT_EQ(ReadFile(dir.Path("in.mif")), c.input);
        EXPECT_EQ(LaterMessages(), c.progress);
    }
}

TEST_F(RunTest, ReplacesTheInputWhenThereIsNoOutputPath) {
    for (std::string out : {std::string(), dir.Str("in.mif"), dir.Str("IN.MIF")}) {
        SCOPED_TRACE(out);
        WriteFile(dir.Path("in.mif"), "  abc\n");
        WriteFile(dir.Path("in.mid"), "companion");
        if (out == dir.Str("IN.MIF")) {
            // Another name on this file system: a new file, and its companion
            // name differs only in case, so no companion is copied.
            ASSERT_EQ(Run(dir.Str("in.mif"), out), TR_OK);
            EXPECT_EQ(ReadFile(out), "abc\r\n");
            EXPECT_FALSE(fs::exists(dir.Path("IN.mid")));
            fs::remove(out);
            continue;
        }
        ASSERT_EQ(Run(dir.Str("in.mif"), out), TR_OK);
        EXPECT_EQ(ReadFile(dir.Path("in.mif")), "abc\r\n");
        EXPECT_EQ(ReadFile(dir.Path("in.mid")), "companion");
    }
    EXPECT_EQ(KavroformEx(dir.Str("in.mif").c_str(), nullptr, "geo_wgs84",
                          dir.Str("list.lst").c_str(), 0, nullptr),
              TR_OK);
}

TEST_F(RunTest, CompanionNames) {
    struct Case {
        const char *in, *out, *inMid, *outMid;
        int32_t code;
    } cases[] = {
        {"a.mif", "b.txt", "a.mid", "b.mid", TR_OK},
        {"a.MIF", "b.MIF", "a.mid", "b.mid", TR_OK},
        {"a.mif", "b.mif", "a.MID", "b.mid", TR_OK},  // found whatever its case
        {"dot.d/plain", "dot.d/copy", "dot.d/plain.mid", "dot.d/copy.mid", TR_OK},
        {"a.mif", "b.mif", nullptr, nullptr, TR_MID_COPY_FAILED},
    };
    fs::create_directory(dir.Path("dot.d"));
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.in) + " -> " + c.out);
        WriteFile(dir.Path(c.in), "x\n");
        if (c.inMid != nullptr) WriteFile(dir.Path(c.inMid), "mid");
        EXPECT_EQ(Run(dir.Str(c.in), dir.Str(c.out)), c.code);
        EXPECT_EQ(ReadFile(dir.Path(c.out)), "x\r\n");
        if (c.outMid != nullptr) {
            EXPECT_EQ(ReadFile(dir.Path(c.outMid)), "mid");
        }
        fs::remove(dir.Path(c.in));
        fs::remove(dir.Path(c.out));
        if (c.inMid != nullptr) fs::remove(dir.Path(c.inMid));
        if (c.outMid != nullptr) fs::remove(dir.Path(c.outMid));
    }
}

TEST_F(RunTest, CompanionOfSeveralCasesPrefersUpperCase) {
    WriteFile(dir.Path("a.mif"), "x\n");
    WriteFile(dir.Path("a.MID"), "upper");
    WriteFile(dir.Path("a.Mid"), "mixed");
    ASSERT_EQ(Run(dir.Str("a.mif"), dir.Str("b.mif")), TR_OK);
    EXPECT_EQ(ReadFile(dir.Path("b.mid")), "upper");
    fs::remove(dir.Path("a.MID"));
    WriteFile(dir.Path("a.MiD"), "other");
    EXPECT_EQ(Run(dir.Str("a.mif"), dir.Str("c.mif")), TR_MID_COPY_FAILED);
}

TEST_F(RunTest, EarlyEndsLeaveNothingBehind) {
    WriteFile(dir.Path("in.mif"), "abc\ndef\n");
    WriteFile(dir.Path("in.mid"), "");
    WriteFile(dir.Path("old.mif"), "old");

    PorvexDouble_SetInitResult(1);
    EXPECT_EQ(Run(dir.Str("in.mif"), dir.Str("old.mif")), TR_LIBRARY_LOAD_FAILED);
    EXPECT_EQ(Messages().messages.size(), 3u);
    PorvexDouble_SetInitResult(0);

    EXPECT_EQ(Run(dir.Str("missing.mif"), dir.Str("old.mif")), TR_INPUT_OPEN_FAILED);
    EXPECT_EQ(Run(dir.Str("in.mif"), dir.Str("old.mif"), "no_such_label"),
              TR_UNSUPPORTED_PROJECTION);
    EXPECT_EQ(KavroformEx(dir.Str("in.mif").c_str(), dir.Str("old.mif").c_str(), "geo_wgs84",
                          dir.Str("missing.lst").c_str(), 0, RecordMessage),
              TR_LIST_OPEN_FAILED);

    ResetMessages();
    Messages().progressAnswer = 0;
    EXPECT_EQ(Run(dir.Str("in.mif"), dir.Str("old.mif")), TR_ABORTED);
    EXPECT_EQ(LaterMessages(), std::vector<std::string>{"50 pct. transformeret"});
    Messages().progressAnswer = 1;

    ::setenv("TMPDIR", dir.Str("no-such-folder").c_str(), 1);
    EXPECT_EQ(Run(dir.Str("in.mif"), dir.Str("old.mif")), TR_TEMP_OPEN_FAILED);
    ::setenv("TMPDIR", dir.Tmp().c_str(), 1);

    EXPECT_EQ(ReadFile(dir.Path("old.mif")), "old");
    EXPECT_EQ(ReadFile(dir.Path("in.mif")), "abc\ndef\n");
}

TEST_F(RunTest, AnInputHeldByAnotherOpenerIsRefused) {
    WriteFile(dir.Path("in.mif"), "abc\n");
    int fd = ::open(dir.Str("in.mif").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    EXPECT_EQ(Run(dir.Str("in.mif"), dir.Str("out.mif")), TR_INPUT_OPEN_FAILED);
    ::close(fd);
    EXPECT_FALSE(fs::exists(dir.Path("out.mif")));
}

TEST_F(RunTest, CallerFlagsOtherThanRelaxAndVerboseAreDropped) {
    WriteFile(dir.Path("in.mif"), "Point 1 2\n");
    WriteFile(dir.Path("in.mid"), "");
    std::string plain, withBits;
    ASSERT_EQ(KavroformEx(dir.Str("in.mif").c_str(), dir.Str("a.mif").c_str(), "geo_wgs84",
                          dir.Str("list.lst").c_str(), 0, nullptr),
              TR_OK);
    ASSERT_EQ(KavroformEx(dir.Str("in.mif").c_str(), dir.Str("b.mif").c_str(), "geo_wgs84",
                          dir.Str("list.lst").c_str(), 0x33, nullptr),
              TR_OK);
    EXPECT_EQ(ReadFile(dir.Path("a.mif")), ReadFile(dir.Path("b.mif")));
}

// Runs KavroformEx in a child process without root's rights, so that
// folder permissions bite also when the tests run as root.
int32_t RunUnprivileged(const std::string &in, const std::string &out, const std::string &list) {
    return InChild(
        [&] {
            return KavroformEx(in.c_str(), out.c_str(), "geo_wgs84", list.c_str(), 0, nullptr);
        },
        true);
}

TEST_F(RunTest, AFailedFinalCopyLeavesTheDestinationAsItWas) {
    for (const char *folder : {"", "tmp"}) {
        fs::permissions(dir.Root() / folder, fs::perms::all);
    }
    fs::create_directory(dir.Path("locked"));
    fs::create_directory(dir.Path("open"));
    fs::permissions(dir.Path("open"), fs::perms::all);
    WriteFile(dir.Path("locked/in.mif"), "  abc\n");
    WriteFile(dir.Path("locked/in.mid"), "mid");
    WriteFile(dir.Path("locked/old.mif"), "old");
    WriteFile(dir.Path("open/in.mif"), "  abc\n");
    WriteFile(dir.Path("open/in.mid"), "mid");
    WriteFile(dir.Path("list.lst"), kList);
    for (const char *file : {"locked/in.mif", "locked/in.mid", "locked/old.mif", "open/in.mif",
                             "open/in.mid", "list.lst"})
        fs::permissions(dir.Path(file), fs::perms::all);
    fs::permissions(dir.Path("locked"), fs::perms::owner_read | fs::perms::owner_exec |
                                            fs::perms::group_read | fs::perms::group_exec |
                                            fs::perms::others_read | fs::perms::others_exec);

    // The run replaces its own input in a folder that cannot take a new file.
    EXPECT_EQ(RunUnprivileged(dir.Str("locked/in.mif"), "", dir.Str("list.lst")),
              TR_COPY_FAILED);
    EXPECT_EQ(ReadFile(dir.Path("locked/in.mif")), "  abc\n");
    // An existing destination in such a folder.
    EXPECT_EQ(RunUnprivileged(dir.Str("open/in.mif"), dir.Str("locked/old.mif"),
                              dir.Str("list.lst")),
              TR_COPY_FAILED);
    EXPECT_EQ(ReadFile(dir.Path("locked/old.mif")), "old");
    // A destination that is a folder.
    fs::create_directory(dir.Path("open/dest.mif"));
    EXPECT_EQ(Run(dir.Str("open/in.mif"), dir.Str("open/dest.mif")), TR_COPY_FAILED);
    EXPECT_TRUE(fs::is_directory(dir.Path("open/dest.mif")));
    // The .mif arrives; its companion's place is taken by a folder.
    fs::create_directory(dir.Path("open/out.mid"));
    EXPECT_EQ(Run(dir.Str("open/in.mif"), dir.Str("open/out.mif")), TR_MID_COPY_FAILED);
    EXPECT_EQ(ReadFile(dir.Path("open/out.mif")), "abc\r\n");
    EXPECT_TRUE(fs::is_directory(dir.Path("open/out.mid")));
    for (auto &entry : fs::directory_iterator(dir.Path("open")))
        EXPECT_EQ(entry.path().filename().string().rfind(".kavro-", 0), std::string::npos);
}

}  // namespace
