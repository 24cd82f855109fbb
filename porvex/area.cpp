#include "area.h"

#include <limits>
#include <utility>

namespace porvex {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr Bounds kOpen = {-kInfinity, -kInfinity, kInfinity, kInfinity};
// Points along each side of the area when its box is worked out.
constexpr int kDensifyPoints = 21;

}  // namespace

Bounds AreaBounds(PJ_CONTEXT *context, const PJ *lonLat, const PJ *crs, bool geographic,
                  double radiansPerUnit) {
    // An unknown area comes back as -1000 in every limit. A west above
    // east means the area crosses the antimeridian.
    double west = 0.0, south = 0.0, east = 0.0, north = 0.0;
    if (!proj_get_area_of_use(context, crs, &west, &south, &east, &north, nullptr) ||
        west < -180.0 || east > 180.0 || south < -90.0 || north > 90.0 || south > north)
        return kOpen;

    PJ *official = proj_create_crs_to_crs_from_pj(context, lonLat, crs, nullptr, nullptr);
    if (official == nullptr) return kOpen;
    PJ *operation = proj_normalize_for_visualization(context, official);
    proj_destroy(official);
    if (operation == nullptr) return kOpen;
    Bounds bounds = kOpen;
    const int worked =
        proj_trans_bounds(context, operation, PJ_FWD, west, south, east, north, &bounds.xMin,
                          &bounds.yMin, &bounds.xMax, &bounds.yMax, kDensifyPoints);
    proj_destroy(operation);
    if (!worked) return kOpen;
    if (!geographic) return bounds;

    // An area that crosses the antimeridian (NAD83's, from the Aleutians
    // eastwards) must come back as a box that wraps; the transformed edges
    // may come back in rising order, which would turn the area inside out.
    if (west > east && bounds.xMin <= bounds.xMax) std::swap(bounds.xMin, bounds.xMax);

    // A datum shift may move the edges of a world-wide area across the
    // antimeridian; longitude then stays open.
    if ((west == -180.0 && east == 180.0)) {
        bounds.xMin = -kInfinity;
        bounds.xMax = kInfinity;
    }
    bounds.xMin *= radiansPerUnit;
    bounds.xMax *= radiansPerUnit;
    bounds.yMin *= radiansPerUnit;
    bounds.yMax *= radiansPerUnit;
    return bounds;
}

}  // namespace porvex
