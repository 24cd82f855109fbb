// The shipped projection list, data/projections.lst, read by the engine's
// loader and checked against the real projection library, PROJ's EPSG
// database and GDAL's reading of each CoordSys clause.
#include <proj.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <numbers>
#include <set>
#include <string>
#include <vector>

#include "kavro.h"
#include "projection_list.h"
#include "test_support.h"
#include "zavtrlib.h"

namespace {

using testing_support::ReadFile;
using testing_support::RunCommand;
using testing_support::ScratchDir;
using testing_support::WriteFile;

const char kListPath[] = KAVRO_SOURCE_DIR "/data/projections.lst";

const ProjectionList &Shipped() {
    static const ProjectionList list = [] {
        ProjectionList loaded;
        EXPECT_TRUE(LoadProjectionList(loaded, kListPath)) << kListPath;
        return loaded;
    }();
    return list;
}

size_t Count() { return Shipped().labels.size(); }

// A main record is the first record of its label; the clause it holds is
// the one written on output. Every later record of a label is input-only.
std::vector<bool> MainRecords() {
    std::set<std::string> seen;
    std::vector<bool> main;
    for (const std::string &label : Shipped().labels) main.push_back(seen.insert(label).second);
    return main;
}

// The EPSG code a label names, by the library's label grammar; 0 when the
// label is not of that grammar.
int EpsgOfLabel(const std::string &label) {
    static const std::map<std::string, int> named = {
        {"geo_wgs84", 4326}, {"geo_etrs89", 4258}, {"geo_euref89", 4258},
        {"geo_ed50", 4230},  {"geo_nad83", 4269},  {"geo_nad27", 4267},
        {"webmrc", 3857},    {"dktm1", 4093},      {"dktm2", 4094},
        {"dktm3", 4095},     {"dktm4", 4096},      {"kp2000j", 2196},
        {"kp2000s", 2197},   {"kp2000b", 2198}};
    if (auto it = named.find(label); it != named.end()) return it->second;
    int number = 0;
    const auto digits = [&](size_t from) {
        auto [end, ec] = std::from_chars(label.data() + from, label.data() + label.size(), number);
        return ec == std::errc{} ? static_cast<size_t>(end - label.data()) : 0;
    };
    if (label.rfind("EPSG:", 0) == 0) return digits(5) == label.size() ? number : 0;
    if (label.rfind("utm", 0) != 0) return 0;
    const size_t end = digits(3);
    if (end == 0 || number < 1 || number > 60) return 0;
    const std::string rest = label.substr(end);
    if (rest == "_wgs84") return 32600 + number;
    if (rest == "s_wgs84") return 32700 + number;
    if (number >= 28 && number <= 38 && (rest == "_etrs89" || rest == "_euref89"))
        return 25800 + number;
    if (number >= 28 && number <= 38 && rest == "_ed50") return 23000 + number;
    return 0;
}

// PROJ objects released on every path.
struct PjFree {
    void operator()(PJ *pj) const { proj_destroy(pj); }
};
using Pj = std::unique_ptr<PJ, PjFree>;

struct Proj {
    PJ_CONTEXT *ctx = proj_context_create();
    ~Proj() { proj_context_destroy(ctx); }
    Pj Crs(const std::string &definition) const { return Pj(proj_create(ctx, definition.c_str())); }
    // From one system to another, longitude / easting first on both sides.
    Pj Between(const PJ *from, const PJ *to) const {
        Pj raw(proj_create_crs_to_crs_from_pj(ctx, from, to, nullptr, nullptr));
        if (!raw) return raw;
        return Pj(proj_normalize_for_visualization(ctx, raw.get()));
    }
};

const Proj &ProjLib() {
    static const Proj proj;
    return proj;
}

struct XY {
    double x;
    double y;
};

// The EPSG system a record's label names, with its geographic base, and a
// few points of its area of use in both (degrees in the base).
struct LabelSystem {
    int code = 0;
    Pj crs;
    Pj base;
    bool geographic = false;
    std::vector<XY> lonLat;
    std::vector<XY> points;  // in the system's own units (degrees when geographic)
};

LabelSystem SystemOfLabel(const std::string &label) {
    const Proj &proj = ProjLib();
    LabelSystem s;
    s.code = EpsgOfLabel(label);
    if (s.code == 0) return s;
    s.crs = proj.Crs("EPSG:" + std::to_string(s.code));
    if (!s.crs) return s;
    s.geographic = proj_get_type(s.crs.get()) == PJ_TYPE_GEOGRAPHIC_2D_CRS;
    s.base = Pj(proj_crs_get_geodetic_crs(proj.ctx, s.crs.get()));
    double west = 0, south = 0, east = 0, north = 0;
    if (!proj_get_area_of_use(proj.ctx, s.crs.get(), &west, &south, &east, &north, nullptr))
        return s;
    if (east < west) east += 360.0;
    Pj toSystem = proj.Between(s.base.get(), s.crs.get());
    if (!toSystem) return s;
    for (const XY f : {XY{0.5, 0.5}, XY{0.2, 0.2}, XY{0.8, 0.2}, XY{0.2, 0.8}, XY{0.8, 0.8}}) {
        double lon = west + f.x * (east - west);
        if (lon > 180.0) lon -= 360.0;
        const XY g{lon, south + f.y * (north - south)};
        const PJ_COORD c = proj_trans(toSystem.get(), PJ_FWD, proj_coord(g.x, g.y, 0, 0));
        s.lonLat.push_back(g);
        s.points.push_back({c.xy.x, c.xy.y});
    }
    return s;
}

// Points agree to 1 mm; geographic ones to 1e-8 degree (about 1 mm).
bool Close(XY a, XY b, bool geographic) {
    const double tolerance = geographic ? 1e-8 : 1e-3;
    return std::isfinite(a.x) && std::isfinite(a.y) && std::fabs(a.x - b.x) <= tolerance &&
           std::fabs(a.y - b.y) <= tolerance;
}

std::string Describe(size_t i) {
    const ProjectionList &l = Shipped();
    return "record " + std::to_string(i + 1) + " (" + l.labels[i] + ": " + l.coordSyses[i] + ")";
}

TEST(ShippedList, IsCrLfTextOfFourLineRecordsWithKnownLabelsAndFlags) {
    const std::string bytes = ReadFile(kListPath);
    ASSERT_FALSE(bytes.empty());
    size_t lines = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n') {
            ++lines;
            EXPECT_TRUE(i > 0 && bytes[i - 1] == '\r') << "LF without CR at byte " << i;
        } else if (bytes[i] == '\r') {
            EXPECT_TRUE(i + 1 < bytes.size() && bytes[i + 1] == '\n') << "lone CR at byte " << i;
        }
    }
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
    EXPECT_EQ(bytes.find("\r\n\r\n"), std::string::npos) << "an empty line";
    EXPECT_EQ(lines, 4 * Count()) << "every line belongs to a loaded record";

    const ProjectionList &l = Shipped();
    const std::vector<bool> main = MainRecords();
    bool variantsBegun = false;
    for (size_t i = 0; i < Count(); ++i) {
        SCOPED_TRACE(Describe(i));
        EXPECT_FALSE(l.descriptions[i].empty());
        EXPECT_EQ(l.coordSyses[i].rfind("CoordSys Earth Projection ", 0), 0u);
        EXPECT_EQ(l.coordSyses[i].find("Bounds"), std::string::npos);
        EXPECT_EQ(l.negateXs[i], 0);
        const LabelSystem s = SystemOfLabel(l.labels[i]);
        ASSERT_NE(s.code, 0) << "not a label of the library's grammar";
        ASSERT_TRUE(s.crs) << "EPSG:" << s.code << " unknown to PROJ";
        EXPECT_EQ(l.degreeses[i], s.geographic ? 1 : 0);
        // Input-only spellings come after every main record.
        if (!main[i]) variantsBegun = true;
        EXPECT_FALSE(variantsBegun && main[i]) << "a main record after an input-only one";
    }
}

TEST(ShippedList, CoversTheSystemsItPromises) {
    std::vector<std::string> wanted = {"geo_wgs84",  "geo_etrs89", "geo_ed50",   "geo_nad83",
                                       "geo_nad27",  "webmrc",     "dktm1",      "dktm2",
                                       "dktm3",      "dktm4",      "kp2000j",    "kp2000s",
                                       "kp2000b",    "EPSG:3034",  "EPSG:27700", "EPSG:2154",
                                       "EPSG:3006",  "EPSG:28992", "EPSG:5316"};
    for (int zone = 28; zone <= 38; ++zone)
        for (const char *datum : {"_wgs84", "_etrs89", "_ed50"})
            wanted.push_back("utm" + std::to_string(zone) + datum);
    for (int zone = 1; zone <= 60; ++zone) {
        wanted.push_back("utm" + std::to_string(zone) + "_wgs84");
        wanted.push_back("utm" + std::to_string(zone) + "s_wgs84");
    }
    for (int code = 3873; code <= 3885; ++code) wanted.push_back("EPSG:" + std::to_string(code));
    for (int code = 5105; code <= 5130; ++code) wanted.push_back("EPSG:" + std::to_string(code));
    const auto &labels = Shipped().labels;
    for (const std::string &label : wanted)
        EXPECT_NE(std::find(labels.begin(), labels.end(), label), labels.end()) << label;
}

TEST(ShippedList, EveryLabelGivesAHandleAndWritesItsFirstClause) {
    ASSERT_EQ(ZAVTR_InitLibrary2(), 0);
    const ProjectionList &l = Shipped();
    const std::vector<bool> main = MainRecords();
    for (size_t i = 0; i < Count(); ++i) {
        if (!main[i]) continue;
        SCOPED_TRACE(Describe(i));
        // The caller's label as a user may type it.
        std::string typed = " " + l.labels[i] + " ";
        std::transform(typed.begin(), typed.end(), typed.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        uint32_t handle = 0;
        uint32_t flags = 0;
        std::string outCoordSys;
        EXPECT_EQ(FindOutputProjection(l, typed.c_str(), handle, flags, outCoordSys), TR_OK);
        EXPECT_NE(handle, 0u);
        EXPECT_EQ(outCoordSys, l.coordSyses[i]);
        EXPECT_EQ(flags, l.degreeses[i] != 0 ? TF_OUT_DEGREES : 0u);
    }
}

TEST(ShippedList, NoRecordIsShadowedByAnEarlierOne) {
    const ProjectionList &l = Shipped();
    for (size_t i = 0; i < Count(); ++i)
        for (size_t j = 0; j < i; ++j)
            EXPECT_FALSE(CoordSysMatches(l.coordSyses[j], l.coordSyses[i]))
                << Describe(i) << " is taken by " << Describe(j);
}

// A clause as other headers carry it: other blanks, other case, a Bounds part.
std::vector<std::string> HeaderSpellings(const std::string &clause) {
    std::string wide;
    for (char c : clause) {
        wide += c;
        if (c == ',') wide += "  ";
    }
    std::string upper = clause;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return {clause,
            clause + " Bounds (-7745874.38492, 1999.40969607) (8745874.38492, 19998000.5903)",
            clause + " Bounds (-1000, -1000) (1000, 1000)",
            RemoveBlanks(clause) + "Bounds(0,0)(1,1)",
            wide + "  Bounds ( 0 , 0 ) ( 1 , 1 )  ",
            upper};
}

TEST(ShippedList, EveryClauseAsHeadersWriteItFindsItsOwnRecord) {
    ASSERT_EQ(ZAVTR_InitLibrary2(), 0);
    const ProjectionList &l = Shipped();
    for (size_t i = 0; i < Count(); ++i) {
        const uint32_t expected = ZAVTR_CreateProjectionHandle(l.labels[i].c_str());
        for (const std::string &line : HeaderSpellings(l.coordSyses[i])) {
            SCOPED_TRACE(Describe(i) + " as " + line);
            uint32_t handle = 0;
            uint32_t flags = 0;
            std::string inName;
            ASSERT_EQ(FindInputProjection(l, line, handle, flags, inName), TR_OK);
            EXPECT_EQ(handle, expected);
            EXPECT_EQ(inName, l.descriptions[i]);
            EXPECT_EQ(flags, l.degreeses[i] != 0 ? TF_IN_DEGREES : 0u);
        }
    }
}

// The library converts from a label's geographic base to the label as PROJ
// does to the EPSG system the label names: the label means that system.
TEST(ShippedList, LibraryLabelsNameTheirEpsgSystems) {
    ASSERT_EQ(ZAVTR_InitLibrary2(), 0);
    const ProjectionList &l = Shipped();
    const std::vector<bool> main = MainRecords();
    const double radians = std::numbers::pi / 180.0;
    for (size_t i = 0; i < Count(); ++i) {
        if (!main[i]) continue;
        SCOPED_TRACE(Describe(i));
        const LabelSystem s = SystemOfLabel(l.labels[i]);
        ASSERT_FALSE(s.points.empty());
        const char *baseCode = proj_get_id_code(s.base.get(), 0);
        ASSERT_NE(baseCode, nullptr);
        const std::string baseLabel = std::string("EPSG:") + baseCode;
        const uint32_t from = ZAVTR_CreateProjectionHandle(baseLabel.c_str());
        const uint32_t to = ZAVTR_CreateProjectionHandle(l.labels[i].c_str());
        ASSERT_NE(from, 0u) << baseLabel;
        ASSERT_NE(to, 0u);
        for (size_t p = 0; p < s.points.size(); ++p) {
            XY out{};
            double z = 0;
            int32_t code = 0;
            ZAVTR_TransformViaHandle(from, to, s.lonLat[p].x * radians, s.lonLat[p].y * radians, 0,
                                     &out.x, &out.y, &z, &code);
            if (s.geographic) out = {out.x / radians, out.y / radians};
            EXPECT_TRUE(code == ZAVTR_OK || code == ZAVTR_OUTSIDE_AREA) << code;
            EXPECT_TRUE(Close(out, s.points[p], s.geographic))
                << "at " << s.lonLat[p].x << " " << s.lonLat[p].y << ": " << out.x << " " << out.y
                << " where PROJ gives " << s.points[p].x << " " << s.points[p].y;
        }
    }
}

// One MIF per record, with the record's clause and a point of its area.
void WriteMifs(const testing_support::fs::path &folder) {
    testing_support::fs::create_directory(folder);
    const ProjectionList &l = Shipped();
    for (size_t i = 0; i < Count(); ++i) {
        const LabelSystem s = SystemOfLabel(l.labels[i]);
        const XY p = s.points.empty() ? XY{0, 0} : s.points[0];
        char point[128];
        std::snprintf(point, sizeof point, "Point %.9f %.9f\r\n", p.x, p.y);
        const std::string name = "r" + std::to_string(i + 1);
        WriteFile(folder / (name + ".mif"),
                  "Version 300\r\nCharset \"WindowsLatin1\"\r\nDelimiter \",\"\r\n" +
                      l.coordSyses[i] +
                      " Bounds (-100000000, -100000000) (100000000, 100000000)\r\n"
                      "Columns 1\r\n  id Integer\r\nData\r\n\r\n" + point);
        WriteFile(folder / (name + ".mid"), "1\r\n");
    }
}

// The WKT of each layer in ogrinfo's summary of a folder, by layer name.
std::map<std::string, std::string> LayerWkts(const std::string &summary) {
    std::map<std::string, std::string> wkts;
    const std::string nameKey = "Layer name: ";
    const std::string wktKey = "Layer SRS WKT:\n";
    const std::string endKey = "\nData axis to CRS axis mapping";
    for (size_t at = summary.find(nameKey); at != std::string::npos;
         at = summary.find(nameKey, at + 1)) {
        const size_t nameEnd = summary.find('\n', at);
        const size_t wkt = summary.find(wktKey, nameEnd);
        const size_t wktEnd = summary.find(endKey, wkt);
        if (nameEnd == std::string::npos || wkt == std::string::npos ||
            wktEnd == std::string::npos)
            break;
        const size_t from = wkt + wktKey.size();
        wkts[summary.substr(at + nameKey.size(), nameEnd - at - nameKey.size())] =
            summary.substr(from, wktEnd - from);
    }
    return wkts;
}

// Datum names that GDAL gives a clause where PROJ names the datum of the
// label's system otherwise, and that are the same reference frame for every
// purpose of a drawing: SWEREF 99 is written with the plain GRS 80 datum (no
// shift to WGS 84, as SWEREF 99 itself has), Amersfoort with the
// "Netherlands" datum (Bessel 1841 and Amersfoort's shift to WGS 84), and
// GDA94 under its short name.
const std::set<std::pair<std::string, std::string>> kSameDatum = {
    {"SWEREF99", "GRS_80"},
    {"Amersfoort", "Netherlands_Bessel"},
    {"Geocentric Datum of Australia 1994", "GDA94"},
};

// Same ellipsoid, and the same datum by PROJ's comparison or by kSameDatum.
std::string DatumDifference(const PJ *gdal, const PJ *label) {
    PJ_CONTEXT *ctx = ProjLib().ctx;
    Pj gdalDatum(proj_crs_get_datum_forced(ctx, gdal));
    Pj labelDatum(proj_crs_get_datum_forced(ctx, label));
    if (!gdalDatum || !labelDatum) return "no datum";
    Pj gdalEllipsoid(proj_get_ellipsoid(ctx, gdal));
    Pj labelEllipsoid(proj_get_ellipsoid(ctx, label));
    double a1 = 0, b1 = 0, f1 = 0, a2 = 0, b2 = 0, f2 = 0;
    int computed = 0;
    proj_ellipsoid_get_parameters(ctx, gdalEllipsoid.get(), &a1, &b1, &computed, &f1);
    proj_ellipsoid_get_parameters(ctx, labelEllipsoid.get(), &a2, &b2, &computed, &f2);
    const std::string gdalName = proj_get_name(gdalDatum.get());
    const std::string labelName = proj_get_name(labelDatum.get());
    if (std::fabs(a1 - a2) > 1e-4 || std::fabs(b1 - b2) > 1e-4)
        return "ellipsoid " + std::to_string(a1) + " / " + std::to_string(a2);
    if (proj_is_equivalent_to(gdalDatum.get(), labelDatum.get(), PJ_COMP_EQUIVALENT) ||
        kSameDatum.count({labelName, gdalName}) != 0)
        return "";
    return "datum '" + gdalName + "' where the label has '" + labelName + "'";
}

// GDAL reads every clause as the system its label names: for a main record
// the same datum, ellipsoid and projection; for every record the same
// coordinates to 1 mm at points of the system's area of use.
TEST(ShippedList, GdalReadsEachClauseAsTheSystemOfItsLabel) {
    std::string version;
    ASSERT_TRUE(RunCommand("ogrinfo --version 2>&1", version))
        << "ogrinfo is missing: install GDAL's programs (Debian package gdal-bin)";
    ScratchDir dir;
    WriteMifs(dir.Path("mif"));
    std::string summary;
    ASSERT_TRUE(RunCommand("ogrinfo -ro -so -al -wkt_format WKT2_2019 '" + dir.Str("mif") +
                               "' 2>&1",
                           summary))
        << summary;
    const std::map<std::string, std::string> wkts = LayerWkts(summary);

    const ProjectionList &l = Shipped();
    const std::vector<bool> main = MainRecords();
    const Proj &proj = ProjLib();
    for (size_t i = 0; i < Count(); ++i) {
        SCOPED_TRACE(Describe(i));
        const auto wkt = wkts.find("r" + std::to_string(i + 1));
        ASSERT_NE(wkt, wkts.end()) << "GDAL gave no system";
        Pj gdal = proj.Crs(wkt->second);
        ASSERT_TRUE(gdal) << wkt->second;
        // A datum with a shift to WGS 84 comes as a bound system: the system
        // itself is its source.
        if (proj_get_type(gdal.get()) == PJ_TYPE_BOUND_CRS)
            gdal = Pj(proj_get_source_crs(proj.ctx, gdal.get()));
        ASSERT_TRUE(gdal);
        const LabelSystem s = SystemOfLabel(l.labels[i]);
        ASSERT_FALSE(s.points.empty());
        EXPECT_EQ(proj_get_type(gdal.get()), proj_get_type(s.crs.get()));
        if (main[i]) {
            EXPECT_EQ(DatumDifference(gdal.get(), s.crs.get()), "") << wkt->second;
        }
        const Pj convert = proj.Between(gdal.get(), s.crs.get());
        ASSERT_TRUE(convert);
        for (const XY p : s.points) {
            const PJ_COORD c = proj_trans(convert.get(), PJ_FWD, proj_coord(p.x, p.y, 0, 0));
            EXPECT_TRUE(Close({c.xy.x, c.xy.y}, p, s.geographic))
                << "GDAL's " << p.x << " " << p.y << " is " << c.xy.x << " " << c.xy.y;
        }
    }
}

}  // namespace
