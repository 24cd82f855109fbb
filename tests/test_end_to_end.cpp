// End to end with the real projection library and the shipped list: the
// sample drawing converted to longitude/latitude and back, compared with
// GDAL's conversion of the same drawing and with cs2cs.
#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "kavro.h"
#include "test_support.h"

using namespace testing_support;

namespace {

const std::string kSource = KAVRO_SOURCE_DIR;

// One object of a drawing: its keyword and the coordinate pairs it holds,
// in the order they stand.
struct Shape {
    std::string kind;
    std::vector<double> coordinates;
};

std::vector<std::string> Words(const std::string &line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

std::string Lower(std::string text) {
    for (char &c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Reads the objects of a drawing's data section. Enough of the grammar for
// the sample and for what GDAL writes: Point, Line, Pline (plain, with a
// count, Multiple), Region, Rect, Ellipse, Arc and Text.
std::vector<Shape> ReadShapes(const std::string &bytes) {
    std::vector<std::string> lines;
    std::istringstream in(bytes);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    std::vector<Shape> shapes;
    size_t i = 0;
    while (i < lines.size() && Lower(Words(lines[i]).empty() ? "" : Words(lines[i])[0]) != "data") ++i;
    auto pairLine = [&](Shape &shape, size_t at) {
        std::vector<std::string> w = Words(lines[at]);
        shape.coordinates.push_back(std::stod(w.at(0)));
        shape.coordinates.push_back(std::stod(w.at(1)));
    };
    for (++i; i < lines.size(); ++i) {
        std::vector<std::string> w = Words(lines[i]);
        if (w.empty()) continue;
        std::string kind = Lower(w[0]);
        Shape shape{kind, {}};
        if (kind == "point") {
            shape.coordinates = {std::stod(w[1]), std::stod(w[2])};
        } else if (kind == "line" || kind == "rect" || kind == "ellipse" || kind == "arc") {
            for (int k = 1; k <= 4; ++k) shape.coordinates.push_back(std::stod(w[k]));
        } else if (kind == "pline" || kind == "region") {
            int sections = 1;
            bool countOnHeader = false;
            if (kind == "region" && w.size() > 1) sections = std::stoi(w[1]);
            if (kind == "pline" && w.size() > 2) sections = std::stoi(w[2]);
            if (kind == "pline" && w.size() == 2) countOnHeader = true;
            for (int s = 0; s < sections; ++s) {
                int count = countOnHeader ? std::stoi(w[1]) : std::stoi(Words(lines[++i])[0]);
                for (int p = 0; p < count; ++p) pairLine(shape, ++i);
            }
        } else if (kind == "text") {
            if (w.size() == 1) ++i;
            std::vector<std::string> box = Words(lines[++i]);
            for (int k = 0; k < 4; ++k) shape.coordinates.push_back(std::stod(box[k]));
        } else {
            continue;
        }
        shapes.push_back(shape);
    }
    return shapes;
}

int32_t Convert(const std::string &in, const std::string &out, const char *label,
                uint32_t flags = 0) {
    return Kavroform(in.c_str(), out.c_str(), label, (kSource + "/data/projections.lst").c_str(),
                     flags);
}

// The standard output of a shell command, whatever its status.
std::string Shell(const std::string &command) {
    std::string output;
    RunCommand(command, output);
    return output;
}

// Each test converts its own copy of the sample: a run holds its input
// locked, so tests running side by side must not share one.
class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        fs::copy_file(kSource + "/data/sample.mif", dir.Path("sample.mif"));
        fs::copy_file(kSource + "/data/sample.mid", dir.Path("sample.mid"));
    }
    ScratchDir dir;
    const std::string sample = dir.Str("sample.mif");
    std::vector<Shape> original = ReadShapes(ReadFile(kSource + "/data/sample.mif"));
};

TEST_F(EndToEnd, SampleRoundTripKeepsEveryCoordinateWithinATenthOfAMetre) {
    ASSERT_EQ(Convert(sample, dir.Str("wgs84.mif"), "geo_wgs84"), TR_OK);
    ASSERT_EQ(Convert(dir.Str("wgs84.mif"), dir.Str("back.mif"), "utm32_etrs89"), TR_OK);
    EXPECT_EQ(ReadFile(dir.Path("back.mid")), ReadFile(kSource + "/data/sample.mid"));
    std::vector<Shape> back = ReadShapes(ReadFile(dir.Path("back.mif")));
    ASSERT_EQ(back.size(), original.size());
    ASSERT_GE(original.size(), 10u);
    for (size_t s = 0; s < original.size(); ++s) {
        ASSERT_EQ(back[s].coordinates.size(), original[s].coordinates.size()) << s;
        for (size_t k = 0; k < original[s].coordinates.size(); ++k)
            EXPECT_NEAR(back[s].coordinates[k], original[s].coordinates[k], 0.1) << s << "/" << k;
    }
    std::string header = ReadFile(dir.Path("wgs84.mif"));
    EXPECT_NE(header.find("CoordSys Earth Projection 1, 104\r\n"), std::string::npos);
}

TEST_F(EndToEnd, AgreesWithGdalToAMillionthOfADegree) {
    ASSERT_EQ(Convert(sample, dir.Str("ours.mif"), "geo_wgs84"), TR_OK);
    std::string gdal = Shell("ogr2ogr -f 'MapInfo File' -t_srs EPSG:4326 '" + dir.Str("gdal.mif") +
                           "' '" + sample + "' 2>&1");
    ASSERT_TRUE(fs::exists(dir.Path("gdal.mif"))) << "ogr2ogr (gdal-bin) failed: " << gdal;
    std::vector<Shape> ours = ReadShapes(ReadFile(dir.Path("ours.mif")));
    std::vector<Shape> theirs = ReadShapes(ReadFile(dir.Path("gdal.mif")));
    ASSERT_EQ(ours.size(), theirs.size());
    int compared = 0;
    for (size_t s = 0; s < ours.size(); ++s) {
        const std::string &kind = ours[s].kind;
        if (kind != "point" && kind != "line" && kind != "pline" && kind != "region") continue;
        ASSERT_EQ(ours[s].coordinates.size(), theirs[s].coordinates.size()) << kind << " " << s;
        for (size_t k = 0; k < ours[s].coordinates.size(); ++k, ++compared)
            EXPECT_NEAR(ours[s].coordinates[k], theirs[s].coordinates[k], 1e-6) << kind << " " << s;
    }
    EXPECT_GT(compared, 40);
}

TEST_F(EndToEnd, AgreesWithCs2csToAMillimetreInAnotherZone) {
    // Aarhus lies west of zone 33's area of use: without rlx=1 the run refuses.
    ASSERT_EQ(Convert(sample, dir.Str("utm33.mif"), "utm33_etrs89"),
              TR_TRANSFORM_FAILED);
    ASSERT_EQ(Convert(sample, dir.Str("utm33.mif"), "utm33_etrs89", TF_RELAX),
              TR_OK);
    std::vector<Shape> ours = ReadShapes(ReadFile(dir.Path("utm33.mif")));
    std::ostringstream points;
    points.precision(17);
    for (const Shape &shape : original)
        for (size_t k = 0; k + 1 < shape.coordinates.size(); k += 2)
            points << shape.coordinates[k] << " " << shape.coordinates[k + 1] << "\n";
    WriteFile(dir.Path("points.txt"), points.str());
    std::istringstream expected(
        Shell("cs2cs -f %.6f EPSG:25832 EPSG:25833 < '" + dir.Str("points.txt") + "'"));
    ASSERT_EQ(ours.size(), original.size());
    int compared = 0;
    for (const Shape &shape : ours) {
        for (size_t k = 0; k + 1 < shape.coordinates.size(); k += 2, ++compared) {
            double x = 0, y = 0;
            std::string z;
            ASSERT_TRUE(expected >> x >> y >> z) << "cs2cs (proj-bin) gave too few points";
            EXPECT_NEAR(shape.coordinates[k], x, 0.001);
            EXPECT_NEAR(shape.coordinates[k + 1], y, 0.001);
        }
    }
    EXPECT_GT(compared, 30);
}

}  // namespace
