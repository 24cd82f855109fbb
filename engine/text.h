// Text lines and numbers: the byte-level rules every stage of a run follows.
//
// A line is read up to LF (a CR just before it belongs to the line end), a
// Ctrl-Z ends the input, and every written line ends in CR LF. Numbers are
// written and read by fixed rules that do not depend on the C locale, so the
// same input gives the same bytes on every machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

// A path of this many characters or more, or whose absolute form is that
// long, is refused by both opens.
constexpr size_t kMaxPathChars = 260;

// An open file with its own buffer. A reader counts the bytes it has taken
// itself (no seek per line); a writer collects output in its buffer and
// writes it in large blocks. Any failed system call sets `failed`, which
// stays set: the run checks it in one place.
struct TextFile {
    int fd = -1;
    bool writable = false;
    bool ended = false;         // the reader met the end of input or a Ctrl-Z
    bool failed = false;        // a read, write or close failed
    uint64_t position = 0;      // bytes of the file the reader has taken
    std::vector<char> buffer;   // read-ahead or pending output
    size_t start = 0;           // first unread byte in buffer (reader)
    size_t end = 0;             // one past the last valid byte in buffer
};

// Opens an existing file for reading, taking an exclusive lock on it; fails
// when the path is absent, too long, missing, unreadable or locked by
// another opener.
bool OpenRead(TextFile &file, const char *path);
// Opens an existing file for reading beside other readers: it fails when a
// writer holds the file, and keeps writers out while it is open. For files
// that are only ever read, such as a projection list that parallel runs
// share.
bool OpenReadShared(TextFile &file, const char *path);
// Creates or empties a file for reading and writing, with an exclusive
// lock; fails as OpenRead does, or when the file cannot be created.
bool OpenCreate(TextFile &file, const char *path);
// Creates a new file named "<dir>/TRAXO" + unique suffix in the temporary
// folder (TMPDIR, else /tmp), exclusively, mode 0600, never through a
// symbolic link, locked; sets path to it. Fails when no such file can be
// made or the path would be too long.
bool OpenTemporary(TextFile &file, std::string &path);

// The next line without its line end; false when no line is left (then
// `line` is empty), and for every later call.
bool ReadLine(TextFile &file, std::string &line);
// ReadLine, giving the line as text: a view of the reader's own buffer
// where the whole line stands in it, valid until the next read from file,
// else of line, which then holds the line as ReadLine gives it.
bool ReadLineView(TextFile &file, std::string &line, std::string_view &text);
// Writes the bytes of text, each LF as CR LF. False once the file failed.
bool WriteText(TextFile &file, std::string_view text);
// Writes text followed by a line end: the same bytes as WriteText(text + "\n").
bool WriteLine(TextFile &file, std::string_view text);
// True while file is open for writing and nothing has failed on it.
inline bool CanWrite(const TextFile &file) {
    return file.fd >= 0 && file.writable && !file.failed;
}
// ReserveOutput's way when the buffer lacks the room or the file cannot be
// written.
char *ReserveOutputAfterFlush(TextFile &file, size_t count);
// A place for count bytes of output right in the writer's buffer, which is
// handed to the system first when it has less room; nullptr when the file
// cannot be written or count exceeds the buffer. The bytes written there
// become output with CommitOutput; no LF is translated.
inline char *ReserveOutput(TextFile &file, size_t count) {
    if (CanWrite(file) && count <= file.buffer.size() - file.end)
        return file.buffer.data() + file.end;
    return ReserveOutputAfterFlush(file, count);
}
// Takes the bytes from the place ReserveOutput gave up to end as output.
inline void CommitOutput(TextFile &file, const char *end) {
    file.end = static_cast<size_t>(end - file.buffer.data());
}
// Bytes the reader has taken; the length once a Ctrl-Z ended the input.
uint64_t Position(const TextFile &file);
// The size of the file on disk, measured now. Does not move the reader.
uint64_t Length(TextFile &file);
// Completes the file (all output reaches the disk) and releases it; false
// when anything failed on the way. Safe on a file that is not open.
bool Close(TextFile &file);

// White space: the bytes 0x09 to 0x0D and 0x20, nothing else.
inline bool IsWhiteSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
// The decimal digits "0" to "9".
inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }
// Moves pos past the white space that stands there.
inline void SkipWhiteSpace(std::string_view text, size_t &pos) {
    while (pos < text.size() && IsWhiteSpace(text[pos])) ++pos;
}
// Skips white space from pos, then gives the word that follows (the bytes up
// to the next white space, as "%*s" takes it) and moves pos past it; empty at
// the end of the text.
inline std::string_view NextWord(std::string_view text, size_t &pos) {
    SkipWhiteSpace(text, pos);
    const size_t start = pos;
    while (pos < text.size() && !IsWhiteSpace(text[pos])) ++pos;
    return text.substr(start, pos - start);
}
void TrimLeading(std::string &text);
void TrimTrailing(std::string &text);
// Same length, and equal once "A"-"Z" are taken as "a"-"z".
bool EqualNoCase(std::string_view a, std::string_view b);

// A value for FormatText: a text ("%s"), a 32-bit integer ("%d") or a
// double ("%lf").
struct FormatArg {
    enum Kind { Text, Int, Double } kind;
    std::string_view text{};
    int32_t number = 0;
    double value = 0.0;
    FormatArg(std::string_view t) : kind(Text), text(t) {}
    FormatArg(const std::string &t) : kind(Text), text(t) {}
    FormatArg(const char *t) : kind(Text), text(t) {}
    FormatArg(int32_t n) : kind(Int), number(n) {}
    FormatArg(double v) : kind(Double), value(v) {}
};

// Replaces out with pattern, each "%s", "%d" and "%lf" replaced by the next
// argument; every other byte stands for itself.
void FormatText(std::string &out, std::string_view pattern,
                std::initializer_list<FormatArg> args);
// Appends value as "%lf" writes it: six decimals after two-step rounding
// (17 significant digits, then six decimals, both half up), 0.000000 for
// either zero, the full integer part, 1.#INF00 and its kin for non-finite.
void AppendDouble(std::string &out, double value);
// The most bytes one value takes in "%lf" form: a sign, 309 digits, the
// point and six decimals.
constexpr size_t kMaxDoubleChars = 317;
// Writes value as AppendDouble does at at, which has room for
// kMaxDoubleChars bytes; gives the end of what it wrote.
char *PutDouble(char *at, double value);
// Appends value in decimal, with "-" when negative.
void AppendInt(std::string &out, int32_t value);

// A place for ScanText to store a value: a text ("%s"), a 32-bit integer
// ("%d") or a double ("%lf"). "%*s" takes no field.
struct ScanField {
    enum Kind { Text, Int, Double } kind;
    std::string *text = nullptr;
    int32_t *number = nullptr;
    double *value = nullptr;
    ScanField(std::string *t) : kind(Text), text(t) {}
    ScanField(int32_t *n) : kind(Int), number(n) {}
    ScanField(double *v) : kind(Double), value(v) {}
};

// Reads one number as "%lf" takes it from the very start of text (no white
// space skipped); the number of bytes it took, 0 when no number stands there.
size_t ScanNumber(std::string_view text, double &value);

// Scans text with a pattern of "%s", "%*s", "%d", "%lf" and single blanks;
// returns the number of values stored, or -1 when the text ran out before
// any conversion succeeded.
int ScanText(std::string_view text, std::string_view pattern,
             std::initializer_list<ScanField> fields);
// ScanText(text, "%lf %lf", {&x, &y}) without reading a pattern: the same
// result and the same values stored. The form of every point line.
int ScanPair(std::string_view text, double &x, double &y);
