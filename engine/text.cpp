// Text lines and numbers: files read and written a line at a time through a
// large buffer of their own, and numbers written and read by fixed rules that
// never consult the C locale.
#include "text.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace {

// Room of a file's buffer: reads and writes go to the system in blocks of
// this size.
constexpr size_t kBufferSize = 256 * 1024;
constexpr char kEndMark = 0x1A;  // Ctrl-Z ends the input wherever it stands

// Eight bytes of text as one word, the first byte the lowest; the word-wise
// tests below rely on that order.
static_assert(std::endian::native == std::endian::little);
uint64_t LoadWord(const char *bytes) {
    uint64_t word;
    std::memcpy(&word, bytes, 8);
    return word;
}

// ---------------------------------------------------------------- paths

// A path is taken when it is there, shorter than kMaxPathChars, and its
// absolute form (the current directory before a relative path, "." and ".."
// resolved by name) is shorter too.
bool PathAllowed(const char *path) {
    if (path == nullptr || path[0] == '\0') return false;
    if (::strnlen(path, kMaxPathChars) >= kMaxPathChars) return false;
    std::string absolute;
    if (path[0] != '/') {
        char cwd[PATH_MAX];
        if (::getcwd(cwd, sizeof cwd) == nullptr) return false;
        absolute = cwd;
        absolute += '/';
    }
    absolute += path;
    return std::filesystem::path(absolute).lexically_normal().native().size() <
           kMaxPathChars;
}

// Takes the lock (LOCK_EX keeps every other opener out; LOCK_SH lets other
// readers in but no writer); fails at once when someone holds a lock that
// conflicts.
bool LockFile(int fd, int kind = LOCK_EX) {
    int rc;
    do rc = ::flock(fd, kind | LOCK_NB);
    while (rc != 0 && errno == EINTR);
    return rc == 0;
}

void CloseQuietly(int fd) {
    int saved = errno;
    ::close(fd);
    errno = saved;
}

// Gives file the open descriptor fd, with a fresh buffer and state.
void Adopt(TextFile &file, int fd, bool writable) {
    file.fd = fd;
    file.writable = writable;
    file.ended = false;
    file.failed = false;
    file.position = 0;
    file.buffer.resize(kBufferSize);
    file.start = 0;
    file.end = 0;
}

// Opens path with flags, insists on a regular file (a directory, a pipe or
// a device has no length to measure progress by), and locks it. A file is
// emptied only once the lock is held, so a file that someone else holds is
// never touched.
bool OpenLocked(TextFile &file, const char *path, int flags, bool writable,
                int lock = LOCK_EX) {
    Close(file);
    file.failed = false;
    if (!PathAllowed(path)) return false;
    // O_NONBLOCK keeps the open of a named pipe from waiting for a writer;
    // it has no effect on a regular file.
    int fd;
    do fd = ::open(path, flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) return false;
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || !LockFile(fd, lock) ||
        (writable && ::ftruncate(fd, 0) != 0)) {
        CloseQuietly(fd);
        return false;
    }
    Adopt(file, fd, writable);
    return true;
}

// ---------------------------------------------------------------- reading

// Fills the buffer with the next block of the file. False at the end of the
// file or on a read error; either ends the input.
bool Refill(TextFile &file) {
    ssize_t got;
    do got = ::read(file.fd, file.buffer.data(), file.buffer.size());
    while (got < 0 && errno == EINTR);
    file.start = 0;
    file.end = got > 0 ? static_cast<size_t>(got) : 0;
    if (got > 0) return true;
    if (got < 0) file.failed = true;
    file.ended = true;
    return false;
}

// A Ctrl-Z ends the input: nothing after it is read, and the reader counts
// as having taken the whole file.
void EndAtMark(TextFile &file) {
    file.ended = true;
    file.start = file.end;
    file.position = Length(file);
}

// Appends bytes to a line whose text has not yet met a NUL; the text of a
// line ends at its first NUL, and the bytes after it are dropped.
void TakeText(std::string &line, const char *bytes, size_t count, bool &cut) {
    if (cut || count == 0) return;
    const char *nul = static_cast<const char *>(std::memchr(bytes, '\0', count));
    if (nul != nullptr) {
        count = static_cast<size_t>(nul - bytes);
        cut = true;
    }
    line.append(bytes, count);
}

// Steps over the LF that ends a line. A Ctrl-Z right after it ends the
// input now, so that the position already reaches the length.
[[gnu::always_inline]] inline void PassLineEnd(TextFile &file) {
    ++file.start;
    ++file.position;
    if ((file.start < file.end || Refill(file)) && file.buffer[file.start] == kEndMark)
        EndAtMark(file);
}

// The length of the line that begins the block when the whole line, its LF
// included, stands in the block without NUL or Ctrl-Z; SIZE_MAX for any
// other line. One pass, sixteen bytes at a time where the processor has the
// instructions, then a byte at a time; room (at least available) bytes may
// be read.
[[gnu::always_inline]] inline size_t WholeLineLength(const char *block, size_t available,
                                                      size_t room) {
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i lfs = _mm_set1_epi8('\n');
    const __m128i nuls = _mm_setzero_si128();
    const __m128i marks = _mm_set1_epi8(kEndMark);
    for (; i + 16 <= room && i < available; i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(block + i));
        const __m128i stops =
            _mm_or_si128(_mm_cmpeq_epi8(bytes, lfs),
                         _mm_or_si128(_mm_cmpeq_epi8(bytes, nuls), _mm_cmpeq_epi8(bytes, marks)));
        const auto found = static_cast<unsigned>(_mm_movemask_epi8(stops));
        if (found == 0) continue;
        const size_t at = i + static_cast<size_t>(std::countr_zero(found));
        return at < available && block[at] == '\n' ? at : SIZE_MAX;
    }
#endif
    for (; i < available; ++i) {
        if (block[i] == '\n') return i;
        if (block[i] == '\0' || block[i] == kEndMark) return SIZE_MAX;
    }
    return SIZE_MAX;
}

// The common case of ReadLine: the whole line, its LF included, stands in
// the block, without NUL or Ctrl-Z. Gives the number of bytes before its
// LF, or SIZE_MAX for any other line.
[[gnu::always_inline]] inline size_t WholeLineAhead(const TextFile &file) {
    return WholeLineLength(file.buffer.data() + file.start, file.end - file.start,
                           file.buffer.size() - file.start);
}

// The text of the whole line ahead of count bytes: a CR just before the LF
// belongs to the line end.
std::string_view WholeLineText(const TextFile &file, size_t count) {
    const char *block = file.buffer.data() + file.start;
    return {block, count > 0 && block[count - 1] == '\r' ? count - 1 : count};
}

// Steps over the whole line ahead, count bytes and its LF, as ReadLine's
// loop would.
[[gnu::always_inline]] inline void PassWholeLine(TextFile &file, size_t count) {
    file.start += count;
    file.position += count;
    PassLineEnd(file);
}

// ---------------------------------------------------------------- writing

// Hands the pending output to the system, all of it, whatever the number of
// calls that takes.
bool Flush(TextFile &file) {
    const char *next = file.buffer.data();
    size_t left = file.end;
    while (left > 0 && !file.failed) {
        ssize_t wrote = ::write(file.fd, next, left);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) {
            file.failed = true;
            break;
        }
        next += wrote;
        left -= static_cast<size_t>(wrote);
    }
    file.end = 0;
    return !file.failed;
}

void Put(TextFile &file, const char *bytes, size_t count) {
    while (count > 0 && !file.failed) {
        if (file.end == file.buffer.size() && !Flush(file)) return;
        size_t room = std::min(count, file.buffer.size() - file.end);
        std::memcpy(file.buffer.data() + file.end, bytes, room);
        file.end += room;
        bytes += room;
        count -= room;
    }
}

// Writes text with each LF as CR LF.
void PutText(TextFile &file, std::string_view text) {
    const char *next = text.data();
    const char *last = next + text.size();
    while (next < last) {
        const char *lf =
            static_cast<const char *>(std::memchr(next, '\n', static_cast<size_t>(last - next)));
        if (lf == nullptr) {
            Put(file, next, static_cast<size_t>(last - next));
            return;
        }
        Put(file, next, static_cast<size_t>(lf - next));
        Put(file, "\r\n", 2);
        next = lf + 1;
    }
}

}  // namespace

bool OpenRead(TextFile &file, const char *path) {
    return OpenLocked(file, path, O_RDONLY, false);
}

bool OpenReadShared(TextFile &file, const char *path) {
    return OpenLocked(file, path, O_RDONLY, false, LOCK_SH);
}

bool OpenCreate(TextFile &file, const char *path) {
    return OpenLocked(file, path, O_RDWR | O_CREAT, true);
}

bool OpenTemporary(TextFile &file, std::string &path) {
    Close(file);
    file.failed = false;
    const char *folder = std::getenv("TMPDIR");
    std::string name = folder != nullptr && folder[0] != '\0' ? folder : "/tmp";
    if (name.back() != '/') name += '/';
    name += "TRAXOXXXXXX";
    if (!PathAllowed(name.c_str())) return false;
    // mkostemp creates the name exclusively with mode 0600, so it never
    // opens a file or a symbolic link that was already there.
    int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return false;
    if (!LockFile(fd)) {
        ::unlink(name.c_str());
        CloseQuietly(fd);
        return false;
    }
    Adopt(file, fd, true);
    path = name;
    return true;
}

// The reader looks for the line end with memchr in the block it holds and
// counts the bytes it takes, so a line costs no system call and, once
// `line` has grown to the longest line, no allocation.
bool ReadLine(TextFile &file, std::string &line) {
    line.clear();
    // A file open for writing has no reader: its buffer holds output.
    if (file.fd < 0 || file.writable || file.ended) return false;
    if (const size_t count = WholeLineAhead(file); count != SIZE_MAX) {
        line.append(WholeLineText(file, count));
        PassWholeLine(file, count);
        return true;
    }
    bool taken = false;  // the line has at least one byte
    bool cut = false;    // its text met a NUL
    char last = '\0';    // the last byte taken, to tell a CR before the LF
    for (;;) {
        if (file.start == file.end && !Refill(file)) {
            // The end of the file: a last line without a line end counts.
            if (file.failed) {
                line.clear();
                return false;
            }
            return taken;
        }
        const char *block = file.buffer.data() + file.start;
        size_t available = file.end - file.start;
        const char *lf = static_cast<const char *>(std::memchr(block, '\n', available));
        size_t count = lf != nullptr ? static_cast<size_t>(lf - block) : available;
        const char *mark = static_cast<const char *>(std::memchr(block, kEndMark, count));
        if (mark != nullptr) {
            size_t before = static_cast<size_t>(mark - block);
            TakeText(line, block, before, cut);
            EndAtMark(file);
            if (file.failed) line.clear();
            return (taken || before > 0) && !file.failed;
        }
        TakeText(line, block, count, cut);
        if (count > 0) {
            taken = true;
            last = block[count - 1];
        }
        file.start += count;
        file.position += count;
        if (lf == nullptr) continue;  // the line goes on in the next block
        // A CR just before the LF belongs to the line end; once a NUL cut
        // the text, that CR was never part of it.
        if (last == '\r' && !cut) line.pop_back();
        PassLineEnd(file);
        return true;
    }
}

bool ReadLineView(TextFile &file, std::string &line, std::string_view &text) {
    if (file.fd >= 0 && !file.writable && !file.ended) {
        // Stepping over an LF that ends the block would read the next block
        // over the text.
        const size_t count = WholeLineAhead(file);
        if (count != SIZE_MAX && count + 1 < file.end - file.start) {
            text = WholeLineText(file, count);
            PassWholeLine(file, count);
            return true;
        }
    }
    const bool read = ReadLine(file, line);
    text = line;
    return read;
}

bool WriteText(TextFile &file, std::string_view text) {
    if (!CanWrite(file)) return false;
    PutText(file, text);
    return !file.failed;
}

bool WriteLine(TextFile &file, std::string_view text) {
    // A line without LF goes in with its CR LF at once: the bytes PutText
    // and Put would give.
    const size_t size = text.size();
    if (size == 0 || std::memchr(text.data(), '\n', size) == nullptr) {
        if (char *at = ReserveOutput(file, size + 2)) {
            if (size > 0) std::memcpy(at, text.data(), size);
            at[size] = '\r';
            at[size + 1] = '\n';
            CommitOutput(file, at + size + 2);
            return true;
        }
    }
    if (!CanWrite(file)) return false;
    PutText(file, text);
    Put(file, "\r\n", 2);
    return !file.failed;
}

char *ReserveOutputAfterFlush(TextFile &file, size_t count) {
    if (!CanWrite(file) || count > file.buffer.size()) return nullptr;
    if (count > file.buffer.size() - file.end && !Flush(file)) return nullptr;
    return file.buffer.data() + file.end;
}

uint64_t Position(const TextFile &file) { return file.position; }

// A writer's length includes the output still in its buffer, which is all
// appended at the end.
uint64_t Length(TextFile &file) {
    struct stat info;
    if (file.fd < 0 || ::fstat(file.fd, &info) != 0) {
        if (file.fd >= 0) file.failed = true;
        return file.position;
    }
    uint64_t size = static_cast<uint64_t>(info.st_size);
    return file.writable ? size + file.end : size;
}

bool Close(TextFile &file) {
    if (file.fd < 0) return !file.failed;
    if (file.writable) Flush(file);
    // Linux releases the descriptor even when close reports EINTR, so it is
    // never closed twice; any other error (a delayed write) is a failure.
    if (::close(file.fd) != 0 && errno != EINTR) file.failed = true;
    file.fd = -1;
    file.writable = false;
    file.ended = true;
    std::vector<char>().swap(file.buffer);
    file.start = 0;
    file.end = 0;
    return !file.failed;
}

// ---------------------------------------------------------------- texts

void TrimLeading(std::string &text) {
    size_t first = 0;
    while (first < text.size() && IsWhiteSpace(text[first])) ++first;
    if (first > 0) text.erase(0, first);
}

void TrimTrailing(std::string &text) {
    size_t size = text.size();
    while (size > 0 && IsWhiteSpace(text[size - 1])) --size;
    text.resize(size);
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    // Two bytes that differ are equal once folded only when they differ in
    // the bit 0x20 alone and are a letter in its two cases.
    for (size_t i = 0; i < a.size(); ++i) {
        const unsigned x = static_cast<unsigned char>(a[i]);
        const unsigned y = static_cast<unsigned char>(b[i]);
        if (x == y) continue;
        const unsigned lower = x | 0x20U;
        if ((x ^ y) != 0x20U || lower < 'a' || lower > 'z') return false;
    }
    return true;
}

// ---------------------------------------------------------------- formatting

namespace {

// The exact roundings need products of up to 110 bits.
__extension__ typedef unsigned __int128 uint128;

constexpr uint64_t kPow10[] = {1ULL,
                               10ULL,
                               100ULL,
                               1000ULL,
                               10000ULL,
                               100000ULL,
                               1000000ULL,
                               10000000ULL,
                               100000000ULL,
                               1000000000ULL,
                               10000000000ULL,
                               100000000000ULL,
                               1000000000000ULL,
                               10000000000000ULL,
                               100000000000000ULL,
                               1000000000000000ULL,
                               10000000000000000ULL,
                               100000000000000000ULL,
                               1000000000000000000ULL};

constexpr uint64_t Pow5(int n) {
    uint64_t p = 1;
    while (n-- > 0) p *= 5;
    return p;
}

constexpr uint64_t kPow5[] = {
    Pow5(0),  Pow5(1),  Pow5(2),  Pow5(3),  Pow5(4),  Pow5(5),  Pow5(6),
    Pow5(7),  Pow5(8),  Pow5(9),  Pow5(10), Pow5(11), Pow5(12), Pow5(13),
    Pow5(14), Pow5(15), Pow5(16), Pow5(17), Pow5(18), Pow5(19), Pow5(20),
    Pow5(21), Pow5(22), Pow5(23), Pow5(24), Pow5(25)};

constexpr uint64_t kDigits17 = kPow10[17];  // the smallest 18-digit number

// A magnitude below this rounds to 0.000000: its 17-digit form has a 4 or
// less in the seventh decimal.
constexpr double kShowsAsZero = 4e-7;
// Below this the 17-digit rounding is done in 128-bit integers; above it
// the six decimals never need rounding, as the 17 digits end before them.
constexpr double kExactLimit = 0x1p40;

// A magnitude rounded to 17 significant digits: digits * 10^-scale, with
// digits from 10^16 up to 10^17 (10^17 when rounding carried over).
struct Rounded17 {
    uint64_t digits;
    int scale;
};

// The 17-digit rounding, half up, for kShowsAsZero <= a < kExactLimit.
// With a = m * 2^-k, a * 10^s = m * 5^s * 2^(s-k) is a 128-bit integer
// shifted right, so the bits shifted out say exactly how to round.
Rounded17 Round17Exact(double a) {
    uint64_t bits = std::bit_cast<uint64_t>(a);
    int biased = static_cast<int>(bits >> 52);
    uint64_t m = (bits & ((1ULL << 52) - 1)) | (1ULL << 52);
    int k = 1075 - biased;
    // floor(log2(a) * log10(2)) is the decimal exponent or one less.
    int scale = 16 - (((biased - 1023) * 78913) >> 18);
    for (;;) {
        uint128 x = static_cast<uint128>(m) * kPow5[scale];
        int shift = k - scale;  // from 7 to 52 in this range
        uint64_t whole = static_cast<uint64_t>(x >> shift);
        if (whole >= kDigits17) {
            --scale;
            continue;
        }
        return {whole + static_cast<uint64_t>((x >> (shift - 1)) & 1U), scale};
    }
}

// The 17-digit rounding, half up, for a >= kExactLimit. to_chars gives the
// correctly rounded digits, but settles an exact tie (a value whose exact
// expansion ends in a 5 at the 18th digit) to even; such a value is
// m * 2^-k with m odd and m * 5^k of exactly 18 digits, which is rounded
// here instead.
Rounded17 Round17Large(double a) {
    uint64_t bits = std::bit_cast<uint64_t>(a);
    uint64_t m = (bits & ((1ULL << 52) - 1)) | (1ULL << 52);
    int k = 1075 - static_cast<int>(bits >> 52);
    int zeros = std::countr_zero(m);
    m >>= zeros;
    k -= zeros;
    if (k >= 1 && k <= 25) {
        uint128 exact = static_cast<uint128>(m) * kPow5[k];
        if (exact >= kDigits17 && exact < static_cast<uint128>(kDigits17) * 10)
            return {static_cast<uint64_t>(exact / 10) + 1, k - 1};
    }
    char text[32];
    auto result = std::to_chars(text, text + sizeof text, a,
                                std::chars_format::scientific, 16);
    // text is "d.dddddddddddddddde+NNN"; the exponent is positive here.
    uint64_t digits = static_cast<uint64_t>(text[0] - '0');
    for (int i = 2; i < 18; ++i) digits = digits * 10 + static_cast<uint64_t>(text[i] - '0');
    int exponent = 0;
    std::from_chars(text + 20, result.ptr, exponent);
    return {digits, 16 - exponent};
}

// Below this a magnitude has at most eight digits before the point, so its
// 17-digit form keeps at least nine decimals and lies within 0.5e-9 of it:
// the first rounding moves a * 10^6 by at most 0.0005.
constexpr double kQuickLimit = 1e8;
// How far from a half a * 10^6 must lie for the first rounding to make no
// difference: well beyond that 0.0005 and the error of the sum below.
constexpr double kQuickMargin = 0.001;

// The common case of the two-step rounding, for kShowsAsZero <= a <
// kQuickLimit: a * 10^6 is split exactly into the double product and its
// error (a fused multiply-add), and unless its fraction lies close to a
// half, rounding it half up gives what the two steps give. False when it
// is too close to tell; then the exact way decides.
bool QuickMicros(double a, uint64_t &micros) {
    const double product = a * 1e6;
    const double error = std::fma(a, 1e6, -product);
    // product lies below 10^14, so its integer part is exact as an integer
    // and truncation is its floor.
    const double whole = static_cast<double>(static_cast<uint64_t>(product));
    const double fraction = (product - whole) + error;
    if (std::fabs(fraction - 0.5) < kQuickMargin) return false;
    micros = static_cast<uint64_t>(whole) + (fraction > 0.5 ? 1 : 0);
    return true;
}

// "00" to "99", two bytes each.
constexpr auto kDigitPairs = [] {
    std::array<char, 200> pairs{};
    for (int i = 0; i < 100; ++i) {
        pairs[2 * i] = static_cast<char>('0' + i / 10);
        pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
    }
    return pairs;
}();

// Writes the two digits of n < 100 just before at.
char *PutTwoDigits(char *at, uint32_t n) {
    at -= 2;
    std::memcpy(at, kDigitPairs.data() + 2 * n, 2);
    return at;
}

// The number of decimal digits of n (at most 10^18), at least one.
size_t DecimalLength(uint64_t n) {
    size_t length = 1;
    while (length < 19 && n >= kPow10[length]) ++length;
    return length;
}

// "000" to "999", three bytes each.
constexpr auto kDigitTriples = [] {
    std::array<char, 3000> triples{};
    for (int i = 0; i < 1000; ++i) {
        triples[3 * i] = static_cast<char>('0' + i / 100);
        triples[3 * i + 1] = static_cast<char>('0' + i / 10 % 10);
        triples[3 * i + 2] = static_cast<char>('0' + i % 10);
    }
    return triples;
}();

// Writes whole, ".", and six decimals (micro < 10^6) at at; gives the end.
// The whole part goes from the back, two digits at a time, the decimals
// three at a time.
[[gnu::always_inline]] inline char *PutFixed(char *at, bool negative, uint64_t whole,
                                             uint64_t micro) {
    *at = '-';
    at += negative ? 1 : 0;
    if (whole < 10) {
        *at++ = static_cast<char>('0' + whole);
    } else if (whole < 100) {
        std::memcpy(at, kDigitPairs.data() + 2 * whole, 2);
        at += 2;
    } else {
        at += DecimalLength(whole);
        char *next = at;
        while (whole >= 100) {
            next = PutTwoDigits(next, static_cast<uint32_t>(whole % 100));
            whole /= 100;
        }
        if (whole >= 10) PutTwoDigits(next, static_cast<uint32_t>(whole));
        else next[-1] = static_cast<char>('0' + whole);
    }
    *at = '.';
    const auto micros = static_cast<uint32_t>(micro);
    const uint32_t high = micros / 1000;
    std::memcpy(at + 1, kDigitTriples.data() + 3 * high, 3);
    std::memcpy(at + 4, kDigitTriples.data() + 3 * (micros - high * 1000), 3);
    return at + 7;
}

char *PutBytes(char *at, std::string_view text) {
    std::memcpy(at, text.data(), text.size());
    return at + text.size();
}

// Writes the non-finite values in their fixed forms.
char *PutNonFinite(char *at, uint64_t bits) {
    constexpr uint64_t kFraction = (1ULL << 52) - 1;
    constexpr uint64_t kQuietBit = 1ULL << 51;
    constexpr uint64_t kIndeterminate = 0xFFF8000000000000ULL;
    bool negative = (bits >> 63) != 0;
    const char *form;
    if ((bits & kFraction) == 0) form = "1.#INF00";
    else if (bits == kIndeterminate) form = "1.#IND00";
    else if ((bits & kQuietBit) != 0) form = "1.#QNAN0";
    else form = "1.#SNAN0";
    if (negative) *at++ = '-';
    return PutBytes(at, form);
}

// PutDouble for every value its quick way does not take.
[[gnu::noinline]] char *PutAnyDouble(char *at, double value) {
    uint64_t bits = std::bit_cast<uint64_t>(value);
    if ((bits & 0x7FF0000000000000ULL) == 0x7FF0000000000000ULL) return PutNonFinite(at, bits);
    bool negative = (bits >> 63) != 0;
    double a = negative ? -value : value;
    if (a == 0.0) return PutBytes(at, "0.000000");
    if (a < kShowsAsZero) return PutFixed(at, negative, 0, 0);
    Rounded17 r = a < kExactLimit ? Round17Exact(a) : Round17Large(a);
    if (r.scale > 6) {
        // Round to six decimals, half up, on the 17 digits.
        uint64_t seven = r.digits / kPow10[r.scale - 7];
        uint64_t micros = seven / 10 + (seven % 10 >= 5 ? 1 : 0);
        return PutFixed(at, negative, micros / 1000000, micros % 1000000);
    }
    if (r.scale >= 0) {
        uint64_t unit = kPow10[r.scale];
        return PutFixed(at, negative, r.digits / unit, (r.digits % unit) * kPow10[6 - r.scale]);
    }
    // Past the 17th digit the integer part is zeros.
    if (negative) *at++ = '-';
    at = std::to_chars(at, at + 20, r.digits).ptr;
    const size_t zeros = static_cast<size_t>(-r.scale);
    std::memset(at, '0', zeros);
    return PutBytes(at + zeros, ".000000");
}

}  // namespace

// The quick way: a magnitude from kShowsAsZero up to kQuickLimit whose
// micros QuickMicros can tell (NaN fails the comparisons).
char *PutDouble(char *at, double value) {
    const double a = std::fabs(value);
    uint64_t rounded = 0;
    if (a >= kShowsAsZero && a < kQuickLimit && QuickMicros(a, rounded))
        return PutFixed(at, std::signbit(value), rounded / 1000000, rounded % 1000000);
    return PutAnyDouble(at, value);
}

void AppendDouble(std::string &out, double value) {
    char text[kMaxDoubleChars];
    out.append(text, static_cast<size_t>(PutDouble(text, value) - text));
}

void AppendInt(std::string &out, int32_t value) {
    char text[16];
    out.append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

// A "%" that begins none of "%s", "%d" and "%lf" stands for itself. A
// conversion without a matching argument (none left, or one of another
// kind) is written as it stands, and the argument is passed over. out must
// not be the pattern's own storage.
void FormatText(std::string &out, std::string_view pattern,
                std::initializer_list<FormatArg> args) {
    out.clear();
    const FormatArg *arg = args.begin();
    size_t at = 0;
    while (at < pattern.size()) {
        size_t percent = pattern.find('%', at);
        if (percent == std::string_view::npos) percent = pattern.size();
        out.append(pattern.substr(at, percent - at));
        at = percent;
        if (at == pattern.size()) break;
        std::string_view rest = pattern.substr(at);
        FormatArg::Kind kind;
        size_t length = 2;
        if (rest.starts_with("%s")) kind = FormatArg::Text;
        else if (rest.starts_with("%d")) kind = FormatArg::Int;
        else if (rest.starts_with("%lf")) kind = FormatArg::Double, length = 3;
        else {
            out.push_back('%');
            ++at;
            continue;
        }
        if (arg == args.end() || arg->kind != kind) out.append(rest.substr(0, length));
        else if (kind == FormatArg::Text) out.append(arg->text);
        else if (kind == FormatArg::Int) AppendInt(out, arg->number);
        else AppendDouble(out, arg->value);
        if (arg != args.end()) ++arg;
        at += length;
    }
}

// ---------------------------------------------------------------- scanning

namespace {

const char *SkipWhiteSpace(const char *next, const char *last) {
    while (next < last && IsWhiteSpace(*next)) ++next;
    return next;
}

const char *SkipDigits(const char *next, const char *last) {
    while (next < last && IsDigit(*next)) ++next;
    return next;
}

// Takes an optional "+" or "-"; true for "-".
bool TakeSign(const char *&at, const char *last) {
    if (at == last || (*at != '+' && *at != '-')) return false;
    return *at++ == '-';
}

// How a conversion ended: a value taken, a byte that does not fit, or the
// text used up before the conversion had what it needs.
enum class Scan { Taken, Mismatch, RanOut };

Scan Failed(const char *next, const char *last) {
    return next == last ? Scan::RanOut : Scan::Mismatch;
}

// "%d": an optional sign and one or more digits. A value beyond the 32-bit
// range is stored as INT32_MIN or INT32_MAX, whichever is nearer.
Scan ScanInt(const char *&next, const char *last, int32_t &value) {
    const char *at = next;
    bool negative = TakeSign(at, last);
    const char *digits = at;
    at = SkipDigits(at, last);
    if (at == digits) return Failed(at, last);
    constexpr uint64_t kBeyond = 1ULL << 32;  // any larger magnitude saturates
    uint64_t magnitude = 0;
    for (const char *d = digits; d < at && magnitude < kBeyond; ++d)
        magnitude = magnitude * 10 + static_cast<uint64_t>(*d - '0');
    if (negative)
        value = magnitude >= 2147483648ULL ? INT32_MIN
                                           : -static_cast<int32_t>(magnitude);
    else
        value = magnitude > INT32_MAX ? INT32_MAX : static_cast<int32_t>(magnitude);
    next = at;
    return Scan::Taken;
}

// The decimal exponent of the text's exponent part, held within +-10^9.
int64_t ExponentValue(const char *next, const char *last) {
    bool negative = *next == '-';
    if (*next == '+' || *next == '-') ++next;
    int64_t exponent = 0;
    for (; next < last; ++next)
        exponent = std::min<int64_t>(exponent * 10 + (*next - '0'), 1000000000);
    return negative ? -exponent : exponent;
}

// A number that from_chars finds out of range: a huge one is infinite, as
// the C library reads it, and a tiny one is zero. Which of the two it is
// shows in the place of its first non-zero digit plus its exponent.
double OutOfRange(const char *number, const char *point, const char *mantissaEnd,
                  const char *last) {
    const char *lead = number;
    while (lead < mantissaEnd && (*lead == '0' || *lead == '.')) ++lead;
    int64_t order = lead < point ? point - lead : -(lead - point);
    if (mantissaEnd < last) order += ExponentValue(mantissaEnd + 1, last);
    return order > 0 ? HUGE_VAL : 0.0;
}

// Powers of ten that a double holds exactly.
constexpr double kExactPowers10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                     1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                     1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The common case of a number without exponent: when its digits, point
// aside, form a whole number of at most 2^53 and at most 22 of them follow
// the point, both that number and the power of ten are exact doubles, and
// one division gives the nearest double, as from_chars does. False when the
// number is not of that kind. whole is the value of the digits when there
// are at most 19 of them.
bool QuickDecimal(uint64_t whole, size_t digits, size_t decimals, double &value) {
    if (digits > 19 || whole > (1ULL << 53) || decimals > 22) return false;
    value = static_cast<double>(whole) / kExactPowers10[decimals];
    return true;
}

// The number of digits that begin the eight bytes of word (the first byte
// the lowest): a byte is a digit when its high half is 3 and stays 3 with 6
// added. A carry out of a byte (0xFA and up, no digit) only reaches bytes
// above it, so the first byte that is no digit is always found.
unsigned LeadingDigits(uint64_t word) {
    constexpr uint64_t kHighHalves = 0xF0F0F0F0F0F0F0F0ULL;
    constexpr uint64_t kThrees = 0x3030303030303030ULL;
    constexpr uint64_t kSixes = 0x0606060606060606ULL;
    const uint64_t other =
        ((word & kHighHalves) ^ kThrees) | (((word + kSixes) & kHighHalves) ^ kThrees);
    return other == 0 ? 8 : static_cast<unsigned>(std::countr_zero(other)) / 8;
}

// The value of the first n (1 to 8) bytes of word, all digits: they move to
// the top, zeros before them, and pairs, fours and eights of digits are
// joined by multiplications.
uint64_t DigitsValue(uint64_t word, unsigned n) {
    uint64_t d = (word - 0x3030303030303030ULL) << (8 * (8 - n));
    d = d * 10 + (d >> 8);
    constexpr uint64_t kMask = 0x000000FF000000FFULL;
    constexpr uint64_t kMul1 = 100 + (1000000ULL << 32);
    constexpr uint64_t kMul2 = 1 + (10000ULL << 32);
    return (((d & kMask) * kMul1) + (((d >> 16) & kMask) * kMul2)) >> 32;
}

// Takes the digits from at on, eight at a time while eight bytes are left,
// adding them to whole and counting them in digits. Past 19 digits whole
// wraps around and is no longer used.
[[gnu::always_inline]] inline const char *TakeDigits(const char *at, const char *last,
                                                   uint64_t &whole, size_t &digits) {
    while (last - at >= 8) {
        const uint64_t word = LoadWord(at);
        const unsigned n = LeadingDigits(word);
        if (n == 0) return at;
        whole = whole * kPow10[n] + DigitsValue(word, n);
        digits += n;
        at += n;
        if (n < 8) return at;
    }
    for (; at < last; ++at) {
        const unsigned digit = static_cast<unsigned char>(*at) - static_cast<unsigned>('0');
        if (digit > 9) break;
        whole = whole * 10 + digit;
        ++digits;
    }
    return at;
}

// "%lf": an optional sign, digits, optionally "." and digits, and, after at
// least one digit, an optional exponent. An "e" or "e+" that no digit
// follows is taken and adds nothing. The span without sign and dangling
// exponent goes to from_chars, which gives the nearest double for any
// number of digits and does not look at the locale.
[[gnu::always_inline]] inline Scan ScanDouble(const char *&next, const char *last,
                                              double &value) {
    const char *at = next;
    bool negative = TakeSign(at, last);
    const char *number = at;
    // One pass over the digits: their count, and their value, point aside,
    // for the quick way.
    uint64_t whole = 0;
    size_t digits = 0;
    at = TakeDigits(at, last, whole, digits);
    const char *point = at;
    size_t decimals = 0;
    if (at < last && *at == '.') {
        const size_t before = digits;
        at = TakeDigits(at + 1, last, whole, digits);
        decimals = digits - before;
    }
    if (digits == 0) return Failed(at, last);
    const char *mantissaEnd = at;
    const char *spanEnd = at;
    if (at < last && (*at == 'e' || *at == 'E')) {
        ++at;
        if (at < last && (*at == '+' || *at == '-')) ++at;
        const char *exponent = at;
        at = SkipDigits(at, last);
        if (at > exponent) spanEnd = at;
    }
    double parsed = 0.0;
    if (spanEnd != mantissaEnd || !QuickDecimal(whole, digits, decimals, parsed)) {
        auto result = std::from_chars(number, spanEnd, parsed, std::chars_format::general);
        if (result.ec == std::errc::result_out_of_range)
            parsed = OutOfRange(number, point, mantissaEnd, spanEnd);
    }
    value = negative ? -parsed : parsed;
    next = at;
    return Scan::Taken;
}

}  // namespace

size_t ScanNumber(std::string_view text, double &value) {
    const char *next = text.data();
    if (ScanDouble(next, text.data() + text.size(), value) != Scan::Taken) return 0;
    return static_cast<size_t>(next - text.data());
}

namespace {

// The conversions a scan pattern holds.
enum class Conversion { None, Text, SkipText, Int, Double };

// pattern[at] is the "%" that begins a conversion; at moves past it.
Conversion ReadConversion(std::string_view pattern, size_t &at) {
    const char *form = pattern.data() + at;
    const size_t left = pattern.size() - at;
    Conversion conversion = Conversion::None;
    size_t length = 2;
    if (left >= 2 && form[1] == 's') {
        conversion = Conversion::Text;
    } else if (left >= 2 && form[1] == 'd') {
        conversion = Conversion::Int;
    } else if (left >= 3 && form[1] == '*' && form[2] == 's') {
        conversion = Conversion::SkipText;
        length = 3;
    } else if (left >= 3 && form[1] == 'l' && form[2] == 'f') {
        conversion = Conversion::Double;
        length = 3;
    }
    if (conversion != Conversion::None) at += length;
    return conversion;
}

}  // namespace

// A byte of the pattern that is neither white space nor part of a
// conversion must match the same byte of the text. A conversion whose field
// is missing or of another kind ends the scan as a mismatch does.
int ScanText(std::string_view text, std::string_view pattern,
             std::initializer_list<ScanField> fields) {
    const char *next = text.data();
    const char *last = next + text.size();
    const ScanField *field = fields.begin();
    int stored = 0;
    bool converted = false;  // a conversion succeeded, "%*s" included
    size_t at = 0;
    Scan outcome = Scan::Taken;
    while (at < pattern.size() && outcome == Scan::Taken) {
        char c = pattern[at];
        if (IsWhiteSpace(c)) {
            next = SkipWhiteSpace(next, last);
            ++at;
            continue;
        }
        if (c != '%') {
            if (next == last || *next != c) {
                outcome = Failed(next, last);
                break;
            }
            ++next;
            ++at;
            continue;
        }
        Conversion conversion = ReadConversion(pattern, at);
        if (conversion == Conversion::None) break;
        next = SkipWhiteSpace(next, last);
        if (next == last) {
            outcome = Scan::RanOut;
            break;
        }
        if (conversion == Conversion::SkipText || conversion == Conversion::Text) {
            const char *word = next;
            while (next < last && !IsWhiteSpace(*next)) ++next;
            if (conversion == Conversion::Text) {
                if (field == fields.end() || field->kind != ScanField::Text) break;
                field->text->assign(word, static_cast<size_t>(next - word));
            }
        } else if (conversion == Conversion::Int) {
            if (field == fields.end() || field->kind != ScanField::Int) break;
            outcome = ScanInt(next, last, *field->number);
        } else {
            if (field == fields.end() || field->kind != ScanField::Double) break;
            outcome = ScanDouble(next, last, *field->value);
        }
        if (outcome != Scan::Taken) break;
        converted = true;
        if (conversion != Conversion::SkipText) {
            ++stored;
            ++field;
        }
    }
    if (outcome == Scan::RanOut && !converted) return -1;
    return stored;
}

namespace {

// The bytes from at on, at most eight, as one word; the bytes past last
// read as zeros, which are no digits. first is the start of the text: when
// it holds eight bytes or more, a short tail is read as the text's last
// eight bytes, moved down.
uint64_t LoadUpTo8(const char *at, const char *first, const char *last) {
    const size_t left = static_cast<size_t>(last - at);
    if (left >= 8) return LoadWord(at);
    if (left == 0) return 0;
    if (last - first >= 8) return LoadWord(last - 8) >> (8 * (8 - left));
    uint64_t word = 0;
    std::memcpy(&word, at, left);
    return word;
}

// The common form of a point line's number, read in two words: an optional
// "-", one to seven digits, optionally "." and up to seven digits, and no
// exponent. Its digits then form a whole number below 10^14 and at most
// seven decimals follow the point, so QuickDecimal's one division gives
// what ScanDouble gives. Gives the end of the number, or nullptr, having
// taken nothing, for a number of any other form. next < last.
[[gnu::always_inline]] inline const char *QuickNumber(const char *next, const char *first,
                                                      const char *last, double &value) {
    const char *at = next;
    const bool negative = *at == '-';
    at += negative ? 1 : 0;
    uint64_t word = LoadUpTo8(at, first, last);
    const unsigned digits = LeadingDigits(word);
    if (digits == 0 || digits == 8) return nullptr;
    uint64_t whole = DigitsValue(word, digits);
    at += digits;
    unsigned decimals = 0;
    if (at < last && *at == '.') {
        ++at;
        word = LoadUpTo8(at, first, last);
        decimals = LeadingDigits(word);
        if (decimals == 8) return nullptr;
        if (decimals > 0) whole = whole * kPow10[decimals] + DigitsValue(word, decimals);
        at += decimals;
    }
    if (at < last && (*at == 'e' || *at == 'E')) return nullptr;
    const double parsed = static_cast<double>(whole) / kExactPowers10[decimals];
    value = negative ? -parsed : parsed;
    return at;
}

// ScanDouble kept out of line, so that the quick way around it stays lean.
[[gnu::noinline]] Scan ScanAnyDouble(const char *&next, const char *last, double &value) {
    return ScanDouble(next, last, value);
}

// One number of a pair: the quick form when it stands there, else the
// whole of "%lf".
[[gnu::always_inline]] inline Scan ScanPairNumber(const char *&next, const char *first,
                                                  const char *last, double &value) {
    if (const char *end = QuickNumber(next, first, last, value)) {
        next = end;
        return Scan::Taken;
    }
    return ScanAnyDouble(next, last, value);
}

}  // namespace

// The steps ScanText takes for "%lf %lf": white space and a number, white
// space, then white space and a number; the first number that is not
// there ends the scan, with -1 when the text ran out before the first.
int ScanPair(std::string_view text, double &x, double &y) {
    const char *first = text.data();
    const char *last = first + text.size();
    const char *next = SkipWhiteSpace(first, last);
    if (next == last) return -1;
    const Scan scanned = ScanPairNumber(next, first, last, x);
    if (scanned != Scan::Taken) return scanned == Scan::RanOut ? -1 : 0;
    next = SkipWhiteSpace(next, last);
    if (next == last) return 1;
    return ScanPairNumber(next, first, last, y) == Scan::Taken ? 2 : 1;
}
