#include "area.h"

#include <limits>
#include <utility>

namespace porvex {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr Bounds kOpen = {-kInfinity, -kInfinity, kInfinity, kInfinity};
// Points along each side of the area when its box is worked out.
constexpr int kDensifyPoints = 21;

// The system the area of use is taken from. The area is given as longitude
// and latitude on WGS 84; taken as longitude and latitude of the system's
// own geographic base it differs by that datum's shift from WGS 84, at most
// a few hundred metres, far less than the box around a projected area
// yields anyway. Going from the base spares the search for a datum
// transformation, which costs more than converting a small drawing. A base
// whose prime meridian is not Greenwich counts longitudes from elsewhere:
// there the area is reached from WGS 84 itself.
PJ *AreaSource(PJ_CONTEXT *context, const PJ *lonLat, const PJ *crs) {
    PJ *base = proj_crs_get_geodetic_crs(context, crs);
    PJ *meridian = base != nullptr ? proj_get_prime_meridian(context, base) : nullptr;
    double longitude = 1.0;
    if (meridian != nullptr)
        proj_prime_meridian_get_parameters(context, meridian, &longitude, nullptr, nullptr);
    proj_destroy(meridian);
    if (base != nullptr && longitude == 0.0 &&
        proj_get_type(base) != PJ_TYPE_GEOCENTRIC_CRS)
        return base;
    proj_destroy(base);
    return proj_clone(context, lonLat);
}

}  // namespace

Bounds AreaBounds(PJ_CONTEXT *context, const PJ *lonLat, const PJ *crs, bool geographic,
                  double radiansPerUnit) {
    // An unknown area comes back as -1000 in every limit. A west above
    // east means the area crosses the antimeridian.
    double west = 0.0, south = 0.0, east = 0.0, north = 0.0;
    if (!proj_get_area_of_use(context, crs, &west, &south, &east, &north, nullptr) ||
        west < -180.0 || east > 180.0 || south < -90.0 || north > 90.0 || south > north)
        return kOpen;

    PJ *base = AreaSource(context, lonLat, crs);
    PJ *official = proj_create_crs_to_crs_from_pj(context, base, crs, nullptr, nullptr);
    proj_destroy(base);
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
