// ScanText with every pattern the engine uses, over arbitrary text. The
// first byte picks the pattern; the rest is the text. Beyond not crashing,
// the result lies between -1 and the number of fields, and a lone "%lf" or
// "%d" agrees with the C library reading the same span, and the point-line
// fast path ScanPair agrees with "%lf %lf".
#include <cerrno>
#include <cinttypes>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "text.h"

namespace {

struct Fields {
    double d[4] = {-1, -1, -1, -1};
    int32_t i[2] = {-1, -1};
    std::string s;
};

struct Pattern {
    const char *text;
    int fields;
    int (*scan)(std::string_view text, const char *pattern, Fields &f);
};

const Pattern kPatterns[] = {
    {"%lf", 1, [](std::string_view t, const char *p, Fields &f) { return ScanText(t, p, {&f.d[0]}); }},
    {"%d", 1, [](std::string_view t, const char *p, Fields &f) { return ScanText(t, p, {&f.i[0]}); }},
    {"%lf %lf", 2,
     [](std::string_view t, const char *p, Fields &f) { return ScanText(t, p, {&f.d[0], &f.d[1]}); }},
    {"%*s %lf %lf", 2,
     [](std::string_view t, const char *p, Fields &f) { return ScanText(t, p, {&f.d[0], &f.d[1]}); }},
    {"%lf %lf %lf %lf", 4,
     [](std::string_view t, const char *p, Fields &f) {
         return ScanText(t, p, {&f.d[0], &f.d[1], &f.d[2], &f.d[3]});
     }},
    {"%*s %lf %lf %lf %lf", 4,
     [](std::string_view t, const char *p, Fields &f) {
         return ScanText(t, p, {&f.d[0], &f.d[1], &f.d[2], &f.d[3]});
     }},
    {"%*s %*s %d", 1, [](std::string_view t, const char *p, Fields &f) { return ScanText(t, p, {&f.i[0]}); }},
    {"%*s %d", 1, [](std::string_view t, const char *p, Fields &f) { return ScanText(t, p, {&f.i[0]}); }},
    {"%d %d", 2,
     [](std::string_view t, const char *p, Fields &f) { return ScanText(t, p, {&f.i[0], &f.i[1]}); }},
    {"%s %lf %lf", 3,
     [](std::string_view t, const char *p, Fields &f) { return ScanText(t, p, {&f.s, &f.d[0], &f.d[1]}); }},
};
constexpr size_t kPatternCount = sizeof kPatterns / sizeof kPatterns[0];

bool White(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool Digit(char c) { return c >= '0' && c <= '9'; }

// The span of the number "%lf" takes at the start of text, by the grammar
// alone; the mantissa and the exponent with its digits, if any.
std::string NumberSpan(std::string_view text) {
    size_t at = 0, digits = 0;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
    while (at < text.size() && Digit(text[at])) ++at, ++digits;
    if (at < text.size() && text[at] == '.') {
        ++at;
        while (at < text.size() && Digit(text[at])) ++at, ++digits;
    }
    if (digits == 0) return {};
    size_t end = at;
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        size_t e = at + 1;
        if (e < text.size() && (text[e] == '+' || text[e] == '-')) ++e;
        size_t first = e;
        while (e < text.size() && Digit(text[e])) ++e;
        if (e > first) end = e;
    }
    return std::string(text.substr(0, end));
}

void CheckLoneDouble(std::string_view text, int result, double value) {
    size_t start = 0;
    while (start < text.size() && White(text[start])) ++start;
    std::string span = NumberSpan(text.substr(start));
    if (span.empty()) {
        if (result == 1) fuzz_support::Fail("%lf took a text that is no number", std::string(text));
        return;
    }
    if (result != 1) fuzz_support::Fail("%lf refused a number", span);
    // Very long spans: strtod is exact, but slow; the engine's reader is
    // checked against it up to a length that keeps the fuzzer fast.
    if (span.size() > 4000) return;
    double expected = std::strtod(span.c_str(), nullptr);
    // The C library gives the nearest double, subnormal numbers included.
    if (std::memcmp(&expected, &value, sizeof value) != 0) {
        char detail[200];
        std::snprintf(detail, sizeof detail, "expected %.17g, got %.17g for ", expected, value);
        fuzz_support::Fail("%lf differs from strtod", detail + span.substr(0, 200));
    }
}

void CheckLoneInt(std::string_view text, int result, int32_t value) {
    size_t start = 0;
    while (start < text.size() && White(text[start])) ++start;
    size_t at = start;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
    size_t first = at;
    while (at < text.size() && Digit(text[at])) ++at;
    if (at == first) {
        if (result == 1) fuzz_support::Fail("%d took a text without digits", std::string(text));
        return;
    }
    if (result != 1) fuzz_support::Fail("%d refused digits", std::string(text));
    std::string span(text.substr(start, at - start));
    errno = 0;
    long long wide = std::strtoll(span.c_str(), nullptr, 10);
    int32_t expected = wide > INT32_MAX ? INT32_MAX : wide < INT32_MIN ? INT32_MIN : static_cast<int32_t>(wide);
    if (expected != value) fuzz_support::Fail("%d differs from the saturated strtoll", span.substr(0, 200));
}

// The point-line fast path stores and counts exactly what "%lf %lf" does.
void CheckPair(std::string_view text, int result, const Fields &general) {
    double x = -1, y = -1;
    int paired = ScanPair(text, x, y);
    if (paired != result) fuzz_support::Fail("ScanPair's result differs from \"%lf %lf\"", std::string(text.substr(0, 200)));
    if ((result >= 1 && std::memcmp(&x, &general.d[0], sizeof x) != 0) ||
        (result >= 2 && std::memcmp(&y, &general.d[1], sizeof y) != 0))
        fuzz_support::Fail("ScanPair's values differ from \"%lf %lf\"", std::string(text.substr(0, 200)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0) return 0;
    size_t which = data[0] % kPatternCount;
    const Pattern &pattern = kPatterns[which];
    std::string_view text(reinterpret_cast<const char *>(data) + 1, size - 1);
    Fields fields;
    int result = pattern.scan(text, pattern.text, fields);
    if (result < -1 || result > pattern.fields)
        fuzz_support::Fail("result out of range", pattern.text);
    if (which == 0) CheckLoneDouble(text, result, fields.d[0]);
    if (which == 2) CheckPair(text, result, fields);
    if (which == 1) CheckLoneInt(text, result, fields.i[0]);
    return 0;
}
