#include "command_line.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "kavro.h"
#include "text.h"

namespace {

// One option: its name and where its value goes. A text option has room for
// a value of at most maxLength characters; a longer one is refused rather
// than cut, since a cut path or label would name something else.
struct OptionSpec {
    const char *name;
    std::string ConsoleOptions::*text;
    int32_t ConsoleOptions::*integer;
    size_t maxLength;
};

// The order in which an argument is tried against the options.
constexpr OptionSpec kOptions[] = {
    {"if", &ConsoleOptions::inPath, nullptr, 259},
    {"of", &ConsoleOptions::outPath, nullptr, 259},
    {"op", &ConsoleOptions::outLabel, nullptr, 127},
    {"pl", &ConsoleOptions::listPath, nullptr, 259},
    {"rlx", nullptr, &ConsoleOptions::relax, 0},
    {"vb", nullptr, &ConsoleOptions::verbose, 0},
};

char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }

// The value after "name=" when the argument begins with it, the name's ASCII
// letters in any case; nullptr otherwise.
const char *ValueAfterName(const char *argument, const char *name) {
    size_t length = std::strlen(name);
    for (size_t i = 0; i < length; ++i) {
        // The terminator of a shorter argument differs from every letter of
        // the name, so the loop never reads past it.
        if (FoldAscii(argument[i]) != name[i]) return nullptr;
    }
    return argument[length] == '=' ? argument + length + 1 : nullptr;
}

// Whether the option takes the argument; when it does, its value replaces
// the option's earlier one.
bool TakeArgument(const OptionSpec &option, const char *argument, ConsoleOptions &options) {
    const char *value = ValueAfterName(argument, option.name);
    if (value == nullptr) return false;
    if (option.text != nullptr) {
        if (std::strlen(value) > option.maxLength) return false;
        options.*option.text = value;
        return true;
    }
    return ReadOptionInteger(value, options.*option.integer);
}

}  // namespace

bool ReadOptionInteger(const char *text, int32_t &value) {
    const char *p = text;
    while (IsWhiteSpace(*p)) ++p;
    bool negative = *p == '-';
    if (*p == '+' || *p == '-') ++p;
    if (!IsDigit(*p)) return false;
    // A number beyond the 32-bit range saturates at the nearer end of it
    // instead of wrapping, so that a huge value can never read as 0 and turn
    // an option off. The magnitude stops growing once it is past the range.
    constexpr int64_t kBeyond = int64_t{INT32_MAX} + 1;
    int64_t magnitude = 0;
    for (; IsDigit(*p); ++p) magnitude = std::min(magnitude * 10 + (*p - '0'), kBeyond);
    int64_t number = negative ? -magnitude : magnitude;
    value = static_cast<int32_t>(std::clamp<int64_t>(number, INT32_MIN, INT32_MAX));
    return true;
}

bool ParseCommandLine(int count, const char *const *arguments, ConsoleOptions &options) {
    if (count <= 0) return false;
    for (int i = 0; i < count; ++i) {
        bool taken = std::any_of(std::begin(kOptions), std::end(kOptions), [&](const OptionSpec &option) {
            return TakeArgument(option, arguments[i], options);
        });
        // The first argument that no option takes ends the reading; later
        // ones are not looked at.
        if (!taken) return false;
    }
    return !options.inPath.empty() && !options.outLabel.empty() && !options.listPath.empty();
}

uint32_t BuildFlagWord(const ConsoleOptions &options) {
    uint32_t flags = 0;
    if (options.relax != 0) flags |= TF_RELAX;
    if (options.verbose != 0) flags |= TF_VERBOSE;
    return flags;
}
