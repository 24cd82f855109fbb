// Point conversion: one coordinate pair through the projection library,
// with the sign and angle-unit adjustments the flag word asks for.
#pragma once

#include <cstdint>

#include "kavro.h"

// Converts (x, y) in place from inHandle to outHandle. TR_OK when the
// library's code is accepted (0, or >= -4 under TF_RELAX), otherwise
// TR_TRANSFORM_FAILED; x and y are replaced in both cases.
int32_t TransformPoint(uint32_t inHandle, uint32_t outHandle, double &x,
                       double &y, uint32_t flags, StatusCallback callback);
