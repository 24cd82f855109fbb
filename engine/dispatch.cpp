#include "dispatch.h"

#include <array>
#include <string>
#include <string_view>

#include "objects.h"
#include "zavtrlib.h"

namespace {

using Handler = int32_t (*)(TransformRun &run);

// A statement is known by the first characters of its trimmed line, case
// aside. The rows are tried in this order, and no keyword begins another, so
// at most one row matches. A line whose first word merely begins with a
// keyword (a column named Database or Points) is taken for that statement.
struct KeywordRow {
    std::string_view keyword;
    Handler handler;
};

constexpr std::array<KeywordRow, 15> kKeywords{{
    {"COORDSYS", HandleCoordSys},
    {"TRANSFORM", HandleTransform},
    {"DATA", HandleData},
    {"POINT", HandlePointObject},
    {"CENTER", HandlePointObject},
    {"LINE", HandleTwoPairObject},
    {"ARC", HandleTwoPairObject},
    {"RECT", HandleTwoPairObject},
    {"ROUNDRECT", HandleTwoPairObject},
    {"ELLIPSE", HandleTwoPairObject},
    {"PLINE", HandleSectionObject},
    {"REGION", HandleSectionObject},
    {"TEXT", HandleText},
    {"MULTIPOINT", HandleSectionObject},
    {"LABEL", HandleLabelLine},
}};

// Words that continue a CoordSys clause written over several lines.
constexpr std::array<std::string_view, 4> kClauseContinuations{
    "Projection", "Units", "Affine", "Bounds"};

const char kDefaultInputLabel[] = "geo_wgs84";

// The keywords are written in capitals; "a"-"z" fold to them.
char FoldCase(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

// True when the line, after its leading white space, begins with one of the
// continuation words as a whole word: "Units 7" continues a clause, a column
// named UnitsSold does not.
bool IsClauseContinuation(std::string_view line) {
    size_t pos = 0;
    const std::string_view first = NextWord(line, pos);
    for (std::string_view word : kClauseContinuations)
        if (EqualNoCase(first, word)) return true;
    return false;
}

// Reads the lines that continue the CoordSys clause in `clause` and joins
// each to it with one blank. The first line that is no continuation stays in
// `line`, held for the main loop to dispatch next; at the end of the input
// nothing is held.
void JoinClauseContinuations(TransformRun &run, std::string &clause) {
    while (ReadLine(run.inputFile, run.line)) {
        if (!IsClauseContinuation(run.line)) {
            run.lineHeld = true;
            return;
        }
        TrimLeading(run.line);
        TrimTrailing(clause);
        clause += ' ';
        clause += run.line;
    }
}

}  // namespace

bool BeginsWithKeyword(std::string_view text, std::string_view keyword) {
    return text.size() >= keyword.size() && EqualNoCase(text.substr(0, keyword.size()), keyword);
}

int32_t DispatchStatement(TransformRun &run) {
    TrimLeading(run.line);
    // Most lines are passed over by their first letter alone: a point line
    // begins with a digit, a style line with a letter no keyword begins with.
    const char first = run.line.empty() ? '\0' : FoldCase(run.line[0]);
    for (const KeywordRow &row : kKeywords) {
        if (row.keyword[0] == first && BeginsWithKeyword(run.line, row.keyword))
            return row.handler(run);
    }
    WriteOutputLine(run, run.line);
    return TR_OK;
}

int32_t HandleCoordSys(TransformRun &run) {
    // The clause may go on over the following lines; none of them is
    // written, since the output clause replaces the whole input clause.
    std::string clause = run.line;
    JoinClauseContinuations(run, clause);

    const int32_t code =
        FindInputProjection(run.list, clause, run.inHandle, run.flags, run.inName);
    if (code != TR_OK) return code;
    ReportStatus(run.callback, "Input projektion er %s", {run.inName});
    WriteOutputLine(run, run.outCoordSys);
    run.coordSysSeen = true;
    return TR_OK;
}

int32_t HandleTransform(TransformRun &run) {
    double scaleX = 0.0, scaleY = 0.0, offsetX = 0.0, offsetY = 0.0;
    if (ScanText(run.line, "%*s %lf %lf %lf %lf", {&scaleX, &scaleY, &offsetX, &offsetY}) != 4)
        return ReportSyntaxError(run);
    // The coefficients apply to every pair read after this line, which is
    // itself not written.
    run.scaleX = scaleX;
    run.scaleY = scaleY;
    run.offsetX = offsetX;
    run.offsetY = offsetY;
    return TR_OK;
}

int32_t HandleData(TransformRun &run) {
    if (!run.coordSysSeen) {
        // No CoordSys line came before: the input is taken as geographic
        // WGS84 in degrees. coordSysSeen stays false, so every Data line
        // repeats this while no CoordSys line has been seen.
        run.inHandle = ZAVTR_CreateProjectionHandle(kDefaultInputLabel);
        if (run.inHandle == 0) return TR_INTERNAL_ERROR;
        run.flags |= TF_IN_DEGREES;
        WriteOutputLine(run, run.outCoordSys);
        ReportStatus(run.callback,
                     "CoordSys ej fundet. Input antages at v\xE6re Lat/long WGS84", {});
    }
    WriteOutputLine(run, run.line);
    return TR_OK;
}

int32_t ReportSyntaxError(TransformRun &run) {
    ReportStatus(run.callback, "Syntax-fejl i linie:", {});
    // The offending line goes as it stands: a "%" in it is no format.
    ReportText(run.callback, run.line);
    return TR_SYNTAX_ERROR;
}
