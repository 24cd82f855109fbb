// Helpers shared by the tests: a private scratch folder with its own TMPDIR,
// whole-file reading and writing, and a callback that records messages.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
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

}  // namespace testing_support
