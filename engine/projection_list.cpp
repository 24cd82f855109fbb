// The projection list: loading the four-line records and the two lookups.
#include "projection_list.h"

#include <algorithm>
#include <new>

#include "kavro.h"
#include "text.h"
#include "zavtrlib.h"

void AppendProjection(ProjectionList &list, const ProjectionEntry &entry) {
    list.labels.push_back(entry.label);
    list.descriptions.push_back(entry.description);
    list.coordSyses.push_back(entry.coordSys);
    list.negateXs.push_back(entry.negateX);
    list.degreeses.push_back(entry.degrees);
}

namespace {

// Reads the next record into entry. Each line is read only when the one
// before it was there; lines not read stay empty. complete tells whether
// all four lines were there. False on a read error.
bool ReadRecord(TextFile &file, ProjectionEntry &entry, std::string &flagLine,
                bool &complete) {
    entry.description.clear();
    entry.label.clear();
    flagLine.clear();
    entry.coordSys.clear();
    complete = ReadLine(file, entry.description) && ReadLine(file, entry.label) &&
               ReadLine(file, flagLine) && ReadLine(file, entry.coordSys);
    return !file.failed;
}

// Reads the records of an open list file into list; false on a read error.
bool ReadRecords(TextFile &file, ProjectionList &list) {
    ProjectionEntry entry;
    std::string flagLine;
    bool complete = true;
    while (complete) {
        if (!ReadRecord(file, entry, flagLine, complete)) return false;
        // A third line that is not two integers ends the list, quietly.
        if (ScanText(flagLine, "%d %d", {&entry.negateX, &entry.degrees}) != 2) break;
        AppendProjection(list, entry);
    }
    return true;
}

}  // namespace

bool LoadProjectionList(ProjectionList &list, const char *path) {
    TextFile file;
    // Runs side by side may share one list: readers do not keep each other
    // out, a writer that holds the file does.
    if (!OpenReadShared(file, path)) return false;
    bool loaded;
    try {
        loaded = ReadRecords(file, list);
    } catch (const std::bad_alloc &) {
        loaded = false;
    }
    // The file was only read: a failing close loses nothing of it.
    Close(file);
    return loaded;
}

int32_t FindOutputProjection(const ProjectionList &list, const char *label,
                             uint32_t &outHandle, uint32_t &flags,
                             std::string &outCoordSys) {
    std::string wanted(label != nullptr ? label : "");
    TrimLeading(wanted);
    TrimTrailing(wanted);
    const auto found = std::find_if(list.labels.begin(), list.labels.end(),
                                    [&](const std::string &stored) {
                                        return EqualNoCase(stored, wanted);
                                    });
    if (found == list.labels.end()) return TR_UNSUPPORTED_PROJECTION;
    const size_t i = static_cast<size_t>(found - list.labels.begin());

    outCoordSys = list.coordSyses[i];
    if (list.negateXs[i] != 0) flags |= TF_OUT_NEGATE_X;
    if (list.degreeses[i] != 0) flags |= TF_OUT_DEGREES;
    outHandle = ZAVTR_CreateProjectionHandle(list.labels[i].c_str());
    return outHandle != 0 ? TR_OK : TR_INTERNAL_ERROR;
}

namespace {

// CoordSysMatches with the line's blanks already removed. The clause is
// taken a run of non-blanks at a time, each compared with the same stretch
// of the line; the test ends as soon as either text is used up.
bool BlankFreeMatches(std::string_view coordSys, std::string_view bareLine) {
    size_t i = 0;  // place in coordSys
    size_t j = 0;  // place in bareLine
    for (;;) {
        while (i < coordSys.size() && coordSys[i] == ' ') ++i;
        if (i == coordSys.size() || j == bareLine.size()) return true;
        size_t runEnd = coordSys.find(' ', i);
        if (runEnd == std::string_view::npos) runEnd = coordSys.size();
        const size_t n = std::min(runEnd - i, bareLine.size() - j);
        if (!EqualNoCase(coordSys.substr(i, n), bareLine.substr(j, n))) return false;
        i += n;
        j += n;
    }
}

}  // namespace

int32_t FindInputProjection(const ProjectionList &list, std::string_view line,
                            uint32_t &inHandle, uint32_t &flags,
                            std::string &inName) {
    const std::string bareLine = RemoveBlanks(line);
    const size_t count = list.coordSyses.size();
    size_t i = 0;
    while (i < count && !BlankFreeMatches(list.coordSyses[i], bareLine)) ++i;
    if (i == count) return TR_UNSUPPORTED_PROJECTION;

    inHandle = ZAVTR_CreateProjectionHandle(list.labels[i].c_str());
    if (inHandle == 0) return TR_INTERNAL_ERROR;
    if (list.negateXs[i] != 0) flags |= TF_IN_NEGATE_X;
    if (list.degreeses[i] != 0) flags |= TF_IN_DEGREES;
    inName = list.descriptions[i];
    return TR_OK;
}

bool CoordSysMatches(std::string_view coordSys, std::string_view line) {
    return BlankFreeMatches(coordSys, RemoveBlanks(line));
}

std::string RemoveBlanks(std::string_view text) {
    std::string bare;
    bare.reserve(text.size());
    for (char c : text)
        if (c != ' ') bare.push_back(c);
    return bare;
}
