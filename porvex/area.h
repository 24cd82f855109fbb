// Areas of use: where a coordinate reference system is meant to be used,
// as a box its coordinates are checked against.
#pragma once

#include <proj.h>

namespace porvex {

// A box in the coordinates a caller of the library sees (radians for
// geographic systems). An xMin above xMax wraps across the antimeridian:
// x is inside when it is at least xMin or at most xMax. Infinite limits
// leave a side open; an empty box has yMin above yMax.
struct Bounds {
    double xMin;
    double yMin;
    double xMax;
    double yMax;
};

inline bool InsideBounds(const Bounds &bounds, double x, double y) {
    if (!(y >= bounds.yMin && y <= bounds.yMax)) return false;
    if (bounds.xMin <= bounds.xMax) return x >= bounds.xMin && x <= bounds.xMax;
    return x >= bounds.xMin || x <= bounds.xMax;
}

// The box around the area of use that the database records for crs, in
// its own coordinates, reached from geographic WGS 84 (lonLat, longitude
// first). geographic says whether crs is geographic, radiansPerUnit how
// many radians one unit of its axes holds. For a geographic system the box
// is the area itself. For a projected one it encloses the area's image,
// which is curved, so a point somewhat beyond the area's edge near a corner
// may pass: UTM zone 32N reaches about 834 km east at the equator, so at
// 55 N points up to about 14 E pass. A box that cannot be worked out, or a
// system without a recorded area, leaves every side open.
Bounds AreaBounds(PJ_CONTEXT *context, const PJ *lonLat, const PJ *crs, bool geographic,
                  double radiansPerUnit);

}  // namespace porvex
