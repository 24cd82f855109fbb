// KavroC: runs one transformation from the command line, prints every
// status message of the run and the text of its result, and exits with the
// result code (1 after the usage text).
//
// Everything goes to standard output as the Windows-1252 bytes the library
// sends, unconverted. Each message is followed by "\n", the Linux console's
// line end.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>

#include "command_line.h"
#include "console_texts.h"
#include "kavro.h"

namespace {

// Writes text unchanged (never as a format: a "%" in a path stays as it
// is). Once standard output has failed (full, or its reader gone) nothing
// more is tried: what is printed never changes the outcome of a run.
void Print(const char *text) {
    if (std::ferror(stdout) == 0) std::fputs(text, stdout);
}

void PrintLine(const char *text) {
    Print(text);
    Print("\n");
}

// The status callback: every message on a line of its own. It always
// answers go on, so a run from the console is never stopped.
int PrintStatus(const char *message) {
    PrintLine(message);
    return 1;
}

// A process started with standard input, output or error closed would give
// those numbers to the first files the run opens, and messages meant for
// the console could reach a user's file. Each closed one is pointed at
// /dev/null first.
void FillClosedStandardStreams() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        int opened = open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != fd) {
            dup2(opened, fd);
            close(opened);
        }
    }
}

}  // namespace

int main(int argc, char **argv) {
    FillClosedStandardStreams();
    // A reader that goes away must not kill the program: the run goes on and
    // its exit code stays the result code.
    std::signal(SIGPIPE, SIG_IGN);

    ConsoleOptions options;
    if (!ParseCommandLine(argc - 1, argv + 1, options)) {
        Print(kUsageText);
        return 1;
    }
    int32_t code = KavroformEx(options.inPath.c_str(), options.outPath.c_str(),
                               options.outLabel.c_str(), options.listPath.c_str(),
                               BuildFlagWord(options), PrintStatus);
    PrintLine(GetErrorMessage(code));
    return code;
}
