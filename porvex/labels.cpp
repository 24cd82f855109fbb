#include "labels.h"

#include <cstddef>
#include <cstring>

namespace porvex {
namespace {

struct NamedLabel {
    const char *name;
    int32_t code;
};

constexpr NamedLabel kNamedLabels[] = {
    {"geo_wgs84", 4326},  {"geo_etrs89", 4258}, {"geo_euref89", 4258},
    {"geo_ed50", 4230},   {"geo_nad83", 4269},  {"geo_nad27", 4267},
    {"webmrc", 3857},     {"dktm1", 4093},      {"dktm2", 4094},
    {"dktm3", 4095},      {"dktm4", 4096},      {"kp2000j", 2196},
    {"kp2000s", 2197},    {"kp2000b", 2198},
};

// "utm<zone>_<datum>" and "utm<zone>s_<datum>": the zone added to a base
// code. A southBase of 0 means the datum has no southern zones here.
struct UtmDatum {
    const char *name;
    int32_t firstZone;
    int32_t lastZone;
    int32_t northBase;
    int32_t southBase;
};

constexpr UtmDatum kUtmDatums[] = {
    {"wgs84", 1, 60, 32600, 32700},
    {"etrs89", 28, 38, 25800, 0},
    {"euref89", 28, 38, 25800, 0},
    {"ed50", 28, 38, 23000, 0},
};

// Longer texts cannot be labels; the longest, "EPSG:" with nine digits,
// is 14 characters.
constexpr size_t kMaxLabelLength = 24;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads a decimal number of 1 to maxDigits digits without a leading zero
// at p and moves p past it. False when there is no such number, also when
// more digits follow.
bool ReadNumber(const char *&p, int maxDigits, int32_t &value) {
    if (!IsDigit(*p) || *p == '0') return false;
    value = 0;
    int digits = 0;
    while (IsDigit(*p)) {
        if (++digits > maxDigits) return false;
        value = value * 10 + (*p - '0');
        ++p;
    }
    return true;
}

int32_t UtmCode(const char *p) {
    int32_t zone = 0;
    if (!ReadNumber(p, 2, zone)) return 0;
    const bool south = *p == 's';
    if (south) ++p;
    if (*p++ != '_') return 0;
    for (const UtmDatum &datum : kUtmDatums) {
        if (std::strcmp(p, datum.name) != 0) continue;
        if (zone < datum.firstZone || zone > datum.lastZone) return 0;
        const int32_t base = south ? datum.southBase : datum.northBase;
        return base == 0 ? 0 : base + zone;
    }
    return 0;
}

int32_t EpsgCode(const char *p) {
    int32_t code = 0;
    if (!ReadNumber(p, 9, code) || *p != '\0') return 0;
    return code;
}

}  // namespace

int32_t EpsgCodeOfLabel(const char *label) {
    if (label == nullptr) return 0;
    char folded[kMaxLabelLength + 1];
    size_t length = 0;
    for (; label[length] != '\0'; ++length) {
        if (length == kMaxLabelLength) return 0;
        const char c = label[length];
        folded[length] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    folded[length] = '\0';

    for (const NamedLabel &named : kNamedLabels)
        if (std::strcmp(folded, named.name) == 0) return named.code;
    if (std::strncmp(folded, "utm", 3) == 0) return UtmCode(folded + 3);
    if (std::strncmp(folded, "epsg:", 5) == 0) return EpsgCode(folded + 5);
    return 0;
}

}  // namespace porvex
