// A whole run, KavroformEx with the projection library's test double, over
// arbitrary drawing bytes and list files. The input is the drawing, then,
// when the separator below appears, the list file; without it a small list
// of its own is used. After every run: no temporary file is left, no
// partial copy lies beside the destination, the input is as it was, and a
// run that failed left the destination and its companion as they were.
#include <dirent.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "kavro.h"
#include "porvex_double.h"

namespace {

constexpr std::string_view kSeparator = "\n@@LIST@@\n";
constexpr std::string_view kDefaultList =
    "WGS 84\r\ngeo_wgs84\r\n0 1\r\nCoordSys Earth Projection 1, 104\r\n"
    "UTM 32\r\nutm32_etrs89\r\n0 0\r\nCoordSys Earth Projection 8, 115, \"m\", 9, 0, 0.9996, 500000, 0\r\n"
    "Vendt\r\nneg_x\r\n1 1\r\nCoordSys Earth Projection 1, 28\r\n";
const char *const kLabels[] = {"geo_wgs84", "utm32_etrs89", "neg_x"};

int Callback(const char *message) {
    if (std::strlen(message) > 127) fuzz_support::Fail("a message longer than 127 bytes", message);
    return 1;
}

// A conversion fails for values the library could not take.
void Transform(uint32_t, uint32_t, double x, double y, double *xOut, double *yOut, int32_t *code) {
    *xOut = x;
    *yOut = y;
    if (x > 1e300 || y > 1e300) *code = 1;
}

// Names in folder starting with prefix.
std::string Leftovers(const std::string &folder, const char *prefix) {
    std::string found;
    DIR *dir = opendir(folder.c_str());
    if (dir == nullptr) return found;
    while (dirent *entry = readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        if (std::strncmp(entry->d_name, prefix, std::strlen(prefix)) == 0) found += entry->d_name + std::string(" ");
    }
    closedir(dir);
    return found;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const std::string root = fuzz_support::ScratchFolder();
    static const std::string tmp = [] {
        std::string folder = root + "/tmp";
        ::mkdir(folder.c_str(), 0700);
        ::setenv("TMPDIR", folder.c_str(), 1);
        return folder;
    }();
    const std::string in = root + "/in.mif", inMid = root + "/in.mid";
    const std::string out = root + "/out.mif", outMid = root + "/out.mid";
    const std::string list = root + "/list.lst";

    std::string_view bytes(reinterpret_cast<const char *>(data), size);
    size_t split = bytes.find(kSeparator);
    std::string_view drawing = bytes.substr(0, split);
    std::string_view listBytes =
        split == std::string_view::npos ? kDefaultList : bytes.substr(split + kSeparator.size());
    fuzz_support::WriteBytes(in, drawing.data(), drawing.size());
    fuzz_support::WriteBytes(inMid, "\"a\",1\r\n", 7);
    fuzz_support::WriteBytes(list, listBytes.data(), listBytes.size());
    fuzz_support::WriteBytes(out, "old", 3);
    fuzz_support::WriteBytes(outMid, "old mid", 7);

    PorvexDouble_Reset();
    PorvexDouble_LogTransforms(0);
    PorvexDouble_SetTransform(Transform);
    uint32_t flags = (size & 1) != 0 ? TF_VERBOSE | TF_RELAX : 0;
    int32_t code = KavroformEx(in.c_str(), out.c_str(), kLabels[size % 3], list.c_str(), flags, Callback);

    if (code < TR_OK || code > TR_MID_COPY_FAILED) fuzz_support::Fail("result code", std::to_string(code));
    std::string left = Leftovers(tmp, "");
    if (!left.empty()) fuzz_support::Fail("a temporary file was left", left);
    left = Leftovers(root, ".kavro-");
    if (!left.empty()) fuzz_support::Fail("a partial copy was left", left);
    if (fuzz_support::ReadBytes(in) != drawing) fuzz_support::Fail("the input changed", in);
    if (code != TR_OK && code != TR_MID_COPY_FAILED && fuzz_support::ReadBytes(out) != "old")
        fuzz_support::Fail("a failed run changed the destination", std::to_string(code));
    if (code != TR_OK && fuzz_support::ReadBytes(outMid) != "old mid")
        fuzz_support::Fail("a failed run changed the companion", std::to_string(code));
    if (code == TR_OK && fuzz_support::ReadBytes(outMid) != "\"a\",1\r\n")
        fuzz_support::Fail("the companion did not arrive", outMid);
    return 0;
}
