// "%lf" formatting of any double against the exact method: the C library
// gives the exact decimal expansion of the value, and the two roundings
// (17 significant digits, then six decimals, each half up on the next
// digit) are done here on decimal digits.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "fuzz_support.h"
#include "text.h"

namespace {

// Adds one to a string of decimal digits.
void Increment(std::string &digits) {
    for (size_t i = digits.size(); i-- > 0;) {
        if (digits[i] != '9') {
            ++digits[i];
            return;
        }
        digits[i] = '0';
    }
    digits.insert(digits.begin(), '1');
}

std::string NonFinite(uint64_t bits) {
    std::string sign = (bits >> 63) != 0 ? "-" : "";
    uint64_t fraction = bits & ((1ULL << 52) - 1);
    if (fraction == 0) return sign + "1.#INF00";
    if (bits == 0xFFF8000000000000ULL) return "-1.#IND00";
    if ((fraction >> 51) != 0) return sign + "1.#QNAN0";
    return sign + "1.#SNAN0";
}

std::string Exact(double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    if ((bits & 0x7FF0000000000000ULL) == 0x7FF0000000000000ULL) return NonFinite(bits);
    if (value == 0) return "0.000000";
    bool negative = (bits >> 63) != 0;
    // Every double has at most 767 significant decimal digits.
    static char text[900];
    std::snprintf(text, sizeof text, "%.799e", negative ? -value : value);
    std::string all = std::string(1, text[0]) + std::string(text + 2, 799);
    int exponent = std::atoi(std::strchr(text, 'e') + 1);
    // 17 significant digits, a 5 or more in the 18th rounding up.
    std::string digits = all.substr(0, 17);
    if (all[17] >= '5') Increment(digits);
    int power = exponent - static_cast<int>(digits.size()) + 1;  // value = digits * 10^power
    // In millionths: digits * 10^(power + 6), a 5 or more in the seventh
    // decimal rounding up.
    int shift = power + 6;
    std::string micros;
    if (shift >= 0) {
        micros = digits + std::string(static_cast<size_t>(shift), '0');
    } else {
        size_t cut = static_cast<size_t>(-shift);
        if (cut > digits.size()) {
            micros = "0";
        } else {
            micros = cut == digits.size() ? "0" : digits.substr(0, digits.size() - cut);
            if (digits[digits.size() - cut] >= '5') Increment(micros);
        }
    }
    size_t lead = micros.find_first_not_of('0');
    micros = lead == std::string::npos ? "0" : micros.substr(lead);
    if (micros.size() < 7) micros.insert(0, 7 - micros.size(), '0');
    std::string out = negative ? "-" : "";
    out += micros.substr(0, micros.size() - 6) + "." + micros.substr(micros.size() - 6);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < sizeof(double)) return 0;
    // Every eight bytes are one value.
    for (size_t at = 0; at + sizeof(double) <= size; at += sizeof(double)) {
        double value;
        std::memcpy(&value, data + at, sizeof value);
        std::string got;
        AppendDouble(got, value);
        std::string expected = Exact(value);
        if (got != expected) {
            char detail[120];
            std::snprintf(detail, sizeof detail, "value %.17g (%a)\n", value, value);
            fuzz_support::Fail("\"%lf\" differs from the exact method",
                               detail + ("expected " + expected + "\ngot      " + got));
        }
        // FormatText goes the same way.
        std::string formatted;
        FormatText(formatted, "%lf", {value});
        if (formatted != got) fuzz_support::Fail("FormatText differs from AppendDouble", formatted);
    }
    return 0;
}
