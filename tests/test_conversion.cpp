// Drawings through a whole run, with the projection library's test double:
// the dispatcher, the header statements and the object statements, each
// checked by its exact output bytes, its messages and its result code.
#include <string>
#include <vector>

#include "kavro.h"
#include "porvex_double.h"
#include "test_support.h"

using namespace testing_support;

namespace {

// The projection list of every case: a plane system in metres, geographic
// WGS84 in degrees, and the output projection.
const std::string kList =
    "Lokal plan\nplan_a\n0 0\nCoordSys NonEarth Units \"m\"\n"
    "WGS 84\ngeo_wgs84\n0 1\nCoordSys Earth Projection 1, 104\n"
    "UTM 32\nutm32\n0 0\nCoordSys Earth Projection 8, 104, \"m\", 9, 0, 0.9996, 500000, 0\n";
const char kOutLabel[] = "utm32";
const std::string kOutCoordSys =
    "CoordSys Earth Projection 8, 104, \"m\", 9, 0, 0.9996, 500000, 0";

const std::string kHeader = "Version 300\nCharset \"WindowsLatin1\"\n";
const std::string kPlan = "CoordSys NonEarth Units \"m\" Bounds (0, 0) (1000, 1000)\n";
const std::string kColumns = "Columns 1\n  Name Char(10)\nData\n\n";
// What the header of kHeader + kPlan + kColumns becomes.
const std::string kPlanHeaderOut =
    "Version 300\nCharset \"WindowsLatin1\"\n" + kOutCoordSys + "\nColumns 1\nName Char(10)\nData\n\n";
const std::string kPlanMessage = "Input projektion er Lokal plan";
const std::string kDefaultMessage = "CoordSys ej fundet. Input antages at v\xE6re Lat/long WGS84";
const std::string kSyntax = "Syntax-fejl i linie:";

// The library moves every point by (1000, 2000), so converted numbers are
// easy to tell from copied ones.
void Shift(uint32_t, uint32_t, double x, double y, double *xOut, double *yOut, int32_t *) {
    *xOut = x + 1000.0;
    *yOut = y + 2000.0;
}

struct DrawingCase {
    const char *name = "";
    std::string input{};
    std::string output{};  // with "\n" line ends; unused when code is not TR_OK
    std::vector<std::string> messages{};  // after "Transformerer ...", no progress
    int32_t code = TR_OK;
    uint32_t flags = 0;
    int32_t libraryCode = 0;
    const char *refusedLabel = nullptr;
};

std::string Crlf(const std::string &text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

// The messages a run sent after "Transformerer ...", progress left out.
std::vector<std::string> RunMessages() {
    std::vector<std::string> out;
    bool started = false;
    const std::string progress = " pct. transformeret";
    for (const std::string &m : Messages().messages) {
        if (!started) {
            started = m.rfind("Transformerer ", 0) == 0;
            continue;
        }
        if (m.size() >= progress.size() &&
            m.compare(m.size() - progress.size(), progress.size(), progress) == 0)
            continue;
        out.push_back(m);
    }
    return out;
}

void RunCases(const std::vector<DrawingCase> &cases) {
    for (const DrawingCase &c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        PorvexDouble_Reset();
        PorvexDouble_SetTransform(Shift);
        PorvexDouble_SetCode(c.libraryCode);
        if (c.refusedLabel != nullptr) PorvexDouble_RefuseLabel(c.refusedLabel);
        ResetMessages();
        WriteFile(dir.Path("in.mif"), c.input);
        WriteFile(dir.Path("in.mid"), "1,\"a\"\n");
        WriteFile(dir.Path("list.lst"), kList);
        const int32_t code = KavroformEx(dir.Str("in.mif").c_str(), dir.Str("out.mif").c_str(),
                                         kOutLabel, dir.Str("list.lst").c_str(), c.flags,
                                         RecordMessage);
        EXPECT_EQ(code, c.code);
        if (c.code == TR_OK)
            EXPECT_EQ(ReadFile(dir.Path("out.mif")), Crlf(c.output));
        else
            EXPECT_FALSE(fs::exists(dir.Path("out.mif"))) << "a failed run wrote its destination";
        EXPECT_EQ(RunMessages(), c.messages);
        EXPECT_TRUE(dir.TmpIsEmpty()) << "a temporary file was left";
    }
}

TEST(Conversion, HeaderStatements) {
    RunCases({
        {.name = "CoordSys replaced by the output clause, other lines copied trimmed",
         .input = kHeader + kPlan + "Columns 1\n  Name Char(10)  \nData\n",
         .output = "Version 300\nCharset \"WindowsLatin1\"\n" + kOutCoordSys +
                   "\nColumns 1\nName Char(10)  \nData\n",
         .messages = {kPlanMessage}},
        {.name = "keywords in any case",
         .input = "  coordsys nonearth units \"m\"\ndATA\npoint 1 2\nPOINT 1 2\n",
         .output = kOutCoordSys + "\ndATA\npoint 1001.000000 2002.000000\n"
                                  "POINT 1001.000000 2002.000000\n",
         .messages = {kPlanMessage}},
        {.name = "part of a keyword is copied",
         .input = kPlan + "Dat\nPoin 1 2\nCoord\n",
         .output = kOutCoordSys + "\nDat\nPoin 1 2\nCoord\n",
         .messages = {kPlanMessage}},
        {.name = "no CoordSys line: geographic WGS84 in degrees from the Data line",
         .input = kHeader + "Columns 1\n  Name Char(10)\nData\nPoint 90 0\n",
         .output = kHeader + "Columns 1\nName Char(10)\n" + kOutCoordSys +
                   "\nData\nPoint 1001.570796 2000.000000\n",
         .messages = {kDefaultMessage}},
        {.name = "a column named Database repeats the default",
         .input = "Columns 1\n  Database Char(5)\nData\n",
         .output = "Columns 1\n" + kOutCoordSys + "\nDatabase Char(5)\n" + kOutCoordSys + "\nData\n",
         .messages = {kDefaultMessage, kDefaultMessage}},
        {.name = "a second CoordSys line takes over from the first",
         .input = kPlan + "Point 1 2\nCoordSys Earth Projection 1, 104\nPoint 90 0\n",
         .output = kOutCoordSys + "\nPoint 1001.000000 2002.000000\n" + kOutCoordSys +
                   "\nPoint 1001.570796 2000.000000\n",
         .messages = {kPlanMessage, "Input projektion er WGS 84"}},
        {.name = "Transform lines apply to the pairs after them and are not written",
         .input = kPlan + "Point 1 2\nTransform 2 3 10 20 99\nPoint 1 2\nTRANSFORM 1 1 0 0\nPoint 1 2\n",
         .output = kOutCoordSys + "\nPoint 1001.000000 2002.000000\n"
                                  "Point 1012.000000 2026.000000\n"
                                  "Point 1001.000000 2002.000000\n",
         .messages = {kPlanMessage}},
        {.name = "Transform with three numbers",
         .input = kPlan + "Transform 2 3 10\n",
         .messages = {kPlanMessage, kSyntax, "Transform 2 3 10"},
         .code = TR_SYNTAX_ERROR},
        {.name = "Transform with commas, reported trimmed",
         .input = kPlan + "   Transform 2,3,10,20\n",
         .messages = {kPlanMessage, kSyntax, "Transform 2,3,10,20"},
         .code = TR_SYNTAX_ERROR},
        {.name = "CoordSys that is not in the list",
         .input = "CoordSys Earth Projection 3, 33\nData\n",
         .code = TR_UNSUPPORTED_PROJECTION},
        {.name = "CoordSys whose handle cannot be made",
         .input = kPlan + "Data\n",
         .code = TR_INTERNAL_ERROR,
         .refusedLabel = "plan_a"},
        {.name = "default input projection whose handle cannot be made",
         .input = "Data\n",
         .code = TR_INTERNAL_ERROR,
         .refusedLabel = "geo_wgs84"},
        {.name = "a line of white space only becomes empty; a % in a line is no format",
         .input = kPlan + " \t \n100% sure\n",
         .output = kOutCoordSys + "\n\n100% sure\n",
         .messages = {kPlanMessage}},
    });
}

TEST(Conversion, PointAndTwoPairObjects) {
    RunCases({
        {.name = "every keyword, numbers in any form, trailing text dropped",
         .input = kHeader + kPlan + kColumns +
                  "Point 1 2\n    Symbol (35,0,12)\n"
                  "POINT 1.5e1 -2 extra\n"
                  "Center 7 8\n"
                  "Line 1 2 3 4\n    Pen (1,2,0)\n"
                  "Arc 1 2 3 4\n"
                  "Rect -1 -2 3.25 4\n"
                  "Roundrect 1 2 3 4 5\n"
                  "Ellipse 1 2 3 4 Brush (1)\n",
         .output = kPlanHeaderOut +
                   "Point 1001.000000 2002.000000\nSymbol (35,0,12)\n"
                   "POINT 1015.000000 1998.000000\n"
                   "Center 1007.000000 2008.000000\n"
                   "Line 1001.000000 2002.000000 1003.000000 2004.000000\nPen (1,2,0)\n"
                   "Arc 1001.000000 2002.000000 1003.000000 2004.000000\n"
                   "Rect 999.000000 1998.000000 1003.250000 2004.000000\n"
                   "Roundrect 1001.000000 2002.000000 1003.000000 2004.000000\n"
                   "Ellipse 1001.000000 2002.000000 1003.000000 2004.000000\n",
         .messages = {kPlanMessage}},
        {.name = "first words of 64 and 65 bytes",
         .input = kPlan + "Point" + std::string(59, 'x') + " 1 2\nPoint" + std::string(60, 'y') +
                  " 3 4\n",
         .output = kOutCoordSys + "\nPoint" + std::string(59, 'x') +
                   " 1001.000000 2002.000000\nPoint" + std::string(60, 'y') +
                   " 1003.000000 2004.000000\n",
         .messages = {kPlanMessage}},
        {.name = "a longer first word is kept whole",
         .input = kPlan + "Pointed 1 2\n" + "Line" + std::string(200, 'x') + " 1 2 3 4\n",
         .output = kOutCoordSys + "\nPointed 1001.000000 2002.000000\nLine" + std::string(200, 'x') +
                   " 1001.000000 2002.000000 1003.000000 2004.000000\n",
         .messages = {kPlanMessage}},
        {.name = "a column named Points",
         .input = kHeader + kPlan + "Columns 1\n  Points Integer\n",
         .messages = {kPlanMessage, kSyntax, "Points Integer"},
         .code = TR_SYNTAX_ERROR},
        {.name = "a column named Lines",
         .input = kPlan + "Columns 1\n\tLines Char(3)\n",
         .messages = {kPlanMessage, kSyntax, "Lines Char(3)"},
         .code = TR_SYNTAX_ERROR},
        {.name = "a Point with a comma decimal",
         .input = kPlan + "Point 1,5 2\n",
         .messages = {kPlanMessage, kSyntax, "Point 1,5 2"},
         .code = TR_SYNTAX_ERROR},
        {.name = "a Rect with three numbers",
         .input = kPlan + "Rect 1 2 3\n",
         .messages = {kPlanMessage, kSyntax, "Rect 1 2 3"},
         .code = TR_SYNTAX_ERROR},
        {.name = "a refused code fails the run",
         .input = kPlan + "Point 1 2\n",
         .messages = {kPlanMessage},
         .code = TR_TRANSFORM_FAILED,
         .libraryCode = -1},
        {.name = "TF_RELAX accepts a tolerance warning",
         .input = kPlan + "Point 1 2\n",
         .output = kOutCoordSys + "\nPoint 1001.000000 2002.000000\n",
         .messages = {kPlanMessage},
         .flags = TF_RELAX,
         .libraryCode = -4},
        {.name = "TF_VERBOSE traces each pair in order",
         .input = kPlan + "Line 1 2 3 4\n",
         .output = kOutCoordSys + "\nLine 1001.000000 2002.000000 1003.000000 2004.000000\n",
         .messages = {kPlanMessage,
                      "Xin = 1.000000 Yin = 2.000000  Zin=0.000000 ",
                      "XOut = 1001.000000 YOut = 2002.000000 ZOut=0.000000 RetVal = 0",
                      "Xin = 3.000000 Yin = 4.000000  Zin=0.000000 ",
                      "XOut = 1003.000000 YOut = 2004.000000 ZOut=0.000000 RetVal = 0"},
         .flags = TF_VERBOSE},
        {.name = "the first pair failing stops before the second",
         .input = kPlan + "Line 1 2 3 4\n",
         .messages = {kPlanMessage,
                      "Xin = 1.000000 Yin = 2.000000  Zin=0.000000 ",
                      "XOut = 1001.000000 YOut = 2002.000000 ZOut=0.000000 RetVal = -5"},
         .code = TR_TRANSFORM_FAILED,
         .flags = TF_VERBOSE | TF_RELAX,
         .libraryCode = -5},
    });
}

TEST(Conversion, SectionObjects) {
    RunCases({
        {.name = "Pline with the point count on the header",
         .input = kPlan + "Pline 2\n1 2\n3 4 5\n    Pen (1,2,0)\n",
         .output = kOutCoordSys + "\nPline 2\n1001.000000 2002.000000\n1003.000000 2004.000000\n"
                                  "Pen (1,2,0)\n",
         .messages = {kPlanMessage}},
        {.name = "bare Pline takes a count line, copied as read",
         .input = kPlan + "PLINE\n  2 points\n1 2\n3 4\n",
         .output = kOutCoordSys + "\nPLINE\n  2 points\n1001.000000 2002.000000\n"
                                  "1003.000000 2004.000000\n",
         .messages = {kPlanMessage}},
        {.name = "Pline Multiple with a section count",
         .input = kPlan + "Pline Multiple 2\n1\n1 2\n2\n3 4\n5 6\n",
         .output = kOutCoordSys + "\nPline Multiple 2\n1\n1001.000000 2002.000000\n2\n"
                                  "1003.000000 2004.000000\n1005.000000 2006.000000\n",
         .messages = {kPlanMessage}},
        {.name = "Pline Multiple without a number: one section with a count line",
         .input = kPlan + "Pline Multiple\n1\n1 2\n",
         .output = kOutCoordSys + "\nPline Multiple\n1\n1001.000000 2002.000000\n",
         .messages = {kPlanMessage}},
        {.name = "Pline with two numbers: the second is the section count",
         .input = kPlan + "Pline 7 2\n1\n1 2\n0\n",
         .output = kOutCoordSys + "\nPline 7 2\n1\n1001.000000 2002.000000\n0\n",
         .messages = {kPlanMessage}},
        {.name = "Region with and without a section count, exponents written fixed",
         .input = kPlan + "Region 2\n1\n1e2 2E-1\n1\n3 4\nregion\n1\n5 6\n",
         .output = kOutCoordSys + "\nRegion 2\n1\n1100.000000 2000.200000\n1\n1003.000000 2004.000000\n"
                                  "region\n1\n1005.000000 2006.000000\n",
         .messages = {kPlanMessage}},
        {.name = "counts of 0 or below read nothing; the next line is a statement",
         .input = kPlan + "Region 0\nPoint 1 2\nPline -3\nPline 0\nRegion 1\n0\nPoint 1 2\n",
         .output = kOutCoordSys + "\nRegion 0\nPoint 1001.000000 2002.000000\nPline -3\nPline 0\n"
                                  "Region 1\n0\nPoint 1001.000000 2002.000000\n",
         .messages = {kPlanMessage}},
        {.name = "a missing count line: a point line stands in for it",
         .input = kPlan + "Pline\n1.5 2\n3 4\n",
         .output = kOutCoordSys + "\nPline\n1.5 2\n1003.000000 2004.000000\n",
         .messages = {kPlanMessage}},
        {.name = "a missing count line: a style line is a syntax error, reported as read",
         .input = kPlan + "Region 1\n    Pen (1,2,0)\n",
         .messages = {kPlanMessage, kSyntax, "    Pen (1,2,0)"},
         .code = TR_SYNTAX_ERROR},
        {.name = "a point line with one number",
         .input = kPlan + "Pline 2\n1 2\n 3\n",
         .messages = {kPlanMessage, kSyntax, " 3"},
         .code = TR_SYNTAX_ERROR},
        {.name = "a point line in error amid the lines, reported as read",
         .input = kPlan + "Pline 3\n1 2\n-x 3\n5 6\nPoint 1 2\n",
         .messages = {kPlanMessage, kSyntax, "-x 3"},
         .code = TR_SYNTAX_ERROR},
        {.name = "point lines in every number form, signs and CR LF line ends",
         .input = kPlan + "Pline 5\r\n-1.5 +2\r\n531413.24 -6079032.73\r\n"
                          "12345678.5 1e1\r\n.5\t0.0000001\r\n-0 7.\r\n",
         .output = kOutCoordSys + "\nPline 5\n998.500000 2002.000000\n"
                                  "532413.240000 -6077032.730000\n12346678.500000 2010.000000\n"
                                  "1000.500000 2000.000000\n1000.000000 2007.000000\n",
         .messages = {kPlanMessage}},
        {.name = "end of input among the point lines",
         .input = kPlan + "Pline 3\n1 2\n3 4\n",
         .messages = {kPlanMessage},
         .code = TR_UNEXPECTED_EOF},
        {.name = "end of input where a count line is due",
         .input = kPlan + "Region 2\n1\n1 2\n",
         .messages = {kPlanMessage},
         .code = TR_UNEXPECTED_EOF},
        {.name = "the largest count with few lines ends at once",
         .input = kPlan + "Pline 2147483647\n1 2\n3 4\n",
         .messages = {kPlanMessage},
         .code = TR_UNEXPECTED_EOF},
        {.name = "a refused point fails the run",
         .input = kPlan + "Pline 1\n1 2\n",
         .messages = {kPlanMessage},
         .code = TR_TRANSFORM_FAILED,
         .libraryCode = 3},
    });
}

TEST(Conversion, TextObjects) {
    RunCases({
        {.name = "text on the statement line, then the box",
         .input = kPlan + "Text \"Hej\"\n    1 2 3 4 5\n    Font (\"Arial\",0,0,0)\n",
         .output = kOutCoordSys + "\nText \"Hej\"\n1001.000000 2002.000000 1003.000000 2004.000000\n"
                                  "Font (\"Arial\",0,0,0)\n",
         .messages = {kPlanMessage}},
        {.name = "text on the next line, beginning with a keyword, copied as read",
         .input = kPlan + "TEXT  \t\n  COORDSYS Earth\n1 2 3 4\n",
         .output = kOutCoordSys + "\nTEXT  \t\n  COORDSYS Earth\n"
                                  "1001.000000 2002.000000 1003.000000 2004.000000\n",
         .messages = {kPlanMessage}},
        {.name = "an empty text line",
         .input = kPlan + "Text\n\n1 2 3 4\n",
         .output = kOutCoordSys + "\nText\n\n1001.000000 2002.000000 1003.000000 2004.000000\n",
         .messages = {kPlanMessage}},
        {.name = "numbers on the statement line are no box",
         .input = kPlan + "Text 9 9 9 9\n1 2 3 4\n",
         .output = kOutCoordSys + "\nText 9 9 9 9\n1001.000000 2002.000000 1003.000000 2004.000000\n",
         .messages = {kPlanMessage}},
        {.name = "a box line with three numbers",
         .input = kPlan + "Text \"Hej\"\n  1 2 3\n",
         .messages = {kPlanMessage, kSyntax, "  1 2 3"},
         .code = TR_SYNTAX_ERROR},
        {.name = "a Text line at the end of the input",
         .input = kPlan + "Text\n",
         .messages = {kPlanMessage},
         .code = TR_UNEXPECTED_EOF},
        {.name = "end of input where the box is due",
         .input = kPlan + "Text \"Hej\"\n",
         .messages = {kPlanMessage},
         .code = TR_UNEXPECTED_EOF},
    });
}

// Multipoint objects, CoordSys clauses over several lines and label lines,
// each next to the same drawing without the construct.
TEST(Conversion, MultipointObjects) {
    const std::string rest = "Point 5 6\n";
    const std::string restOut = "Point 1005.000000 2006.000000\n";
    RunCases({
        {.name = "Multipoint with its points",
         .input = kPlan + "MultiPoint 2\n0 1\n  2 3 9\n    Symbol (35,0,12)\n" + rest,
         .output = kOutCoordSys + "\nMultiPoint 2\n1000.000000 2001.000000\n1002.000000 2003.000000\n"
                                  "Symbol (35,0,12)\n" + restOut,
         .messages = {kPlanMessage}},
        {.name = "the same drawing without the Multipoint",
         .input = kPlan + rest,
         .output = kOutCoordSys + "\n" + restOut,
         .messages = {kPlanMessage}},
        {.name = "Multipoint of 0 points reads nothing",
         .input = kPlan + "MULTIPOINT 0\n" + rest,
         .output = kOutCoordSys + "\nMULTIPOINT 0\n" + restOut,
         .messages = {kPlanMessage}},
        {.name = "a collection is converted whole",
         .input = kPlan + "Collection 3\nMultipoint 1\n0 1\nPline 1\n2 3\nRegion 1\n1\n4 5\n",
         .output = kOutCoordSys + "\nCollection 3\nMultipoint 1\n1000.000000 2001.000000\n"
                                  "Pline 1\n1002.000000 2003.000000\nRegion 1\n1\n"
                                  "1004.000000 2005.000000\n",
         .messages = {kPlanMessage}},
        {.name = "Multipoint without a count",
         .input = kPlan + "Multipoint\n0 1\n",
         .messages = {kPlanMessage, kSyntax, "Multipoint"},
         .code = TR_SYNTAX_ERROR},
        {.name = "a Multipoint point line that does not scan",
         .input = kPlan + "Multipoint 2\n0 1\nx 3\n",
         .messages = {kPlanMessage, kSyntax, "x 3"},
         .code = TR_SYNTAX_ERROR},
        {.name = "end of input inside a Multipoint",
         .input = kPlan + "Multipoint 2\n0 1\n",
         .messages = {kPlanMessage},
         .code = TR_UNEXPECTED_EOF},
    });
}

TEST(Conversion, CoordSysOverSeveralLines) {
    const std::string columns = "Columns 1\n  Name Char(10)\nData\nPoint 90 0\n";
    const std::string columnsOut = "Columns 1\nName Char(10)\nData\nPoint 1001.570796 2000.000000\n";
    RunCases({
        {.name = "a clause over three lines",
         .input = kHeader + "Coordsys Earth\n  Projection 1, 104\n\tBOUNDS (-180, -90) (180, 90)\n" +
                  columns,
         .output = kHeader + kOutCoordSys + "\n" + columnsOut,
         .messages = {"Input projektion er WGS 84"}},
        {.name = "the same drawing with the clause on one line",
         .input = kHeader + "CoordSys Earth Projection 1, 104 Bounds (-180, -90) (180, 90)\n" + columns,
         .output = kHeader + kOutCoordSys + "\n" + columnsOut,
         .messages = {"Input projektion er WGS 84"}},
        {.name = "only the joined clause names this projection",
         .input = "CoordSys Earth\n  Projection 8, 104, \"m\", 9, 0, 0.9996, 500000, 0\nPoint 1 2\n",
         .output = kOutCoordSys + "\nPoint 1001.000000 2002.000000\n",
         .messages = {"Input projektion er UTM 32"}},
        {.name = "the line after the clause is a statement of its own",
         .input = "CoordSys NonEarth\nUnits \"m\"\nPoint 1 2\n",
         .output = kOutCoordSys + "\nPoint 1001.000000 2002.000000\n",
         .messages = {kPlanMessage}},
        {.name = "only the whole word continues a clause",
         .input = "CoordSys NonEarth Units \"m\"\nUnitsSold Integer\nProjections\n",
         .output = kOutCoordSys + "\nUnitsSold Integer\nProjections\n",
         .messages = {kPlanMessage}},
        {.name = "end of input inside the clause",
         .input = "CoordSys NonEarth\n Units \"m\"",
         .output = kOutCoordSys + "\n",
         .messages = {kPlanMessage}},
        {.name = "a joined clause that is not in the list",
         .input = "CoordSys Earth\nProjection 3, 33\nData\n",
         .code = TR_UNSUPPORTED_PROJECTION},
    });
}

TEST(Conversion, LabelLines) {
    const std::string text = "Text \"Hej\"\n1 2 3 4\n";
    const std::string textOut = "Text \"Hej\"\n1001.000000 2002.000000 1003.000000 2004.000000\n";
    RunCases({
        {.name = "label lines of a text object",
         .input = kPlan + text + "    Label Line Simple 10.0 20.0\n"
                  "    label line Arrow (10.0, 20.0) Pen (1,2,0)\n",
         .output = kOutCoordSys + "\n" + textOut + "Label Line Simple 1010.000000 2020.000000\n"
                   "label line Arrow (1010.000000, 2020.000000) Pen (1,2,0)\n",
         .messages = {kPlanMessage}},
        {.name = "the same drawing without label lines",
         .input = kPlan + text,
         .output = kOutCoordSys + "\n" + textOut,
         .messages = {kPlanMessage}},
        {.name = "other lines beginning with Label are copied",
         .input = kPlan + "Columns 2\n  Label Char(20)\n  Labels Line 1 2\nLabel Line Simple\n"
                  "Label Line Simple Pen (1,2,0)\nLabel Line 1 2\n",
         .output = kOutCoordSys + "\nColumns 2\nLabel Char(20)\nLabels Line 1 2\nLabel Line Simple\n"
                   "Label Line Simple Pen (1,2,0)\nLabel Line 1 2\n",
         .messages = {kPlanMessage}},
        {.name = "a refused label point fails the run",
         .input = kPlan + "Label Line Simple 1 2\n",
         .messages = {kPlanMessage},
         .code = TR_TRANSFORM_FAILED,
         .libraryCode = -1},
    });
}

}  // namespace
