// Conversions per second from ETRS89 / UTM zone 32N to geographic WGS 84:
// through ZAVTR_TransformViaHandle, and through a plain proj_trans loop on
// the same points, the floor the library is measured against. Compare the
// items_per_second of the two (run with --benchmark_repetitions=9 and read
// the medians).
#include <benchmark/benchmark.h>
#include <proj.h>

#include <cmath>
#include <vector>

#include "zavtrlib.h"

namespace {

struct Point {
    double x;
    double y;
};

// A grid of points over Denmark in UTM zone 32N.
const std::vector<Point> &DanishPoints() {
    static const std::vector<Point> points = [] {
        std::vector<Point> grid;
        for (int row = 0; row < 64; ++row)
            for (int column = 0; column < 64; ++column)
                grid.push_back({440000.0 + column * 4531.25, 6050000.0 + row * 5468.75});
        return grid;
    }();
    return points;
}

void PorvexTransform(benchmark::State &state) {
    if (ZAVTR_InitLibrary2() != 0) {
        state.SkipWithError("the library does not initialise");
        return;
    }
    const uint32_t in = ZAVTR_CreateProjectionHandle("utm32_etrs89");
    const uint32_t out = ZAVTR_CreateProjectionHandle("geo_wgs84");
    const std::vector<Point> &points = DanishPoints();
    int32_t worst = 0;
    for (auto _ : state) {
        for (const Point &point : points) {
            double x = 0.0, y = 0.0, z = 0.0;
            int32_t code = 0;
            ZAVTR_TransformViaHandle(in, out, point.x, point.y, 0.0, &x, &y, &z, &code);
            benchmark::DoNotOptimize(x);
            benchmark::DoNotOptimize(y);
            worst = code < worst ? code : worst;
        }
    }
    ZAVTR_TerminateLibrary();
    if (worst != 0) state.SkipWithError("a point was not converted cleanly");
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(points.size()));
}

void PlainProjTransform(benchmark::State &state) {
    PJ_CONTEXT *context = proj_context_create();
    proj_context_set_enable_network(context, 0);
    PJ *official = proj_create_crs_to_crs(context, "EPSG:25832", "EPSG:4326", nullptr);
    PJ *operation = official ? proj_normalize_for_visualization(context, official) : nullptr;
    proj_destroy(official);
    if (operation == nullptr) {
        proj_context_destroy(context);
        state.SkipWithError("PROJ has no transformation");
        return;
    }
    const std::vector<Point> &points = DanishPoints();
    for (auto _ : state) {
        for (const Point &point : points) {
            PJ_COORD coord = proj_coord(point.x, point.y, 0.0, HUGE_VAL);
            coord = proj_trans(operation, PJ_FWD, coord);
            benchmark::DoNotOptimize(coord);
        }
    }
    proj_destroy(operation);
    proj_context_destroy(context);
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(points.size()));
}

}  // namespace

BENCHMARK(PorvexTransform);
BENCHMARK(PlainProjTransform);
