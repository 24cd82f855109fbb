// Labels: the short names by which callers pick a coordinate reference
// system. Every label names one system of the EPSG register.
#pragma once

#include <cstdint>

namespace porvex {

// The EPSG code that a label names, or 0 when the text is not a label.
// ASCII letters match without regard to case; nothing else is folded or
// trimmed. The code of an "EPSG:<code>" label is not checked against the
// database here.
int32_t EpsgCodeOfLabel(const char *label);

}  // namespace porvex
