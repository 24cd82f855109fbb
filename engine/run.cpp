// One transformation run: the exported interface, the main loop with its
// progress step, the finishing steps and the one place where a run that
// fails is cleaned up.
#include "run.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "dispatch.h"
#include "result_texts.h"
#include "zavtrlib.h"

namespace {

constexpr const char *kBanner = "ZAV MapInfo MIF transformation version 1.3";
constexpr const char *kCredit = "Kavro - lavet af Kavro-udviklerne, 2026";

// Cuts a message to the room of the message step and hands it over.
bool SendMessage(StatusCallback callback, std::string_view text) {
    char buffer[kMessageRoom];
    size_t size = text.size() < kMessageRoom - 1 ? text.size() : kMessageRoom - 1;
    std::memcpy(buffer, text.data(), size);
    buffer[size] = '\0';
    return callback(buffer) != 0;
}

// The progress step, run for every line the main loop reads. The length is
// measured anew only when the decile seems to change: the run holds the
// input locked for its whole life, so the length cannot change under it,
// and the messages are those that measuring at every line would give.
bool ReportProgress(TransformRun &run, uint64_t &length) {
    uint64_t position = Position(run.inputFile);
    auto decileOf = [&](uint64_t size) -> int32_t {
        if (size == 0 || position >= size) return 10;
        return static_cast<int32_t>(position * 10 / size);
    };
    int32_t decile = decileOf(length);
    if (decile == run.lastDecile) return true;
    length = Length(run.inputFile);
    decile = decileOf(length);
    if (decile == run.lastDecile) return true;
    run.lastDecile = decile;
    return ReportStatus(run.callback, "%d pct. transformeret", {decile * 10});
}

// A failed read or write of the input or the temporary file is reported
// with the code of the file it happened on, whatever the stage that met it
// returned: a run never ends in success, or in a misleading syntax error,
// after an I/O failure.
int32_t IoFailureCode(const TransformRun &run, int32_t code) {
    if (run.inputFile.failed) return TR_INPUT_OPEN_FAILED;
    if (run.outputFile.failed) return TR_TEMP_OPEN_FAILED;
    return code;
}

// The early end: the one place where a run that stops before its finishing
// steps releases what it holds. The destination is never touched.
int32_t EndEarly(TransformRun &run, int32_t code) {
    code = IoFailureCode(run, code);
    Close(run.outputFile);
    if (!run.tempPath.empty()) unlink(run.tempPath.c_str());
    Close(run.inputFile);
    return code;
}

// Steps 7 to 11: the list, the output projection, and the line loop.
int32_t ConvertLines(TransformRun &run, const char *outLabel, const char *listPath,
                     uint32_t flags) {
    if (listPath == nullptr || !LoadProjectionList(run.list, listPath))
        return TR_LIST_OPEN_FAILED;
    run.flags = flags & (TF_RELAX | TF_VERBOSE);
    int32_t code = FindOutputProjection(run.list, outLabel != nullptr ? outLabel : "",
                                        run.outHandle, run.flags, run.outCoordSys);
    if (code != TR_OK) return code;

    run.lastDecile = -1;
    uint64_t length = Length(run.inputFile);
    while (run.lineHeld || ReadLine(run.inputFile, run.line)) {
        run.lineHeld = false;
        if (!ReportProgress(run, length)) return TR_ABORTED;
        code = DispatchStatement(run);
        if (code != TR_OK) return code;
        if (run.outputFile.failed) return TR_TEMP_OPEN_FAILED;
    }
    return IoFailureCode(run, TR_OK);
}

// The companion stem: the path without its extension. A dot counts only in
// the last path component; both "\" and "/" end a folder name, since "/" is
// this platform's separator and a dot in a folder name must never cut the
// path (the companion would land beside the folder).
std::string StripExtension(std::string_view path) {
    size_t dot = path.rfind('.');
    size_t separator = path.find_last_of("\\/");
    if (dot == std::string_view::npos ||
        (separator != std::string_view::npos && separator > dot))
        return std::string(path);
    return std::string(path.substr(0, dot));
}

std::string FolderOf(const std::string &path) {
    size_t separator = path.rfind('/');
    if (separator == std::string::npos) return ".";
    if (separator == 0) return "/";
    return path.substr(0, separator);
}

bool Exists(const std::string &path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

// The input companion: stem + ".mid" when that file exists; otherwise the
// one file of its folder whose name equals it apart from ASCII case (a
// drawing copied from a case-blind file system often has "x.MID"); of
// several, the one ending in ".MID". Empty when there is none.
std::string FindCompanion(const std::string &wanted) {
    if (Exists(wanted)) return wanted;
    size_t separator = wanted.rfind('/');
    std::string folder = FolderOf(wanted);
    std::string name = separator == std::string::npos ? wanted : wanted.substr(separator + 1);
    std::string prefix = separator == std::string::npos ? "" : wanted.substr(0, separator + 1);
    DIR *dir = opendir(folder.c_str());
    if (dir == nullptr) return {};
    std::string found, exactUpper;
    int matches = 0;
    std::string upperName = name.substr(0, name.size() - 4) + ".MID";
    while (dirent *entry = readdir(dir)) {
        if (!EqualNoCase(entry->d_name, name)) continue;
        ++matches;
        found = entry->d_name;
        if (found == upperName) exactUpper = found;
    }
    closedir(dir);
    if (matches == 1) return prefix + found;
    if (!exactUpper.empty()) return prefix + exactUpper;
    return {};
}

// Copies every byte of in to out: in the kernel where it can, else through
// a buffer (file systems that cannot copy between themselves).
bool CopyBytes(int in, int out) {
    for (;;) {
        ssize_t copied = copy_file_range(in, nullptr, out, nullptr, size_t{1} << 30, 0);
        if (copied > 0) continue;
        if (copied == 0) return true;
        if (errno == EINTR) continue;
        if (errno != EXDEV && errno != ENOSYS && errno != EOPNOTSUPP && errno != EINVAL)
            return false;
        break;
    }
    static thread_local char buffer[1 << 16];
    for (;;) {
        ssize_t got = read(in, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return got == 0;
        for (ssize_t done = 0; done < got;) {
            ssize_t put = write(out, buffer + done, static_cast<size_t>(got - done));
            if (put < 0 && errno == EINTR) continue;
            if (put <= 0) return false;
            done += put;
        }
    }
}

// Copies source over destination so that the destination is either its old
// self or the complete copy, never anything between: the copy goes to a new
// file in the destination's folder, reaches the disk, and is then renamed
// over the destination. A destination held by another run is not replaced.
bool ReplaceWithCopy(const std::string &source, const std::string &destinationPath) {
    std::string destination = destinationPath;
    struct stat info;
    bool exists = lstat(destination.c_str(), &info) == 0;
    if (exists && S_ISLNK(info.st_mode)) {
        // Replace the file the link names, not the link.
        char *target = realpath(destination.c_str(), nullptr);
        if (target == nullptr) return false;
        destination = target;
        std::free(target);
        exists = lstat(destination.c_str(), &info) == 0;
    }
    if (exists && !S_ISREG(info.st_mode)) return false;

    int held = exists ? open(destination.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW) : -1;
    if (held >= 0 && flock(held, LOCK_EX | LOCK_NB) != 0) {
        close(held);
        return false;
    }
    int in = open(source.c_str(), O_RDONLY | O_CLOEXEC);
    std::string partPath = FolderOf(destination) + "/.kavro-XXXXXX";
    int out = in < 0 ? -1 : mkostemp(partPath.data(), O_CLOEXEC);
    bool ok = in >= 0 && out >= 0;
    if (ok) {
        mode_t mode;
        if (exists) {
            mode = info.st_mode & 07777;
        } else {
            mode_t mask = umask(0);
            umask(mask);
            mode = 0666 & ~mask;
        }
        ok = fchmod(out, mode) == 0;
    }
    ok = ok && CopyBytes(in, out);
    ok = ok && fsync(out) == 0;
    if (out >= 0 && close(out) != 0) ok = false;
    if (in >= 0) close(in);
    ok = ok && rename(partPath.c_str(), destination.c_str()) == 0;
    if (!ok && out >= 0) unlink(partPath.c_str());
    if (held >= 0) close(held);
    return ok;
}

// The finishing steps, reached when the input is exhausted.
int32_t Finish(TransformRun &run, const char *inPath, const char *outPath) {
    bool inputOk = Close(run.inputFile);
    bool outputOk = Close(run.outputFile);
    if (!inputOk || !outputOk) {
        unlink(run.tempPath.c_str());
        return inputOk ? TR_TEMP_OPEN_FAILED : TR_INPUT_OPEN_FAILED;
    }
    std::string destination = outPath != nullptr && outPath[0] != '\0' ? outPath : inPath;
    if (!ReplaceWithCopy(run.tempPath, destination)) {
        unlink(run.tempPath.c_str());
        return TR_COPY_FAILED;
    }
    if (unlink(run.tempPath.c_str()) != 0) return TR_TEMP_DELETE_FAILED;

    std::string inCompanion = StripExtension(inPath) + ".mid";
    std::string outCompanion = StripExtension(destination) + ".mid";
    if (!EqualNoCase(inCompanion, outCompanion)) {
        std::string source = FindCompanion(inCompanion);
        if (source.empty() || !ReplaceWithCopy(source, outCompanion)) return TR_MID_COPY_FAILED;
    }
    ZAVTR_TerminateLibrary();
    return TR_OK;
}

}  // namespace

bool ReportStatus(StatusCallback callback, std::string_view format,
                  std::initializer_list<FormatArg> args) {
    if (callback == nullptr) return true;
    static thread_local std::string message;
    FormatText(message, format, args);
    return SendMessage(callback, message);
}

bool ReportText(StatusCallback callback, std::string_view text) {
    if (callback == nullptr) return true;
    return SendMessage(callback, text);
}

bool WriteOutputLine(TransformRun &run, std::string_view text) {
    return WriteLine(run.outputFile, text);
}

extern "C" {

KAVRO_API int32_t KavroformEx(const char *inPath, const char *outPath, const char *outLabel,
                              const char *listPath, uint32_t flags, StatusCallback callback) {
    TransformRun run;
    run.callback = callback;
    ReportText(callback, kBanner);
    ReportText(callback, kCredit);
    ReportStatus(callback, "Transformerer %s", {inPath != nullptr ? inPath : ""});

    if (ZAVTR_InitLibrary2() != 0) return TR_LIBRARY_LOAD_FAILED;
    if (inPath == nullptr || !OpenRead(run.inputFile, inPath)) return TR_INPUT_OPEN_FAILED;
    if (!OpenTemporary(run.outputFile, run.tempPath)) return EndEarly(run, TR_TEMP_OPEN_FAILED);
    int32_t code = ConvertLines(run, outLabel, listPath, flags);
    if (code != TR_OK) return EndEarly(run, code);
    return Finish(run, inPath, outPath);
}

KAVRO_API int32_t Kavroform(const char *inPath, const char *outPath, const char *outLabel,
                            const char *listPath, uint32_t flags) {
    // A callback that ignores every text and answers true is the same as no
    // callback, which also spares formatting messages nobody reads.
    return KavroformEx(inPath, outPath, outLabel, listPath, flags, nullptr);
}

KAVRO_API const char *GetErrorMessage(int32_t code) { return ResultText(code); }

KAVRO_API const char *GetVersionId(void) { return kBanner; }

}  // extern "C"
