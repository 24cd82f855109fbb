// The projection library over PROJ: labels and handles, conversions checked
// against published worked examples, round trips, codes and the life cycle.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "test_support.h"
#include "zavtrlib.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRadiansPerDegree = kPi / 180.0;
// Metres in a radian of latitude, near enough to judge a round trip.
constexpr double kMetresPerRadian = 6378137.0;

double Degrees(int degrees, int minutes, double seconds) {
    const double value = std::abs(degrees) + minutes / 60.0 + seconds / 3600.0;
    return degrees < 0 ? -value : value;
}

struct Result {
    double x;
    double y;
    double z;
    int32_t code;
    int32_t returned;
};

class PorvexTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(ZAVTR_InitLibrary2(), 0); }
    void TearDown() override { ZAVTR_TerminateLibrary(); }

    static uint32_t Handle(const std::string &label) {
        return ZAVTR_CreateProjectionHandle(label.c_str());
    }
    static Result Convert(uint32_t in, uint32_t out, double x, double y, double z = 0.0) {
        Result result = {0.0, 0.0, 0.0, 12345, 0};
        result.returned =
            ZAVTR_TransformViaHandle(in, out, x, y, z, &result.x, &result.y, &result.z,
                                     &result.code);
        return result;
    }
    static Result Convert(const std::string &in, const std::string &out, double x, double y) {
        return Convert(Handle(in), Handle(out), x, y);
    }
};

// ---- Labels and handles ----

// Each label names the same system as its EPSG code.
TEST_F(PorvexTest, LabelsNameTheirSystems) {
    const struct {
        const char *label;
        const char *system;
    } cases[] = {
        {"geo_wgs84", "EPSG:4326"},     {"GEO_WGS84", "EPSG:4326"},
        {"geo_etrs89", "EPSG:4258"},    {"Geo_Euref89", "EPSG:4258"},
        {"geo_ed50", "EPSG:4230"},      {"geo_nad83", "EPSG:4269"},
        {"geo_nad27", "EPSG:4267"},     {"utm1_wgs84", "EPSG:32601"},
        {"utm32_wgs84", "EPSG:32632"},  {"utm60_wgs84", "EPSG:32660"},
        {"utm1s_wgs84", "EPSG:32701"},  {"UTM33S_WGS84", "EPSG:32733"},
        {"utm60s_wgs84", "EPSG:32760"}, {"utm28_etrs89", "EPSG:25828"},
        {"Utm32_Etrs89", "EPSG:25832"}, {"utm38_euref89", "EPSG:25838"},
        {"utm28_ed50", "EPSG:23028"},   {"utm38_ed50", "EPSG:23038"},
        {"webmrc", "EPSG:3857"},        {"dktm1", "EPSG:4093"},
        {"DKTM4", "EPSG:4096"},         {"kp2000j", "EPSG:2196"},
        {"kp2000s", "EPSG:2197"},       {"KP2000B", "EPSG:2198"},
        {"epsg:27700", "EPSG:27700"},   {"Epsg:5972", "EPSG:5972"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        const uint32_t handle = Handle(c.label);
        EXPECT_NE(handle, 0u);
        EXPECT_EQ(handle, Handle(c.system));
    }
    // A compound system converts by its horizontal part.
    const Result compound = Convert("EPSG:5972", "utm32_etrs89", 500000.0, 6200000.0);
    EXPECT_EQ(compound.code, ZAVTR_OK);
    EXPECT_EQ(compound.x, 500000.0);
}

TEST_F(PorvexTest, TextsThatAreNotLabelsGetNoHandle) {
    const char *const cases[] = {
        "", "geo_wgs84 ", " geo_wgs84", "geo_wgs84\r", "geo_wgs", "geo_wgs84\xE5",
        "utm032_wgs84", "utm32_wgs84x", "utm0_wgs84", "utm61_wgs84", "utm100_wgs84",
        "utm_wgs84", "utm32wgs84", "utm32_", "utm32_nad83", "utm27_etrs89", "utm39_euref89",
        "utm39_ed50", "utm32s_etrs89", "utm32s_ed50", "utm32n_wgs84", "dktm0", "dktm5",
        "kp2000", "kp2000x", "webmerc", "EPSG", "EPSG:", "EPSG: 4326", "EPSG:04326",
        "EPSG:4326x", "EPSG:-4326", "EPSG:1234567890",
        "EPSG:99999",  // in no database
        "EPSG:4978",   // geocentric
        "EPSG:5703",   // heights only
        "EPSG:7030",   // an ellipsoid, not a system
        "ESRI:102100",
    };
    for (const char *label : cases) {
        SCOPED_TRACE(label);
        EXPECT_EQ(Handle(label), 0u);
    }
    EXPECT_EQ(ZAVTR_CreateProjectionHandle(nullptr), 0u);
}

// The labels of the shipped projection list that name systems by code.
TEST_F(PorvexTest, EpsgLabelsOfTheProjectionListGetHandles) {
    std::vector<int> codes = {5316, 3034, 27700, 3006, 28992, 2154, 3067};
    for (int code = 3873; code <= 3885; ++code) codes.push_back(code);  // Finland GK
    for (int code = 5105; code <= 5130; ++code) codes.push_back(code);  // Norway NTM
    for (int code = 3178; code <= 3189; ++code) codes.push_back(code);  // Greenland UTM
    for (int code : codes) {
        SCOPED_TRACE(code);
        EXPECT_NE(Handle("EPSG:" + std::to_string(code)), 0u);
    }
}

TEST_F(PorvexTest, HandlesAreSmallAndStable) {
    const uint32_t first = Handle("utm32_etrs89");
    const uint32_t second = Handle("geo_wgs84");
    EXPECT_EQ(first, 1u);
    EXPECT_EQ(second, 2u);
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(Handle("UTM32_etrs89"), first);
        ASSERT_EQ(Handle("EPSG:25832"), first);
    }
    EXPECT_EQ(Handle("EPSG:99999"), 0u);
    EXPECT_EQ(Handle("geo_ed50"), 3u);
}

// ---- Conversions ----

// Worked examples of EPSG Guidance Note 7-2, and values that hold by the
// definition of UTM. Geographic values are given here in degrees.
TEST_F(PorvexTest, ConversionsMatchPublishedValues) {
    const struct {
        const char *name;
        const char *from;
        const char *to;
        bool fromGeographic;
        double x, y;
        bool toGeographic;
        double expectedX, expectedY;
        double tolerance;  // in the output's unit, degrees for geographic
    } cases[] = {
        {"Transverse Mercator, OSGB 1936 / British National Grid", "EPSG:4277", "EPSG:27700",
         true, 0.5, 50.5, false, 577274.99, 69740.50, 0.01},
        {"Transverse Mercator, inverse", "EPSG:27700", "EPSG:4277", false, 577274.99, 69740.50,
         true, 0.5, 50.5, 1e-7},
        {"Popular Visualisation Pseudo Mercator", "geo_wgs84", "webmrc", true,
         Degrees(-100, 20, 0.0), Degrees(24, 22, 54.433), false, -11169055.58, 2800000.00,
         0.006},
        {"Lambert Conic Conformal 2SP, NAD27 / Texas South Central (US survey feet)",
         "geo_nad27", "EPSG:32040", true, -96.0, 28.5, false, 2963503.91, 254759.80, 0.006},
        {"Oblique Stereographic, Amersfoort / RD New", "EPSG:4289", "EPSG:28992", true, 6.0,
         53.0, false, 196105.283, 557057.739, 0.0006},
        {"UTM north, on the central meridian at the equator", "geo_wgs84", "utm32_wgs84", true,
         9.0, 0.0, false, 500000.0, 0.0, 0.0005},
        {"UTM south, on the central meridian at the equator", "geo_wgs84", "utm33s_wgs84", true,
         15.0, 0.0, false, 500000.0, 10000000.0, 0.0005},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const double scaleIn = c.fromGeographic ? kRadiansPerDegree : 1.0;
        const double scaleOut = c.toGeographic ? kRadiansPerDegree : 1.0;
        const Result result = Convert(c.from, c.to, c.x * scaleIn, c.y * scaleIn);
        EXPECT_EQ(result.code, ZAVTR_OK);
        EXPECT_NEAR(result.x / scaleOut, c.expectedX, c.tolerance);
        EXPECT_NEAR(result.y / scaleOut, c.expectedY, c.tolerance);
    }
}

// There and back within a millimetre. Geographic values in degrees.
TEST_F(PorvexTest, RoundTripsComeBackWithinAMillimetre) {
    const struct {
        const char *from;
        const char *via;
        bool geographic;
        double x, y;
    } cases[] = {
        {"geo_wgs84", "utm32_wgs84", true, 12.57, 55.68},
        {"geo_wgs84", "utm33s_wgs84", true, 18.42, -33.92},
        {"geo_wgs84", "webmrc", true, -100.5, 24.4},
        {"geo_etrs89", "kp2000s", true, 12.3, 55.5},
        {"geo_etrs89", "dktm3", true, 11.5, 55.3},
        {"utm32_etrs89", "geo_etrs89", false, 720000.0, 6170000.0},
        {"utm32_etrs89", "utm33_etrs89", false, 690000.0, 6120000.0},
        {"utm32_ed50", "utm32_etrs89", false, 540000.0, 6250000.0},
        {"utm32_etrs89", "geo_wgs84", false, 540000.0, 6250000.0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.from) + " via " + c.via);
        const double scale = c.geographic ? kRadiansPerDegree : 1.0;
        const Result there = Convert(c.from, c.via, c.x * scale, c.y * scale);
        ASSERT_EQ(there.code, ZAVTR_OK);
        const Result back = Convert(c.via, c.from, there.x, there.y);
        ASSERT_EQ(back.code, ZAVTR_OK);
        const double metres = c.geographic ? kMetresPerRadian : 1.0;
        EXPECT_NEAR(back.x * metres, c.x * scale * metres, 0.001);
        EXPECT_NEAR(back.y * metres, c.y * scale * metres, 0.001);
    }
}

TEST_F(PorvexTest, ResultCodes) {
    const double nan = std::nan("");
    const double inf = HUGE_VAL;
    const struct {
        const char *name;
        const char *from;
        const char *to;
        double x, y;  // library-side values
        int32_t code;
    } cases[] = {
        {"inside both areas", "geo_wgs84", "utm32_wgs84", 9.5 * kRadiansPerDegree,
         56.0 * kRadiansPerDegree, ZAVTR_OK},
        {"result far outside the UTM zone", "geo_wgs84", "utm32_wgs84",
         60.0 * kRadiansPerDegree, 10.0 * kRadiansPerDegree, ZAVTR_OUTSIDE_AREA},
        {"input far outside the UTM zone", "utm32_wgs84", "geo_wgs84", -1500000.0, 6000000.0,
         ZAVTR_OUTSIDE_AREA},
        {"southern hemisphere in a northern zone", "geo_wgs84", "utm32_etrs89",
         9.0 * kRadiansPerDegree, -30.0 * kRadiansPerDegree, ZAVTR_OUTSIDE_AREA},
        {"Copenhagen is outside the West Jutland zone", "geo_etrs89", "dktm1",
         12.57 * kRadiansPerDegree, 55.68 * kRadiansPerDegree, ZAVTR_OUTSIDE_AREA},
        {"the same system outside its area", "geo_ed50", "geo_ed50", 120.0 * kRadiansPerDegree,
         -40.0 * kRadiansPerDegree, ZAVTR_OUTSIDE_AREA},
        {"NAD83's area crosses the antimeridian: Kansas", "geo_nad83", "geo_wgs84",
         -100.0 * kRadiansPerDegree, 45.0 * kRadiansPerDegree, ZAVTR_OK},
        {"NAD83's area crosses the antimeridian: the Aleutians", "geo_nad83", "geo_wgs84",
         175.0 * kRadiansPerDegree, 52.0 * kRadiansPerDegree, ZAVTR_OK},
        {"NAD83's area crosses the antimeridian: not Europe", "geo_nad83", "geo_wgs84",
         10.0 * kRadiansPerDegree, 50.0 * kRadiansPerDegree, ZAVTR_OUTSIDE_AREA},
        {"x is not a number", "geo_wgs84", "utm32_wgs84", nan, 0.9, ZAVTR_FAILED},
        {"y is infinite", "geo_wgs84", "utm32_wgs84", 0.15, inf, ZAVTR_FAILED},
        {"not a number into the identity", "utm32_wgs84", "utm32_wgs84", 500000.0, nan,
         ZAVTR_FAILED},
        {"metres taken for degrees are no point, not even into the identity", "geo_wgs84",
         "geo_wgs84", 407131.721 * kRadiansPerDegree, 155322.441 * kRadiansPerDegree,
         ZAVTR_FAILED},
        {"a longitude beyond a full turn is no point", "geo_wgs84", "geo_etrs89",
         400.0 * kRadiansPerDegree, 10.0 * kRadiansPerDegree, ZAVTR_FAILED},
        {"a pole itself is a point", "geo_wgs84", "geo_wgs84", 0.0, 90.0 * kRadiansPerDegree,
         ZAVTR_OK},
        {"Pseudo Mercator beyond the pole", "geo_wgs84", "webmrc", 0.0, 1.6, ZAVTR_FAILED},
        {"latitude beyond the pole", "geo_wgs84", "utm32_wgs84", 0.15, 2.0, ZAVTR_FAILED},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const Result result = Convert(c.from, c.to, c.x, c.y);
        EXPECT_EQ(result.code, c.code);
        EXPECT_EQ(result.returned, c.code);
        if (c.code == ZAVTR_FAILED) {
            EXPECT_EQ(result.x, HUGE_VAL);
            EXPECT_EQ(result.y, HUGE_VAL);
        } else {
            EXPECT_TRUE(std::isfinite(result.x) && std::isfinite(result.y));
        }
    }
    double x = 0.0, y = 0.0, z = 0.0;
    EXPECT_EQ(ZAVTR_TransformViaHandle(Handle("geo_wgs84"), Handle("webmrc"), 0.1, 0.9, 0.0, &x,
                                       &y, &z, nullptr),
              ZAVTR_FAILED);
}

TEST_F(PorvexTest, HandlesNeverGivenAreRefused) {
    const uint32_t known = Handle("geo_wgs84");
    const uint32_t pairs[][2] = {{0, known}, {known, 0}, {0, 0}, {known + 1, known},
                                 {known, 4000000000u}};
    for (const auto &pair : pairs) {
        SCOPED_TRACE(std::to_string(pair[0]) + " -> " + std::to_string(pair[1]));
        const Result result = Convert(pair[0], pair[1], 0.1, 0.9, 7.0);
        EXPECT_EQ(result.code, ZAVTR_BAD_HANDLE);
        EXPECT_EQ(result.returned, ZAVTR_BAD_HANDLE);
        EXPECT_EQ(result.x, HUGE_VAL);
        EXPECT_EQ(result.z, 7.0);
    }
    // The pair used last is not taken for a refused one.
    EXPECT_EQ(Convert(known, known, 0.1, 0.9).code, ZAVTR_OK);
    EXPECT_EQ(Convert(known, 0, 0.1, 0.9).code, ZAVTR_BAD_HANDLE);
}

TEST_F(PorvexTest, SameHandleIsTheIdentityAndHeightPassesThrough) {
    const double x = 0.21629095987158523, y = 0.97179493788495877;
    const Result same = Convert(Handle("geo_etrs89"), Handle("EPSG:4258"), x, y, 42.5);
    EXPECT_EQ(same.code, ZAVTR_OK);
    EXPECT_EQ(same.x, x);
    EXPECT_EQ(same.y, y);
    EXPECT_EQ(same.z, 42.5);

    const Result converted = Convert(Handle("geo_etrs89"), Handle("utm32_etrs89"), x, y, -3.25);
    EXPECT_EQ(converted.code, ZAVTR_OK);
    EXPECT_EQ(converted.z, -3.25);
}

// Switching between pairs keeps each pair's own transformation.
TEST_F(PorvexTest, AlternatingPairsKeepTheirOwnTransformations) {
    const uint32_t geo = Handle("geo_wgs84"), utm32 = Handle("utm32_wgs84"),
                   utm33 = Handle("utm33_wgs84");
    const double x = 12.0 * kRadiansPerDegree, y = 56.0 * kRadiansPerDegree;
    const Result in32 = Convert(geo, utm32, x, y);
    const Result in33 = Convert(geo, utm33, x, y);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Convert(geo, utm32, x, y).x, in32.x);
        EXPECT_EQ(Convert(geo, utm33, x, y).x, in33.x);
    }
    EXPECT_NEAR(in32.x + in33.x, 1000000.0, 0.001);  // 12 E is on the zones' border
}

// ---- Life cycle ----

TEST(PorvexLifeCycle, InitAgainTerminateAndInitAfterTerminate) {
    ZAVTR_TerminateLibrary();
    EXPECT_EQ(ZAVTR_CreateProjectionHandle("geo_wgs84"), 0u);  // not initialised

    ASSERT_EQ(ZAVTR_InitLibrary2(), 0);
    const uint32_t geo = ZAVTR_CreateProjectionHandle("geo_wgs84");
    const uint32_t utm = ZAVTR_CreateProjectionHandle("utm32_wgs84");
    double x = 0.0, y = 0.0, z = 0.0;
    int32_t code = 1;
    ASSERT_EQ(ZAVTR_TransformViaHandle(geo, utm, 0.15, 0.97, 0.0, &x, &y, &z, &code), 0);
    const double firstX = x;

    // A failed run leaves the library initialised; the next run inits again.
    ASSERT_EQ(ZAVTR_InitLibrary2(), 0);
    ASSERT_EQ(ZAVTR_InitLibrary2(), 0);
    EXPECT_EQ(ZAVTR_CreateProjectionHandle("GEO_WGS84"), geo);
    EXPECT_EQ(ZAVTR_TransformViaHandle(geo, utm, 0.15, 0.97, 0.0, &x, &y, &z, &code), 0);
    EXPECT_EQ(x, firstX);

    EXPECT_EQ(ZAVTR_TerminateLibrary(), 0);
    EXPECT_EQ(ZAVTR_TransformViaHandle(geo, utm, 0.15, 0.97, 0.0, &x, &y, &z, &code),
              ZAVTR_BAD_HANDLE);
    EXPECT_EQ(ZAVTR_TerminateLibrary(), 0);

    ASSERT_EQ(ZAVTR_InitLibrary2(), 0);
    const uint32_t geoAgain = ZAVTR_CreateProjectionHandle("geo_wgs84");
    const uint32_t utmAgain = ZAVTR_CreateProjectionHandle("utm32_wgs84");
    EXPECT_EQ(ZAVTR_TransformViaHandle(geoAgain, utmAgain, 0.15, 0.97, 0.0, &x, &y, &z, &code),
              0);
    EXPECT_EQ(x, firstX);
    ZAVTR_TerminateLibrary();
}

// Init fails when PROJ's database cannot be opened. Each case runs in a
// fresh process, since PROJ reads PROJ_DATA once.
TEST(PorvexLifeCycle, InitFailsWithoutAUsableDatabase) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const struct {
        const char *name;
        const char *content;  // of proj.db; nullptr: no file
    } cases[] = {
        {"no database", nullptr},
        {"not a database", "this is not an SQLite database\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EXIT(
            {
                testing_support::ScratchDir scratch;
                if (c.content != nullptr)
                    testing_support::WriteFile(scratch.Path("proj.db"), c.content);
                ::setenv("PROJ_DATA", scratch.Root().c_str(), 1);
                ::unsetenv("PROJ_LIB");
                const int32_t result = ZAVTR_InitLibrary2();
                const bool noHandle = ZAVTR_CreateProjectionHandle("geo_wgs84") == 0;
                std::_Exit(result != 0 && noHandle ? 0 : 1);
            },
            ::testing::ExitedWithCode(0), "");
    }
}

}  // namespace
