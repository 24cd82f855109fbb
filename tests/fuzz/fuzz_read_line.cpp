// ReadLine and ReadLineView over arbitrary bytes, checked line by line against a plain model
// of the line rules: lines end at LF, a CR right before the LF belongs to
// the line end, a Ctrl-Z ends the input, a NUL ends the text of its line,
// and the position after each line is where the next one starts (the
// length once a Ctrl-Z follows).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "text.h"

namespace {

struct Line {
    std::string text;
    uint64_t position;
};

std::vector<Line> Model(const std::string &bytes) {
    std::vector<Line> lines;
    size_t at = 0;
    const size_t size = bytes.size();
    while (at < size && bytes[at] != '\x1A') {
        size_t end = at;
        while (end < size && bytes[end] != '\n' && bytes[end] != '\x1A') ++end;
        std::string raw = bytes.substr(at, end - at);
        bool hasLf = end < size && bytes[end] == '\n';
        if (!hasLf && raw.empty()) break;  // a Ctrl-Z right at the start
        size_t nul = raw.find('\0');
        std::string text = raw.substr(0, nul);
        if (hasLf && nul == std::string::npos && !text.empty() && text.back() == '\r') text.pop_back();
        uint64_t next = hasLf ? end + 1 : end;
        bool markFollows = next < size && bytes[next] == '\x1A';
        lines.push_back({text, markFollows || next == size ? size : next});
        if (!hasLf) break;  // the file or a Ctrl-Z ended this line
        at = next;
    }
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const std::string path = fuzz_support::ScratchFolder() + "/lines";
    std::string bytes(reinterpret_cast<const char *>(data), size);
    fuzz_support::WriteBytes(path, data, size);
    std::vector<Line> expected = Model(bytes);

    TextFile file;
    if (!OpenRead(file, path.c_str())) fuzz_support::Fail("OpenRead failed", path);
    std::string line = "left over";
    std::string got;
    std::string_view view;
    size_t count = 0;
    // Lines are taken by ReadLine and by ReadLineView in turns that the
    // input picks: both must give the same lines.
    bool lastByView = false;
    auto next = [&]() {
        lastByView = size > 0 && (data[count % size] & 1) != 0;
        if (lastByView) {
            if (!ReadLineView(file, line, view)) return false;
            got.assign(view);
            return true;
        }
        if (!ReadLine(file, line)) return false;
        got = line;
        return true;
    };
    while (next()) {
        if (count >= expected.size()) fuzz_support::Fail("a line too many", got.substr(0, 200));
        if (got != expected[count].text)
            fuzz_support::Fail("line text", "expected [" + expected[count].text.substr(0, 200) +
                                                 "]\ngot [" + got.substr(0, 200) + "]");
        if (Position(file) != expected[count].position)
            fuzz_support::Fail("position after a line", std::to_string(count) + ": expected " +
                                                            std::to_string(expected[count].position) +
                                                            ", got " + std::to_string(Position(file)));
        if (Length(file) != size) fuzz_support::Fail("length", std::to_string(Length(file)));
        ++count;
    }
    if (count != expected.size()) fuzz_support::Fail("too few lines", std::to_string(count));
    if (!lastByView && !line.empty())
        fuzz_support::Fail("the line after the end is not empty", line.substr(0, 200));
    if (ReadLine(file, line)) fuzz_support::Fail("a line after the end", line.substr(0, 200));
    if (!Close(file)) fuzz_support::Fail("Close failed", path);
    return 0;
}
