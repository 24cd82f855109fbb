// porvex: the projection library, a thin layer over PROJ.
//
// A label names a coordinate reference system of PROJ's database (see
// labels.cpp); the system is created once and gets a handle, its index in
// a small table plus one. Aliases of one system ("geo_etrs89",
// "geo_euref89", "EPSG:4258") share its handle, so a drawing that names
// its system a thousand times still holds one handle. For a compound
// system the horizontal part is used; geocentric, vertical and engineering
// systems get no handle, as a drawing's x and y mean nothing in them.
//
// The transformation of an (input, output) pair is created on first use,
// normalised to easting/longitude first, and kept until
// ZAVTR_TerminateLibrary; the pair used last is remembered, so a stream of
// points between the same two systems costs one comparison of handles, the
// change to the systems' angle units, one proj_trans and two box checks.
//
// Area of use: each system holds a box around its area of use in its own
// coordinates, worked out once (see area.h). A point whose input lies
// outside the input system's box, or whose result lies outside the output
// system's, is converted and gets ZAVTR_OUTSIDE_AREA. The boxes of projected
// systems are lenient away from the widest part of their areas; they catch
// points that are plainly elsewhere, not every point a little past a zone's
// edge.
//
// Accuracy of datum changes. PROJ's network access is off, so PROJ uses the
// best transformation it can carry out with what is installed: the EPSG
// register's formula-based transformations and the few grid files that
// Debian's proj-data ships (Swiss CHENYX06, French ntf_r93, German
// BETA2007, New Zealand nzgd2k, the EGM96 geoid; no grid of North America
// or of the Nordic countries). For ED50 to ETRS89 that is
// the Helmert transformation of the country: about 1 m in Denmark onshore
// (EPSG:1626), 1-5 m in France, Spain, Portugal, Gibraltar, Turkey and off
// the coasts of Norway north of 65 N, Germany and the Netherlands. Where no country
// publishes one (Italy, say) PROJ falls back to a "ballpark" change that
// applies no datum shift at all, and the result is off by the whole shift,
// typically 100-200 m, with no warning. ED50 to WGS 84 has a Europe-wide
// mean transformation (EPSG:1133, about 10 m) beside the national ones.
// ETRS89 to WGS 84 is taken as the null transformation (1 m; the two drift
// apart by about 2.5 cm a year). NAD27 to NAD83 needs grids that are not
// installed and is a ballpark change, off by up to about 100 m.
//
// One PJ_CONTEXT is owned by the library; calls must come from one thread
// at a time. PROJ writes no log: the caller reports failures itself.
#include <proj.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <new>
#include <vector>

#include "area.h"
#include "labels.h"
#include "zavtrlib.h"

namespace porvex {
namespace {

// Init results other than 0.
constexpr int32_t kNoContext = 1;
constexpr int32_t kNoDatabase = 2;

struct Projection {
    PJ *crs;
    int32_t epsgCode;
    double radiansPerUnit;  // 1 for projected systems
    Bounds bounds;          // library-side coordinates
    bool geographic;
};

// One (input, output) pair. Library-side values become the input system's
// own by a division by inDivisor, and the output system's own become
// library-side ones by a multiplication by outFactor; both are 1 for
// projected systems and for the identity.
struct Pair {
    uint32_t inHandle;
    uint32_t outHandle;
    bool identity;
    PJ *operation;  // nullptr for the identity, or when PROJ has none
    double inDivisor;
    double outFactor;
    Bounds inBounds;   // library-side coordinates
    Bounds outBounds;
    bool inGeographic;
    bool outGeographic;
};

struct Library {
    PJ_CONTEXT *context = nullptr;
    PJ *lonLat = nullptr;  // geographic WGS 84, where areas of use are given
    std::vector<Projection> projections;  // handle h at index h - 1
    // pairs[in - 1][out - 1], created on first use
    std::vector<std::vector<std::unique_ptr<Pair>>> pairs;
    Pair *lastPair = nullptr;
};

Library gLibrary;

bool IsGeographic(PJ_TYPE type) {
    return type == PJ_TYPE_GEOGRAPHIC_2D_CRS || type == PJ_TYPE_GEOGRAPHIC_3D_CRS;
}

// The system an EPSG code names, made ready for use; false when the
// database has none or it is not one a drawing can be in.
bool CreateProjection(int32_t epsgCode, Projection &projection) {
    PJ_CONTEXT *context = gLibrary.context;
    char code[16];
    std::snprintf(code, sizeof code, "%d", static_cast<int>(epsgCode));
    PJ *crs = proj_create_from_database(context, "EPSG", code, PJ_CATEGORY_CRS, 0, nullptr);
    if (crs != nullptr && proj_get_type(crs) == PJ_TYPE_COMPOUND_CRS) {
        PJ *horizontal = proj_crs_get_sub_crs(context, crs, 0);
        proj_destroy(crs);
        crs = horizontal;
    }
    if (crs == nullptr) return false;

    const PJ_TYPE type = proj_get_type(crs);
    double radiansPerUnit = 1.0;
    if (IsGeographic(type)) {
        PJ *axes = proj_crs_get_coordinate_system(context, crs);
        if (axes == nullptr ||
            !proj_cs_get_axis_info(context, axes, 0, nullptr, nullptr, nullptr, &radiansPerUnit,
                                   nullptr, nullptr, nullptr))
            radiansPerUnit = 0.0;
        proj_destroy(axes);
    }
    if (!(IsGeographic(type) || type == PJ_TYPE_PROJECTED_CRS) || !(radiansPerUnit > 0.0)) {
        proj_destroy(crs);
        return false;
    }
    projection = {crs, epsgCode, radiansPerUnit,
                  AreaBounds(context, gLibrary.lonLat, crs, IsGeographic(type), radiansPerUnit),
                  IsGeographic(type)};
    return true;
}

void CreatePair(uint32_t inHandle, uint32_t outHandle, Pair &pair) {
    PJ_CONTEXT *context = gLibrary.context;
    const Projection &in = gLibrary.projections[inHandle - 1];
    const Projection &out = gLibrary.projections[outHandle - 1];
    pair.inHandle = inHandle;
    pair.outHandle = outHandle;
    pair.identity = inHandle == outHandle;
    pair.operation = nullptr;
    pair.inDivisor = pair.identity ? 1.0 : in.radiansPerUnit;
    pair.outFactor = pair.identity ? 1.0 : out.radiansPerUnit;
    if (!pair.identity) {
        PJ *official = proj_create_crs_to_crs_from_pj(context, in.crs, out.crs, nullptr, nullptr);
        if (official != nullptr) {
            pair.operation = proj_normalize_for_visualization(context, official);
            proj_destroy(official);
        }
    }
    pair.inBounds = in.bounds;
    pair.outBounds = out.bounds;
    pair.inGeographic = in.geographic;
    pair.outGeographic = out.geographic;
}

// Longitude and latitude (radians) that no place on the Earth has: a
// latitude beyond a pole, or a longitude beyond a full turn either way.
// Such a pair is no point, so it is not converted at all: a tolerance
// warning would let rlx=1 write it out as if it were one (metres taken for
// degrees, say).
bool OffTheEarth(double longitude, double latitude) {
    constexpr double kQuarterTurn = 1.5707963267948966 * (1.0 + 1e-12);
    constexpr double kFullTurn = 6.283185307179586 * (1.0 + 1e-12);
    return std::fabs(latitude) > kQuarterTurn || std::fabs(longitude) > kFullTurn;
}

// Finds or creates the pair of two handles and makes it the last one used.
// ZAVTR_BAD_HANDLE for a handle never given, ZAVTR_FAILED when memory ran
// out.
int32_t SelectPair(uint32_t inHandle, uint32_t outHandle, Pair *&pair) noexcept {
    const size_t count = gLibrary.projections.size();
    if (inHandle == 0 || outHandle == 0 || inHandle > count || outHandle > count)
        return ZAVTR_BAD_HANDLE;
    try {
        std::vector<std::unique_ptr<Pair>> &row = gLibrary.pairs[inHandle - 1];
        if (row.size() < outHandle) row.resize(outHandle);
        std::unique_ptr<Pair> &slot = row[outHandle - 1];
        if (!slot) {
            auto created = std::make_unique<Pair>();
            CreatePair(inHandle, outHandle, *created);
            slot = std::move(created);
        }
        pair = slot.get();
    } catch (const std::bad_alloc &) {
        return ZAVTR_FAILED;
    }
    gLibrary.lastPair = pair;
    return ZAVTR_OK;
}

int32_t ConvertPoint(const Pair &pair, double x, double y, double *xOut, double *yOut) {
    if (!(std::isfinite(x) && std::isfinite(y))) return ZAVTR_FAILED;
    if (pair.inGeographic && OffTheEarth(x, y)) return ZAVTR_FAILED;
    const bool inputInside = InsideBounds(pair.inBounds, x, y);
    double u = x, v = y;
    if (!pair.identity) {
        if (pair.operation == nullptr) return ZAVTR_FAILED;
        PJ_COORD point;
        point.xyzt = {x / pair.inDivisor, y / pair.inDivisor, 0.0, HUGE_VAL};
        point = proj_trans(pair.operation, PJ_FWD, point);
        u = point.xyzt.x * pair.outFactor;
        v = point.xyzt.y * pair.outFactor;
        if (!(std::isfinite(u) && std::isfinite(v))) {
            proj_errno_reset(pair.operation);
            return ZAVTR_FAILED;
        }
        if (pair.outGeographic && OffTheEarth(u, v)) return ZAVTR_FAILED;
    }
    const bool inside = inputInside && InsideBounds(pair.outBounds, u, v);
    *xOut = u;
    *yOut = v;
    return inside ? ZAVTR_OK : ZAVTR_OUTSIDE_AREA;
}

}  // namespace
}  // namespace porvex

using porvex::gLibrary;

extern "C" {

ZAVTR_API int32_t ZAVTR_InitLibrary2(void) {
    if (gLibrary.context != nullptr) return 0;
    PJ_CONTEXT *context = proj_context_create();
    if (context == nullptr) return porvex::kNoContext;
    proj_log_level(context, PJ_LOG_NONE);
    proj_context_set_enable_network(context, 0);
    // Opens the database: fails when it cannot be found or read.
    PJ *lonLat = proj_create_from_database(context, "EPSG", "4326", PJ_CATEGORY_CRS, 0, nullptr);
    if (lonLat == nullptr) {
        proj_context_destroy(context);
        return porvex::kNoDatabase;
    }
    gLibrary.context = context;
    gLibrary.lonLat = lonLat;
    return 0;
}

ZAVTR_API uint32_t ZAVTR_CreateProjectionHandle(const char *label) {
    if (gLibrary.context == nullptr) return 0;
    const int32_t epsgCode = porvex::EpsgCodeOfLabel(label);
    if (epsgCode == 0) return 0;
    std::vector<porvex::Projection> &projections = gLibrary.projections;
    for (size_t i = 0; i < projections.size(); ++i)
        if (projections[i].epsgCode == epsgCode) return static_cast<uint32_t>(i + 1);

    porvex::Projection projection;
    if (!porvex::CreateProjection(epsgCode, projection)) return 0;
    try {
        projections.reserve(projections.size() + 1);
        gLibrary.pairs.reserve(projections.size() + 1);
    } catch (const std::bad_alloc &) {
        proj_destroy(projection.crs);
        return 0;
    }
    projections.push_back(projection);
    gLibrary.pairs.emplace_back();
    return static_cast<uint32_t>(projections.size());
}

// Not converted (ZAVTR_FAILED, ZAVTR_BAD_HANDLE): *xOut and *yOut are
// HUGE_VAL. *zOut is always z.
ZAVTR_API int32_t ZAVTR_TransformViaHandle(uint32_t inHandle, uint32_t outHandle, double x,
                                           double y, double z, double *xOut, double *yOut,
                                           double *zOut, int32_t *code) {
    if (xOut == nullptr || yOut == nullptr || zOut == nullptr || code == nullptr)
        return ZAVTR_FAILED;
    *xOut = HUGE_VAL;
    *yOut = HUGE_VAL;
    *zOut = z;
    porvex::Pair *pair = gLibrary.lastPair;
    if (pair == nullptr || pair->inHandle != inHandle || pair->outHandle != outHandle) {
        const int32_t selected = porvex::SelectPair(inHandle, outHandle, pair);
        if (selected != ZAVTR_OK) return *code = selected;
    }
    return *code = porvex::ConvertPoint(*pair, x, y, xOut, yOut);
}

ZAVTR_API int32_t ZAVTR_TerminateLibrary(void) {
    for (auto &row : gLibrary.pairs)
        for (auto &pair : row)
            if (pair) proj_destroy(pair->operation);
    for (porvex::Projection &projection : gLibrary.projections) proj_destroy(projection.crs);
    proj_destroy(gLibrary.lonLat);
    if (gLibrary.context != nullptr) proj_context_destroy(gLibrary.context);
    gLibrary = porvex::Library{};
    return 0;
}

}  // extern "C"
