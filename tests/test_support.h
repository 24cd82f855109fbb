// Helpers shared by the tests: a private scratch folder with its own TMPDIR,
// whole-file reading and writing, and a callback that records messages.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace testing_support {

namespace fs = std::filesystem;

// Reads a whole file as bytes; empty when it cannot be read.
inline std::string ReadFile(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

inline void WriteFile(const fs::path &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// A fresh folder for one test, with "tmp" inside it as TMPDIR. The folder
// is removed afterwards; TmpIsEmpty tells whether a run left anything there.
class ScratchDir {
public:
    ScratchDir() {
        std::string pattern = (fs::temp_directory_path() / "kavro-test-XXXXXX").string();
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        root_ = ::mkdtemp(name.data());
        fs::create_directory(root_ / "tmp");
        const char *old = std::getenv("TMPDIR");
        hadTmp_ = old != nullptr;
        if (hadTmp_) oldTmp_ = old;
        ::setenv("TMPDIR", (root_ / "tmp").c_str(), 1);
    }
    ~ScratchDir() {
        if (hadTmp_) ::setenv("TMPDIR", oldTmp_.c_str(), 1);
        else ::unsetenv("TMPDIR");
        std::error_code ignored;
        // A test may have taken rights away; give them back before removing.
        for (auto &entry : fs::recursive_directory_iterator(root_, ignored))
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(root_, ignored);
    }
    ScratchDir(const ScratchDir &) = delete;
    ScratchDir &operator=(const ScratchDir &) = delete;

    const fs::path &Root() const { return root_; }
    fs::path Tmp() const { return root_ / "tmp"; }
    fs::path Path(const std::string &name) const { return root_ / name; }
    std::string Str(const std::string &name) const { return (root_ / name).string(); }
    bool TmpIsEmpty() const { return fs::is_empty(root_ / "tmp"); }

private:
    fs::path root_;
    bool hadTmp_ = false;
    std::string oldTmp_;
};

// Records every message a run sends; answers true unless told otherwise.
struct MessageLog {
    std::vector<std::string> messages;
    int answer = 1;
    int progressAnswer = 1;  // the answer to "... pct. transformeret"
};

inline MessageLog &Messages() {
    static MessageLog log;
    return log;
}

inline int RecordMessage(const char *message) {
    MessageLog &log = Messages();
    log.messages.emplace_back(message);
    std::string text(message);
    const std::string suffix = " pct. transformeret";
    if (text.size() >= suffix.size() &&
        text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0)
        return log.progressAnswer;
    return log.answer;
}

inline void ResetMessages() { Messages() = MessageLog{}; }

// Runs a shell command; its standard output, and whether it ended with
// status 0.
inline bool RunCommand(const std::string &command, std::string &output) {
    output.clear();
    FILE *pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return false;
    char buffer[4096];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, got);
    return ::pclose(pipe) == 0;
}

// Runs body in a child process and gives its exit code; -1 when the child
// did not exit normally. Unprivileged children drop root's rights first, so
// that folder and file rights bite also when the tests run as root.
inline int InChild(const std::function<int()> &body, bool unprivileged) {
    pid_t child = ::fork();
    if (child == 0) {
        if (unprivileged && ::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(100);
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace testing_support
