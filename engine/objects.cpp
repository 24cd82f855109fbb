#include "objects.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <string_view>

#include "dispatch.h"
#include "point_conversion.h"

namespace {

// Writes token (possibly empty) and the values as "%lf" writes them, one
// blank before each value that follows something, at at; gives the end.
char *PutNumbers(char *at, std::string_view token, std::initializer_list<double> values) {
    if (!token.empty()) {
        std::memcpy(at, token.data(), token.size());
        at += token.size();
    }
    bool first = token.empty();
    for (double value : values) {
        if (!first) *at++ = ' ';
        first = false;
        at = PutDouble(at, value);
    }
    return at;
}

// Writes token and the values as a line: the "%s %lf %lf", "%lf %lf" ...
// forms of the objects, four values at most. A line whose token is at most
// kTokenRoom long is put together right in the output buffer, a longer one
// in run.scratch, which keeps its capacity: point lines allocate nothing.
void WriteNumbers(TransformRun &run, std::string_view token,
                  std::initializer_list<double> values) {
    constexpr size_t kTokenRoom = 64;
    constexpr size_t kLineRoom = kTokenRoom + 4 * (kMaxDoubleChars + 1) + 2;
    if (token.size() <= kTokenRoom) {
        if (char *at = ReserveOutput(run.outputFile, kLineRoom)) {
            at = PutNumbers(at, token, values);
            *at++ = '\r';
            *at++ = '\n';
            CommitOutput(run.outputFile, at);
        }
        // A file that cannot be written has failed; the run checks that.
        return;
    }
    char numbers[4 * (kMaxDoubleChars + 1)];
    run.scratch.assign(token);
    run.scratch += ' ';
    run.scratch.append(numbers, static_cast<size_t>(PutNumbers(numbers, {}, values) - numbers));
    WriteOutputLine(run, run.scratch);
}

// Both pairs through the pair step, in order, stopping at the first that
// fails; then the line of token and the four converted numbers.
int32_t ConvertAndWriteTwoPairs(TransformRun &run, std::string_view token, double x1,
                                double y1, double x2, double y2) {
    if (ConvertPair(run, x1, y1) != TR_OK) return TR_TRANSFORM_FAILED;
    if (ConvertPair(run, x2, y2) != TR_OK) return TR_TRANSFORM_FAILED;
    WriteNumbers(run, token, {x1, y1, x2, y2});
    return TR_OK;
}

// Reads the next line of the object into run.line.
bool ReadObjectLine(TransformRun &run) { return ReadLine(run.inputFile, run.line); }

// Reads, converts and writes count point lines ("%lf %lf" in and out), one
// line in memory at a time. A count of 0 or below reads nothing.
int32_t ConvertPointLines(TransformRun &run, int32_t count) {
    // The line is scanned where the reader holds it; only a line that ends
    // the object in error is taken into run.line.
    std::string_view text;
    for (int32_t i = 0; i < count; ++i) {
        if (!ReadLineView(run.inputFile, run.line, text)) return TR_UNEXPECTED_EOF;
        double x = 0.0, y = 0.0;
        int32_t code = TR_OK;
        if (ScanPair(text, x, y) != 2) code = TR_SYNTAX_ERROR;
        else if (ConvertPair(run, x, y) != TR_OK) code = TR_TRANSFORM_FAILED;
        if (code != TR_OK) {
            if (text.data() != run.line.data()) run.line.assign(text);
            return code == TR_SYNTAX_ERROR ? ReportSyntaxError(run) : code;
        }
        WriteNumbers(run, {}, {x, y});
    }
    return TR_OK;
}

// Where the coordinate pair of a label line stands.
struct LabelPair {
    size_t xStart, xEnd, yStart, yEnd;
    double x, y;
};

// A label line is "Label Line <word> x y", the pair possibly written as
// "(x, y)": the first two words are Label and Line, and right after the
// third word (past white space and one opening bracket) stand two numbers,
// separated by white space and at most one comma. Anything else is no label
// line.
bool FindLabelPair(std::string_view line, LabelPair &pair) {
    size_t pos = 0;
    if (!EqualNoCase(NextWord(line, pos), "Label")) return false;
    if (!EqualNoCase(NextWord(line, pos), "Line")) return false;
    if (NextWord(line, pos).empty()) return false;
    SkipWhiteSpace(line, pos);
    if (pos < line.size() && line[pos] == '(') ++pos;
    SkipWhiteSpace(line, pos);
    pair.xStart = pos;
    pair.xEnd = pos + ScanNumber(line.substr(pos), pair.x);
    if (pair.xEnd == pair.xStart) return false;
    pos = pair.xEnd;
    SkipWhiteSpace(line, pos);
    if (pos < line.size() && line[pos] == ',') ++pos;
    SkipWhiteSpace(line, pos);
    pair.yStart = pos;
    pair.yEnd = pos + ScanNumber(line.substr(pos), pair.y);
    return pair.yEnd != pair.yStart;
}

}  // namespace

int32_t ConvertPair(TransformRun &run, double &x, double &y) {
    x = x * run.scaleX + run.offsetX;
    y = y * run.scaleY + run.offsetY;
    return TransformPoint(run.inHandle, run.outHandle, x, y, run.flags, run.callback);
}

// The keyword token is the first word of the line as read, written back
// whole: Point stays Point, POINT stays POINT, and a longer word such as
// Points or one of any length is kept as it stands.
int32_t HandlePointObject(TransformRun &run) {
    // "%*s %lf %lf": the word, then the pair in the rest of the line.
    size_t pos = 0;
    const std::string_view token = NextWord(run.line, pos);
    double x = 0.0, y = 0.0;
    if (ScanPair(std::string_view(run.line).substr(pos), x, y) != 2)
        return ReportSyntaxError(run);
    if (ConvertPair(run, x, y) != TR_OK) return TR_TRANSFORM_FAILED;
    WriteNumbers(run, token, {x, y});
    return TR_OK;
}

int32_t HandleTwoPairObject(TransformRun &run) {
    // "%*s %lf %lf %lf %lf": the word, then the four numbers in the rest.
    size_t pos = 0;
    const std::string_view token = NextWord(run.line, pos);
    double x1 = 0.0, y1 = 0.0, x2 = 0.0, y2 = 0.0;
    if (ScanText(std::string_view(run.line).substr(pos), "%lf %lf %lf %lf",
                 {&x1, &y1, &x2, &y2}) != 4)
        return ReportSyntaxError(run);
    return ConvertAndWriteTwoPairs(run, token, x1, y1, x2, y2);
}

int32_t HandleSectionObject(TransformRun &run) {
    // How many sections follow, and whether the header already gave the
    // point count of the only one (then no count line follows).
    int32_t sections = 1;
    int32_t points = 0;
    bool headerGaveCount = false;
    const std::string_view header = run.line;
    if (BeginsWithKeyword(header, "PLINE")) {
        // "Pline Multiple 3" (two words, then the section count), else
        // "Pline 12" (the point count), else a bare header.
        if (ScanText(header, "%*s %*s %d", {&sections}) != 1) {
            sections = 1;
            headerGaveCount = ScanText(header, "%*s %d", {&points}) == 1;
        }
    } else if (BeginsWithKeyword(header, "MULTIPOINT")) {
        // One section whose point count stands on the header.
        if (ScanText(header, "%*s %d", {&points}) != 1) return ReportSyntaxError(run);
        headerGaveCount = true;
    } else if (ScanText(header, "%*s %d", {&sections}) != 1) {
        sections = 1;  // a Region header without a count
    }
    WriteOutputLine(run, run.line);

    for (int32_t section = 0; section < sections; ++section) {
        if (!headerGaveCount) {
            // A count line may carry text after the number; it is copied as read.
            if (!ReadObjectLine(run)) return TR_UNEXPECTED_EOF;
            if (ScanText(run.line, "%d", {&points}) != 1) return ReportSyntaxError(run);
            WriteOutputLine(run, run.line);
        }
        const int32_t code = ConvertPointLines(run, points);
        if (code != TR_OK) return code;
    }
    return TR_OK;
}

int32_t HandleText(TransformRun &run) {
    // The text stands on the statement line, or, when nothing but white
    // space follows the keyword, on the next line, which is copied whatever
    // it holds (a keyword included).
    const std::string_view line = run.line;
    const std::string_view afterKeyword = line.substr(std::min<size_t>(4, line.size()));
    if (std::all_of(afterKeyword.begin(), afterKeyword.end(), IsWhiteSpace)) {
        WriteOutputLine(run, run.line);
        if (!ReadObjectLine(run)) return TR_UNEXPECTED_EOF;
    }
    WriteOutputLine(run, run.line);

    if (!ReadObjectLine(run)) return TR_UNEXPECTED_EOF;
    double x1 = 0.0, y1 = 0.0, x2 = 0.0, y2 = 0.0;
    if (ScanText(run.line, "%lf %lf %lf %lf", {&x1, &y1, &x2, &y2}) != 4)
        return ReportSyntaxError(run);
    return ConvertAndWriteTwoPairs(run, {}, x1, y1, x2, y2);
}

int32_t HandleLabelLine(TransformRun &run) {
    LabelPair pair{};
    if (!FindLabelPair(run.line, pair)) {
        WriteOutputLine(run, run.line);
        return TR_OK;
    }
    const std::string_view line = run.line;
    double x = pair.x, y = pair.y;
    if (ConvertPair(run, x, y) != TR_OK) return TR_TRANSFORM_FAILED;
    // The text around the two numbers stays as it was.
    run.scratch.assign(line.substr(0, pair.xStart));
    AppendDouble(run.scratch, x);
    run.scratch.append(line.substr(pair.xEnd, pair.yStart - pair.xEnd));
    AppendDouble(run.scratch, y);
    run.scratch.append(line.substr(pair.yEnd));
    WriteOutputLine(run, run.scratch);
    return TR_OK;
}
