// The projection list: four-line records tying each projection library
// label to the CoordSys clause that names the same projection in a drawing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// One record of the list file, as read.
struct ProjectionEntry {
    std::string description;  // line 1: shown when it is the input projection
    std::string label;        // line 2: handed to the projection library
    int32_t negateX = 0;      // line 3, first integer: x changes sign
    int32_t degrees = 0;      // line 3, second integer: MIF side in degrees
    std::string coordSys;     // line 4: the CoordSys clause
};

// The records in file order, as five parallel sequences of equal length.
struct ProjectionList {
    std::vector<std::string> labels;
    std::vector<std::string> descriptions;
    std::vector<std::string> coordSyses;
    std::vector<int32_t> negateXs;
    std::vector<int32_t> degreeses;
};

// Appends one record to all five sequences.
void AppendProjection(ProjectionList &list, const ProjectionEntry &entry);
// Fills an empty list from the file at path. False only when the file
// cannot be opened or reading it fails; loading ends quietly at a record
// whose third line does not scan to two integers.
bool LoadProjectionList(ProjectionList &list, const char *path);
// Finds the first record whose label equals the trimmed label (case aside),
// sets outCoordSys, adds TF_OUT_NEGATE_X / TF_OUT_DEGREES and creates the
// handle from the stored label. TR_OK, TR_UNSUPPORTED_PROJECTION or
// TR_INTERNAL_ERROR.
int32_t FindOutputProjection(const ProjectionList &list, const char *label,
                             uint32_t &outHandle, uint32_t &flags,
                             std::string &outCoordSys);
// Finds the first record whose clause CoordSysMatches the line, creates its
// handle, adds TF_IN_NEGATE_X / TF_IN_DEGREES and sets inName. Same codes.
int32_t FindInputProjection(const ProjectionList &list, std::string_view line,
                            uint32_t &inHandle, uint32_t &flags,
                            std::string &inName);
// True when the blank-free texts agree, case aside, over the length of the
// shorter one.
bool CoordSysMatches(std::string_view coordSys, std::string_view line);
// The text without its blanks (0x20); tabs stay.
std::string RemoveBlanks(std::string_view text);
