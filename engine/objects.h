// Object statements: the handlers that convert the coordinates of points,
// two-corner objects, polylines, regions and text boxes.
#pragma once

#include <cstdint>

#include "run.h"

// The Transform coefficients, then TransformPoint; x and y change in place.
int32_t ConvertPair(TransformRun &run, double &x, double &y);
int32_t HandlePointObject(TransformRun &run);
int32_t HandleTwoPairObject(TransformRun &run);
// Pline, Region and Multipoint: the header, the count lines, the point lines.
int32_t HandleSectionObject(TransformRun &run);
int32_t HandleText(TransformRun &run);
// A "Label Line" line of a text object: its coordinate pair is converted and
// the rest of the line kept; any other line beginning with Label is copied.
int32_t HandleLabelLine(TransformRun &run);
