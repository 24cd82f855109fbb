#include "point_conversion.h"

#include <cmath>

#include "run.h"
#include "zavtrlib.h"

namespace {

// Degrees to radians: pi/4 times the double nearest 1/45, which is
// 0.017453292519943295. Radians go back to degrees by multiplying with its
// reciprocal (57.29577951308232), never by dividing, so that pi comes back
// as exactly 180.
const double kDegreesToRadians = std::atan(1.0) * 0.022222222222222223;
const double kRadiansToDegrees = 1.0 / kDegreesToRadians;

// The lowest library code that TF_RELAX still accepts: -1 to -4 are
// tolerance warnings, and every positive code passes along with them.
constexpr int32_t kLowestRelaxedCode = -4;

}  // namespace

int32_t TransformPoint(uint32_t inHandle, uint32_t outHandle, double &x,
                       double &y, uint32_t flags, StatusCallback callback) {
    const double z = 0.0;
    const bool verbose = (flags & TF_VERBOSE) != 0;
    if (verbose) ReportStatus(callback, "Xin = %lf Yin = %lf  Zin=%lf ", {x, y, z});

    double xIn = x;
    double yIn = y;
    if (flags & TF_IN_NEGATE_X) xIn = -xIn;
    if (flags & TF_IN_DEGREES) {
        xIn *= kDegreesToRadians;
        yIn *= kDegreesToRadians;
    }

    double xOut = 0.0;
    double yOut = 0.0;
    double zOut = 0.0;
    int32_t code = 0;
    ZAVTR_TransformViaHandle(inHandle, outHandle, xIn, yIn, z, &xOut, &yOut, &zOut, &code);

    if (flags & TF_OUT_NEGATE_X) xOut = -xOut;
    if (flags & TF_OUT_DEGREES) {
        xOut *= kRadiansToDegrees;
        yOut *= kRadiansToDegrees;
    }
    if (verbose)
        ReportStatus(callback, "XOut = %lf YOut = %lf ZOut=%lf RetVal = %d",
                     {xOut, yOut, zOut, code});

    // The converted values replace the pair even when the code is refused.
    x = xOut;
    y = yOut;
    const bool accepted =
        code == 0 || ((flags & TF_RELAX) != 0 && code >= kLowestRelaxedCode);
    return accepted ? TR_OK : TR_TRANSFORM_FAILED;
}
