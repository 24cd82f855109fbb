// The projection list: loading the four-line records, the output lookup by
// label, the input lookup by CoordSys line and the blank-free comparison.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "kavro.h"
#include "porvex_double.h"
#include "projection_list.h"
#include "test_support.h"

namespace {

using testing_support::ScratchDir;
using testing_support::WriteFile;

struct Record {
    std::string description;
    std::string label;
    int32_t negateX;
    int32_t degrees;
    std::string coordSys;
    bool operator==(const Record &) const = default;
};

void PrintTo(const Record &r, std::ostream *os) {
    *os << "{" << r.description << "|" << r.label << "|" << r.negateX << " " << r.degrees
        << "|" << r.coordSys << "}";
}

// The records of a loaded list, after checking that its five sequences agree.
std::vector<Record> Records(const ProjectionList &list) {
    const size_t n = list.labels.size();
    EXPECT_EQ(list.descriptions.size(), n);
    EXPECT_EQ(list.coordSyses.size(), n);
    EXPECT_EQ(list.negateXs.size(), n);
    EXPECT_EQ(list.degreeses.size(), n);
    std::vector<Record> records;
    for (size_t i = 0; i < n && i < list.descriptions.size() && i < list.coordSyses.size() &&
                       i < list.negateXs.size() && i < list.degreeses.size();
         ++i)
        records.push_back({list.descriptions[i], list.labels[i], list.negateXs[i],
                           list.degreeses[i], list.coordSyses[i]});
    return records;
}

// Loads bytes written to a scratch file; the load must succeed.
ProjectionList LoadBytes(const std::string &bytes) {
    ScratchDir dir;
    WriteFile(dir.Path("list.lst"), bytes);
    ProjectionList list;
    EXPECT_TRUE(LoadProjectionList(list, dir.Str("list.lst").c_str()));
    return list;
}

const char kWgs[] = "CoordSys Earth Projection 1, 104";
const char kUtm32[] = "CoordSys Earth Projection 8, 115, \"m\", 9, 0, 0.9996, 500000, 0";

struct LoadCase {
    const char *name;
    std::string bytes;
    std::vector<Record> expected;
};

TEST(LoadProjectionList, ReadsFourLineRecordsUntilTheFramingBreaks) {
    const Record wgs{"WGS84 grader", "geo_wgs84", 0, 1, kWgs};
    const Record utm{"UTM 32 EUREF89", "utm32_etrs89", 0, 0, kUtm32};
    const std::vector<LoadCase> cases = {
        {"empty file", "", {}},
        {"two records, CR LF", "WGS84 grader\r\ngeo_wgs84\r\n0 1\r\n" + std::string(kWgs) +
             "\r\nUTM 32 EUREF89\r\nutm32_etrs89\r\n0 0\r\n" + kUtm32 + "\r\n",
         {wgs, utm}},
        {"LF line ends, no end after the last line",
         "WGS84 grader\ngeo_wgs84\n0 1\n" + std::string(kWgs) + "\nUTM 32 EUREF89\nutm32_etrs89\n0 0\n" +
             kUtm32,
         {wgs, utm}},
        // The blank line makes "UTM 32 EUREF89" a label and "utm32_etrs89" the
        // flag line, which ends the list.
        {"blank line between records",
         "WGS84 grader\r\ngeo_wgs84\r\n0 1\r\n" + std::string(kWgs) +
             "\r\n\r\nUTM 32 EUREF89\r\nutm32_etrs89\r\n0 0\r\n" + kUtm32 + "\r\n",
         {wgs}},
        {"flag line with text after the two integers",
         "WGS84 grader\r\ngeo_wgs84\r\n0 1 grader\r\n" + std::string(kWgs) + "\r\n", {wgs}},
        {"flag line with one integer ends the list before its record",
         "WGS84 grader\r\ngeo_wgs84\r\n0 1\r\n" + std::string(kWgs) +
             "\r\nUTM 32 EUREF89\r\nutm32_etrs89\r\n0\r\n" + kUtm32 +
             "\r\nWGS84 grader\r\ngeo_wgs84\r\n0 1\r\n" + kWgs + "\r\n",
         {wgs}},
        {"flag line with a word first", "A\r\nb\r\nx 0 1\r\nc\r\n", {}},
        {"negative and other nonzero flags kept as read",
         "A\r\nlab\r\n-1 7\r\nc\r\nB\r\nlab2\r\n\t+0   -0\r\nd\r\n",
         {{"A", "lab", -1, 7, "c"}, {"B", "lab2", 0, 0, "d"}}},
        {"lines stored exactly as read",
         "  Sj\xE6lland  \r\n UTM32_Etrs89 \r\n0 0\r\n\tcoordsys earth  projection 8 \r\n",
         {{"  Sj\xE6lland  ", " UTM32_Etrs89 ", 0, 0, "\tcoordsys earth  projection 8 "}}},
        {"last record without its fourth line", "WGS84 grader\r\ngeo_wgs84\r\n0 1\r\n" +
                                                     std::string(kWgs) + "\r\nRest\r\nrest\r\n1 0\r\n",
         {wgs, {"Rest", "rest", 1, 0, ""}}},
        {"last record without its third line",
         "WGS84 grader\r\ngeo_wgs84\r\n0 1\r\n" + std::string(kWgs) + "\r\nRest\r\nrest\r\n", {wgs}},
        {"empty lines as description and clause", "\r\nlab\r\n0 0\r\n\r\n", {{"", "lab", 0, 0, ""}}},
    };
    for (const LoadCase &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Records(LoadBytes(c.bytes)), c.expected);
    }
}

TEST(LoadProjectionList, FailsWhenTheFileCannotBeOpened) {
    ScratchDir dir;
    ProjectionList list;
    EXPECT_FALSE(LoadProjectionList(list, dir.Str("missing.lst").c_str()));
    EXPECT_FALSE(LoadProjectionList(list, dir.Root().c_str()));  // a folder
    EXPECT_FALSE(LoadProjectionList(list, nullptr));
    EXPECT_TRUE(list.labels.empty());
}

// Runs side by side share one list: a list that another reader has open
// loads, one that a writer holds does not.
TEST(LoadProjectionList, ReadersShareTheListWritersKeepItToThemselves) {
    ScratchDir dir;
    WriteFile(dir.Path("list.lst"), "WGS84\r\ngeo_wgs84\r\n0 1\r\nCoordSys Earth Projection 1, 104\r\n");
    const std::string path = dir.Str("list.lst");
    int reader = ::open(path.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(reader, LOCK_SH), 0);
    ProjectionList shared;
    EXPECT_TRUE(LoadProjectionList(shared, path.c_str()));
    EXPECT_EQ(shared.labels.size(), 1u);
    ::close(reader);

    int writer = ::open(path.c_str(), O_RDWR);
    ASSERT_EQ(::flock(writer, LOCK_EX), 0);
    ProjectionList held;
    EXPECT_FALSE(LoadProjectionList(held, path.c_str()));
    ::close(writer);
}

// A list for the lookups, in file order.
ProjectionList LookupList() {
    ProjectionList list;
    const std::vector<ProjectionEntry> entries = {
        {"WGS84 grader", "geo_wgs84", 0, 1, kWgs},
        {"UTM 32 EUREF89", "utm32_etrs89", 0, 0, kUtm32},
        {"Andet UTM 32", "utm32_etrs89", 0, 0, "CoordSys Earth Projection 8, 28"},
        {"Trailing", "kp2000j ", 0, 0, "CoordSys Earth Projection 8, 999"},
        {"Spejlet", "mirror", -1, 0, "CoordSys Earth Projection 3, 115, \"m\", 10, 52"},
        {"Spejlet grader", "mirrordeg", 2, 5, "CoordSys Earth Projection 3, 115, \"m\", 10"},
    };
    for (const ProjectionEntry &entry : entries) AppendProjection(list, entry);
    return list;
}

struct OutputCase {
    const char *label;
    int32_t code;
    std::string created;      // the label handed to the library, "" for none
    uint32_t addedFlags;
    std::string outCoordSys;  // "" when nothing is set
};

TEST(FindOutputProjection, FindsTheFirstRecordOfTheTrimmedLabelCaseAside) {
    const ProjectionList list = LookupList();
    const std::vector<OutputCase> cases = {
        {"geo_wgs84", TR_OK, "geo_wgs84", TF_OUT_DEGREES, kWgs},
        {" \tGEO_WGS84 \r\n", TR_OK, "geo_wgs84", TF_OUT_DEGREES, kWgs},
        {"Utm32_ETRS89", TR_OK, "utm32_etrs89", 0, kUtm32},  // the first of two
        {"mirror", TR_OK, "mirror", TF_OUT_NEGATE_X, list.coordSyses[4]},
        {"MIRRORDEG", TR_OK, "mirrordeg", TF_OUT_NEGATE_X | TF_OUT_DEGREES,
         list.coordSyses[5]},
        {"kp2000j", TR_UNSUPPORTED_PROJECTION, "", 0, ""},   // stored with a blank
        {"kp2000j ", TR_UNSUPPORTED_PROJECTION, "", 0, ""},  // the caller's is trimmed
        {"geo_wgs", TR_UNSUPPORTED_PROJECTION, "", 0, ""},
        {"", TR_UNSUPPORTED_PROJECTION, "", 0, ""},
        {"geo_w\xE5s84", TR_UNSUPPORTED_PROJECTION, "", 0, ""},
    };
    for (const OutputCase &c : cases) {
        SCOPED_TRACE(c.label);
        PorvexDouble_Reset();
        uint32_t handle = 77;
        uint32_t flags = TF_RELAX | TF_IN_DEGREES;
        std::string outCoordSys;
        EXPECT_EQ(FindOutputProjection(list, c.label, handle, flags, outCoordSys), c.code);
        EXPECT_EQ(flags, TF_RELAX | TF_IN_DEGREES | c.addedFlags);
        EXPECT_EQ(outCoordSys, c.outCoordSys);
        if (c.created.empty()) {
            EXPECT_EQ(handle, 77u);
            EXPECT_EQ(DoubleLog(), "");
        } else {
            EXPECT_EQ(handle, 1u);
            EXPECT_EQ(DoubleLog(), "create " + c.created + " = 1\n");
        }
    }
}

TEST(FindOutputProjection, HandleZeroIsAnInternalError) {
    PorvexDouble_Reset();
    PorvexDouble_RefuseLabel("geo_wgs84");
    uint32_t handle = 77;
    uint32_t flags = 0;
    std::string outCoordSys;
    EXPECT_EQ(FindOutputProjection(LookupList(), "geo_wgs84", handle, flags, outCoordSys),
              TR_INTERNAL_ERROR);
    EXPECT_EQ(handle, 0u);
}

TEST(FindOutputProjection, EmptyListFindsNothing) {
    PorvexDouble_Reset();
    uint32_t handle = 0;
    uint32_t flags = 0;
    std::string outCoordSys;
    EXPECT_EQ(FindOutputProjection(ProjectionList{}, "geo_wgs84", handle, flags, outCoordSys),
              TR_UNSUPPORTED_PROJECTION);
    EXPECT_EQ(DoubleLog(), "");
}

struct InputCase {
    const char *name;
    std::string line;
    int32_t code;
    std::string description;  // of the record found, "" for none
    std::string created;
    uint32_t addedFlags;
};

TEST(FindInputProjection, TakesTheFirstRecordWithACommonBlankFreeBeginning) {
    const ProjectionList list = LookupList();
    const std::vector<InputCase> cases = {
        {"the clause itself", kWgs, TR_OK, "WGS84 grader", "geo_wgs84", TF_IN_DEGREES},
        {"with Bounds", std::string(kUtm32) + " Bounds (-7745874.38, 0) (8745874.38, 9997964.94)",
         TR_OK, "UTM 32 EUREF89", "utm32_etrs89", 0},
        {"other blanks, other case",
         "COORDSYS earth projection 8,115,\"M\" ,  9,0,0.9996,500000,0", TR_OK,
         "UTM 32 EUREF89", "utm32_etrs89", 0},
        {"a shorter line matches the first record it begins",
         "CoordSys Earth Projection", TR_OK, "WGS84 grader", "geo_wgs84", TF_IN_DEGREES},
        {"the first of two matching records wins",
         "CoordSys Earth Projection 3, 115, \"m\", 10, 52, 35", TR_OK, "Spejlet", "mirror",
         TF_IN_NEGATE_X},
        {"a line that stops inside a clause matches it",
         "CoordSys Earth Projection 3, 115, \"m\", 10, 5", TR_OK, "Spejlet", "mirror",
         TF_IN_NEGATE_X},
        {"negate and degrees", "CoordSys Earth Projection 3, 115, \"m\", 10, 53", TR_OK,
         "Spejlet grader", "mirrordeg", TF_IN_NEGATE_X | TF_IN_DEGREES},
        {"a tab where the list has a blank", "CoordSys\tEarth Projection 1, 104",
         TR_UNSUPPORTED_PROJECTION, "", "", 0},
        {"a different datum", "CoordSys Earth Projection 1, 105", TR_UNSUPPORTED_PROJECTION,
         "", "", 0},
        {"a no-break space is not a blank", "CoordSys\xA0" "Earth Projection 1, 104",
         TR_UNSUPPORTED_PROJECTION, "", "", 0},
        {"NonEarth", "CoordSys NonEarth Units \"m\"", TR_UNSUPPORTED_PROJECTION, "", "", 0},
        {"an empty line matches the first record", "", TR_OK, "WGS84 grader", "geo_wgs84",
         TF_IN_DEGREES},
    };
    for (const InputCase &c : cases) {
        SCOPED_TRACE(c.name);
        PorvexDouble_Reset();
        uint32_t handle = 77;
        uint32_t flags = TF_VERBOSE | TF_OUT_DEGREES;
        std::string inName = "before";
        EXPECT_EQ(FindInputProjection(list, c.line, handle, flags, inName), c.code);
        EXPECT_EQ(flags, TF_VERBOSE | TF_OUT_DEGREES | c.addedFlags);
        if (c.code == TR_OK) {
            EXPECT_EQ(inName, c.description);
            EXPECT_EQ(handle, 1u);
            EXPECT_EQ(DoubleLog(), "create " + c.created + " = 1\n");
        } else {
            EXPECT_EQ(inName, "before");
            EXPECT_EQ(handle, 77u);
            EXPECT_EQ(DoubleLog(), "");
        }
    }
}

TEST(FindInputProjection, HandleZeroLeavesFlagsAndNameAlone) {
    PorvexDouble_Reset();
    PorvexDouble_RefuseLabel("geo_wgs84");
    uint32_t handle = 77;
    uint32_t flags = TF_RELAX;
    std::string inName = "before";
    EXPECT_EQ(FindInputProjection(LookupList(), kWgs, handle, flags, inName), TR_INTERNAL_ERROR);
    EXPECT_EQ(handle, 0u);
    EXPECT_EQ(flags, TF_RELAX);
    EXPECT_EQ(inName, "before");
}

TEST(FindInputProjection, FlagsOfLaterLinesAddToEarlierOnes) {
    PorvexDouble_Reset();
    const ProjectionList list = LookupList();
    uint32_t handle = 0;
    uint32_t flags = 0;
    std::string inName;
    EXPECT_EQ(FindInputProjection(list, kWgs, handle, flags, inName), TR_OK);
    EXPECT_EQ(FindInputProjection(list, "CoordSys Earth Projection 3, 115, \"m\", 10, 52", handle,
                                  flags, inName),
              TR_OK);
    EXPECT_EQ(flags, TF_IN_DEGREES | TF_IN_NEGATE_X);
    EXPECT_EQ(inName, "Spejlet");
    EXPECT_EQ(handle, 2u);
}

TEST(FindInputProjection, RecordWithoutClauseMatchesWhatNoEarlierOneDid) {
    PorvexDouble_Reset();
    const ProjectionList list =
        LoadBytes("WGS84 grader\r\ngeo_wgs84\r\n0 1\r\n" + std::string(kWgs) +
                  "\r\nResten\r\nrest\r\n0 0\r\n");
    uint32_t handle = 0;
    uint32_t flags = 0;
    std::string inName;
    EXPECT_EQ(FindInputProjection(list, "CoordSys NonEarth Units \"m\"", handle, flags, inName),
              TR_OK);
    EXPECT_EQ(inName, "Resten");
    EXPECT_EQ(FindInputProjection(list, kWgs, handle, flags, inName), TR_OK);
    EXPECT_EQ(inName, "WGS84 grader");
    EXPECT_EQ(FindInputProjection(ProjectionList{}, kWgs, handle, flags, inName),
              TR_UNSUPPORTED_PROJECTION);
}

struct MatchCase {
    const char *coordSys;
    const char *line;
    bool matches;
};

TEST(CoordSysMatches, ComparesBlankFreeTextsOverTheShorterLength) {
    const std::vector<MatchCase> cases = {
        {"CoordSys Earth Projection 1, 104", "coordsys earth projection 1,104", true},
        {"CoordSys Earth Projection 1, 104", "CoordSys Earth Projection 1, 104 Bounds (0, 0) (1, 1)",
         true},
        {"CoordSys Earth Projection 1, 104", "CoordSys Earth", true},
        {"CoordSys Earth Projection 1, 104", "Co ordSys  EarthProjection1 ,1 04", true},
        {"CoordSys Earth Projection 1, 104", "CoordSys Earth Projection 1, 105", false},
        {"CoordSys Earth Projection 1, 104", "CoordSys Earth Projection 10, 104", false},
        {"CoordSys Earth Projection 1, 104", "CoordSys\tEarth Projection 1, 104", false},
        {"CoordSys Earth\tProjection 1, 104", "CoordSys Earth\tProjection 1, 104", true},
        {"CoordSys Earth Projection 1, 104", "", true},
        {"", "CoordSys Earth Projection 1, 104", true},
        {"   ", "CoordSys Earth Projection 1, 104", true},
        {"\xC5", "\xE5", false},
        {"\xC5" "X", "\xC5" "x", true},
    };
    for (const MatchCase &c : cases) {
        SCOPED_TRACE(std::string(c.coordSys) + " | " + c.line);
        EXPECT_EQ(CoordSysMatches(c.coordSys, c.line), c.matches);
    }
}

TEST(RemoveBlanks, RemovesEveryBlankAndNothingElse) {
    EXPECT_EQ(RemoveBlanks(""), "");
    EXPECT_EQ(RemoveBlanks("   "), "");
    EXPECT_EQ(RemoveBlanks(" a b  c "), "abc");
    EXPECT_EQ(RemoveBlanks("a\tb\r\n\xA0" "c"), "a\tb\r\n\xA0" "c");
}

}  // namespace
