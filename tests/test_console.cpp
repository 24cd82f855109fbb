// KavroC: the reading of its command line, its exported texts, and the
// built program run end to end. Each program row gives the arguments, the
// exact bytes expected on standard output and the exit code; the program
// runs with the projection library's test double under the engine (every
// label a handle, identity conversion).
#include <dlfcn.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "command_line.h"
#include "kavro.h"
#include "test_support.h"

extern char **environ;

namespace {

using namespace testing_support;

const std::string kProgram = KAVRO_BINARY_DIR "/bin/KavroC";

// ---------------------------------------------------------------------------
// Reading the command line

bool Parse(const std::vector<std::string> &args, ConsoleOptions &options) {
    std::vector<const char *> pointers;
    for (const std::string &arg : args) pointers.push_back(arg.c_str());
    return ParseCommandLine(static_cast<int>(pointers.size()), pointers.data(), options);
}

struct TextRow {
    std::vector<std::string> args;
    bool accepted;
    std::string inPath, outPath, outLabel, listPath;
};

TEST(ConsoleCommandLine, TextOptions) {
    const std::string path259(259, 'p'), path260(260, 'p');
    const std::string label127(127, 'l'), label128(128, 'l');
    const std::vector<TextRow> rows = {
        // The value is the exact rest of the argument, blanks, case and "="
        // included.
        {{"if=a b", "op= Geo", "pl=x=y"}, true, "a b", "", " Geo", "x=y"},
        // Names in any case; the later argument wins.
        {{"IF=a", "If=b", "oP=g", "Pl=l", "OF=o"}, true, "b", "o", "g", "l"},
        {{"if=a", "op=g", "pl=l", "of=o", "of="}, true, "a", "", "g", "l"},
        // The room of each value, and one character more.
        {{"if=" + path259, "of=" + path259, "op=" + label127, "pl=" + path259}, true,
         path259, path259, label127, path259},
        {{"if=" + path260, "op=g", "pl=l"}, false, "", "", "", ""},
        {{"if=a", "of=" + path260, "op=g", "pl=l"}, false, "", "", "", ""},
        {{"if=a", "op=" + label128, "pl=l"}, false, "", "", "", ""},
        {{"if=a", "op=g", "pl=" + path260}, false, "", "", "", ""},
        // A missing or emptied if, op or pl.
        {{}, false, "", "", "", ""},
        {{"op=g", "pl=l"}, false, "", "", "", ""},
        {{"if=a", "pl=l"}, false, "", "", "", ""},
        {{"if=a", "op=g"}, false, "", "", "", ""},
        {{"if=", "op=g", "pl=l"}, false, "", "", "", ""},
        {{"if=a", "op=g", "pl=l", "if="}, false, "", "", "", ""},
        // An argument no option takes stops the reading, wherever it stands.
        {{"if=a", "op=g", "pl=l", "colour=red"}, false, "", "", "", ""},
        {{"bogus", "if=a", "op=g", "pl=l"}, false, "", "", "", ""},
        {{" if=a", "op=g", "pl=l"}, false, "", "", "", ""},
        {{"ifa", "op=g", "pl=l"}, false, "", "", "", ""},
        {{"i", "op=g", "pl=l"}, false, "", "", "", ""},
    };
    for (const TextRow &row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.args));
        ConsoleOptions options;
        ASSERT_EQ(Parse(row.args, options), row.accepted);
        if (!row.accepted) continue;
        EXPECT_EQ(options.inPath, row.inPath);
        EXPECT_EQ(options.outPath, row.outPath);
        EXPECT_EQ(options.outLabel, row.outLabel);
        EXPECT_EQ(options.listPath, row.listPath);
    }
}

struct IntegerRow {
    std::vector<std::string> args;  // after if, op and pl
    bool accepted;
    uint32_t flags;
};

TEST(ConsoleCommandLine, IntegerOptionsAndFlagWord) {
    const std::vector<IntegerRow> rows = {
        {{}, true, 0},
        {{"rlx=0"}, true, 0},
        {{"rlx=2"}, true, TF_RELAX},
        {{"rlx=-1"}, true, TF_RELAX},
        {{"rlx=1x"}, true, TF_RELAX},
        {{"rlx= \t+7"}, true, TF_RELAX},
        {{"rlx=-0"}, true, 0},
        {{"rlx=0x1"}, true, 0},
        // Beyond 32 bits the value saturates: a wrap would read these as 0.
        {{"rlx=4294967296"}, true, TF_RELAX},
        {{"rlx=-4294967296"}, true, TF_RELAX},
        {{"rlx=99999999999999999999999999"}, true, TF_RELAX},
        {{"vb=1"}, true, TF_VERBOSE},
        {{"RLX=3", "Vb=1"}, true, TF_RELAX | TF_VERBOSE},
        {{"vb=1", "vb=0"}, true, 0},
        {{"rlx=0", "rlx=5"}, true, TF_RELAX},
        // No digit: no option takes the argument.
        {{"rlx="}, false, 0},
        {{"rlx=yes"}, false, 0},
        {{"rlx=+"}, false, 0},
        {{"rlx=- 1"}, false, 0},
        {{"rlx=\xA0" "1"}, false, 0},  // 0xA0 is no white space
        {{"vb"}, false, 0},
        {{"vb1"}, false, 0},
        {{"vbx=1"}, false, 0},
    };
    for (const IntegerRow &row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.args));
        std::vector<std::string> args = {"if=a", "op=g", "pl=l"};
        args.insert(args.end(), row.args.begin(), row.args.end());
        ConsoleOptions options;
        ASSERT_EQ(Parse(args, options), row.accepted);
        if (row.accepted) {
            EXPECT_EQ(BuildFlagWord(options), row.flags);
        }
    }
}

TEST(ConsoleCommandLine, IntegerValues) {
    const struct {
        const char *text;
        int32_t value;
    } rows[] = {
        {"0", 0}, {"42abc", 42}, {"\v\f\r\n 12", 12}, {"+2147483647", INT32_MAX},
        {"2147483648", INT32_MAX}, {"-2147483648", INT32_MIN}, {"-2147483649", INT32_MIN},
        {"00000000000000000000001", 1},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.text);
        int32_t value = -99;
        ASSERT_TRUE(ReadOptionInteger(row.text, value));
        EXPECT_EQ(value, row.value);
    }
    int32_t untouched = 5;
    EXPECT_FALSE(ReadOptionInteger("", untouched));
    EXPECT_EQ(untouched, 5);
}

// ---------------------------------------------------------------------------
// Running programs

// Closed: standard output closed; ClosedInputToo: standard input as well, so
// that the first two files a careless program opens get their numbers.
enum class Sink { Capture, DevFull, Closed, ClosedInputToo, BrokenPipe };

struct ProgramResult {
    std::string out;
    int status = -1;
    bool Exited() const { return WIFEXITED(status); }
    int ExitCode() const { return WEXITSTATUS(status); }
};

// Runs a program with LD_LIBRARY_PATH pointing at the test double, standard
// output going to sink; the captured bytes are exactly what it wrote.
ProgramResult RunProgram(const std::string &program, const std::vector<std::string> &args,
                         Sink sink = Sink::Capture) {
    std::vector<std::string> env = {"LD_LIBRARY_PATH=" KAVRO_DOUBLE_DIR};
    for (char **e = environ; *e != nullptr; ++e)
        if (std::strncmp(*e, "LD_LIBRARY_PATH=", 16) != 0) env.emplace_back(*e);
    std::vector<char *> envp, argv = {const_cast<char *>(program.c_str())};
    for (std::string &e : env) envp.push_back(e.data());
    for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
    envp.push_back(nullptr);
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    int pipeEnds[2] = {-1, -1};
    if (sink == Sink::Capture || sink == Sink::BrokenPipe) {
        EXPECT_EQ(pipe2(pipeEnds, O_CLOEXEC), 0);
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
        if (sink == Sink::BrokenPipe) {
            close(pipeEnds[0]);  // no reader from the start
            pipeEnds[0] = -1;
        }
    } else if (sink == Sink::DevFull) {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/full", O_WRONLY, 0);
    } else {
        if (sink == Sink::ClosedInputToo) posix_spawn_file_actions_addclose(&actions, STDIN_FILENO);
        posix_spawn_file_actions_addclose(&actions, STDOUT_FILENO);
    }
    ProgramResult result;
    pid_t pid = -1;
    int spawned = posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (pipeEnds[1] >= 0) close(pipeEnds[1]);
    EXPECT_EQ(spawned, 0) << program;
    if (pipeEnds[0] >= 0) {
        char buffer[4096];
        ssize_t got;
        while ((got = read(pipeEnds[0], buffer, sizeof buffer)) > 0) result.out.append(buffer, got);
        close(pipeEnds[0]);
    }
    if (spawned == 0) waitpid(pid, &result.status, 0);
    return result;
}

void ReplaceAll(std::string &text, const std::string &from, const std::string &to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

// A one-point drawing of 128 bytes. Its main loop reads lines ending at
// bytes 12, 36, 50, 83, 93, 106, 111 and 128: progress 0, 20, 30, 60, 70,
// 80, (80,) 100.
const std::string kDrawing =
    "Version 300\n"
    "Charset \"WindowsLatin1\"\n"
    "Delimiter \",\"\n"
    "CoordSys Earth Projection 1, 104\n"
    "Columns 1\n"
    "  Id Integer\n"
    "Data\n"
    "Point 12.5 55.75\n";

const std::string kList =
    "Lat/long WGS84\ngeo_wgs84\n0 1\nCoordSys Earth Projection 1, 104\n"
    "Lat/long ETRS89\ngeo_etrs89\n0 1\nCoordSys Earth Projection 1, 115\n";

// The same drawing with a thousand points: its traces are far more than
// one buffer of standard output.
std::string ManyPoints() {
    std::string drawing = kDrawing;
    for (int i = 0; i < 1000; ++i) drawing += "Point " + std::to_string(i % 360 - 180) + " 55.5\n";
    return drawing;
}

// The drawings the rows use, with their companions, and the list.
void WriteFixture(const ScratchDir &dir) {
    for (const char *stem : {"point", "p%s%n%d", "many"}) {
        WriteFile(dir.Path(std::string(stem) + ".mif"), *stem == 'm' ? ManyPoints() : kDrawing);
        WriteFile(dir.Path(std::string(stem) + ".mid"), "1\n");
    }
    WriteFile(dir.Path("list.txt"), kList);
}

// The credit line is the library's choice: take it from the library itself.
std::string CreditLine() {
    void *library = dlopen(KAVRO_BINARY_DIR "/lib/libKavro.so", RTLD_NOW | RTLD_LOCAL);
    EXPECT_NE(library, nullptr) << dlerror();
    if (library == nullptr) return "";
    auto run = reinterpret_cast<decltype(&KavroformEx)>(dlsym(library, "KavroformEx"));
    ResetMessages();
    run("", "", "", "", 0, RecordMessage);
    std::vector<std::string> messages = Messages().messages;
    dlclose(library);
    return messages.size() > 1 ? messages[1] : "";
}

// The usage text, byte for byte.
const std::string kUsage = ReadFile(KAVRO_SOURCE_DIR "/tests/fixtures/console/usage.txt");

std::string Head(const std::string &input) {
    return "ZAV MapInfo MIF transformation version 1.3\n@CREDIT@\nTransformerer @DIR@/" + input + "\n";
}

const std::string kProgress =
    "0 pct. transformeret\n20 pct. transformeret\n30 pct. transformeret\n"
    "60 pct. transformeret\nInput projektion er Lat/long WGS84\n"
    "70 pct. transformeret\n80 pct. transformeret\n100 pct. transformeret\n";

const std::string kTrace =
    "Xin = 12.500000 Yin = 55.750000  Zin=0.000000 \n"
    "XOut = 12.500000 YOut = 55.750000 ZOut=0.000000 RetVal = 0\n";

const std::string kOk = "Alt er OK\n";

const std::vector<std::string> kRunArgs = {
    "if=@DIR@/point.mif", "of=@DIR@/out.mif", "op=geo_etrs89", "pl=@DIR@/list.txt"};

std::vector<std::string> RunArgs(std::vector<std::string> extra) {
    std::vector<std::string> args = kRunArgs;
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
}

// The arguments with "@DIR@" standing for the folder.
std::vector<std::string> InDir(std::vector<std::string> args, const ScratchDir &dir) {
    for (std::string &arg : args) ReplaceAll(arg, "@DIR@", dir.Root().string());
    return args;
}

// What a run of the program makes of a drawing, with an explicit output.
std::string ConvertedDrawing(const std::string &stem) {
    ScratchDir dir;
    WriteFixture(dir);
    std::vector<std::string> args = {"if=@DIR@/" + stem + ".mif", "of=@DIR@/out.mif", "op=geo_etrs89",
                                     "pl=@DIR@/list.txt"};
    EXPECT_EQ(RunProgram(kProgram, InDir(args, dir)).ExitCode(), 0);
    return ReadFile(dir.Path("out.mif"));
}

struct ProgramRow {
    const char *name;
    std::vector<std::string> args;  // "@DIR@" is the row's folder
    std::string expected;           // also "@CREDIT@", the library's credit line
    int exitCode;
};

TEST(ConsoleProgram, Rows) {
    const std::string credit = CreditLine();
    ASSERT_FALSE(credit.empty());
    ASSERT_TRUE(kUsage.starts_with("\nSyntax-fejl"));
    const std::vector<ProgramRow> rows = {
        {"no argument", {}, kUsage, 1},
        {"unknown name after the required ones", RunArgs({"colour=red"}), kUsage, 1},
        {"vb without =", RunArgs({"vb"}), kUsage, 1},
        {"rlx= without digits", RunArgs({"rlx="}), kUsage, 1},
        {"rlx=yes", RunArgs({"rlx=yes"}), kUsage, 1},
        {"missing if", {"op=geo_etrs89", "pl=@DIR@/list.txt"}, kUsage, 1},
        {"missing op", {"if=@DIR@/point.mif", "pl=@DIR@/list.txt"}, kUsage, 1},
        {"missing pl", {"if=@DIR@/point.mif", "op=geo_etrs89"}, kUsage, 1},
        {"if= with nothing after it", {"if=", "op=geo_etrs89", "pl=@DIR@/list.txt"}, kUsage, 1},
        {"over-long op", RunArgs({"op=" + std::string(128, 'g')}), kUsage, 1},
        {"over-long if", RunArgs({"if=@DIR@/" + std::string(260, 'a')}), kUsage, 1},
        {"a run with traces", RunArgs({"vb=1"}), Head("point.mif") + kProgress + kTrace + kOk, 0},
        {"names in any case",
         {"IF=@DIR@/point.mif", "Of=@DIR@/out.mif", "oP=geo_etrs89", "PL=@DIR@/list.txt", "RLX=1", "Vb=0"},
         Head("point.mif") + kProgress + kOk, 0},
        {"integer values read up to their digits", RunArgs({"rlx=1x", "vb=1x"}),
         Head("point.mif") + kProgress + kTrace + kOk, 0},
        {"the later argument wins", {"vb=1", "op=elsewhere", "if=@DIR@/none.mif", "if=@DIR@/point.mif",
          "of=@DIR@/out.mif", "op=geo_etrs89", "pl=@DIR@/list.txt", "vb=0"},
         Head("point.mif") + kProgress + kOk, 0},
        {"a label not in the list", RunArgs({"op=utm99"}),
         Head("point.mif") + "Den aktuelle projektion er ikke-underst\xF8ttet (eller ikke-eksisterende)\n", 9},
        {"a missing input", RunArgs({"if=@DIR@/none.mif"}),
         Head("none.mif") + "Kunne ikke \xE5" "bne input-fil\n", 3},
        {"a % in the input path", RunArgs({"if=@DIR@/p%s%n%d.mif"}), Head("p%s%n%d.mif") + kProgress + kOk, 0},
    };
    for (const ProgramRow &row : rows) {
        SCOPED_TRACE(row.name);
        ScratchDir dir;
        WriteFixture(dir);
        std::vector<std::string> args = InDir(row.args, dir);
        std::string expected = row.expected;
        ReplaceAll(expected, "@DIR@", dir.Root().string());
        ReplaceAll(expected, "@CREDIT@", credit);

        ProgramResult result = RunProgram(kProgram, args);
        ASSERT_TRUE(result.Exited());
        EXPECT_EQ(result.out, expected);
        EXPECT_EQ(result.ExitCode(), row.exitCode);
        EXPECT_TRUE(dir.TmpIsEmpty());
    }
}

// With of= left out or empty, the engine gets an empty output path and the
// input .mif is replaced by the result: the same bytes an explicit output
// gets.
TEST(ConsoleProgram, OmittedOutputReplacesInput) {
    const std::string converted = ConvertedDrawing("point");
    ASSERT_NE(converted, kDrawing);

    for (const char *outArgument : {"", "of="}) {
        SCOPED_TRACE(outArgument);
        ScratchDir dir;
        WriteFixture(dir);
        std::vector<std::string> runArgs = {"if=" + dir.Str("point.mif"), "op=geo_etrs89",
                                            "pl=" + dir.Str("list.txt")};
        if (*outArgument != '\0') runArgs.emplace_back(outArgument);
        ProgramResult result = RunProgram(kProgram, runArgs);
        EXPECT_EQ(result.ExitCode(), 0);
        EXPECT_TRUE(result.out.ends_with("\n100 pct. transformeret\n" + kOk)) << result.out;
        EXPECT_EQ(ReadFile(dir.Path("point.mif")), converted);
        EXPECT_FALSE(fs::exists(dir.Path("out.mif")));
    }
}

// Standard output that is full, closed or has lost its reader changes
// neither the exit code nor what the run writes.
TEST(ConsoleProgram, StandardOutputThatFails) {
    const std::string converted = ConvertedDrawing("many");
    ASSERT_NE(converted, "");
    const std::vector<std::string> manyArgs = {"if=@DIR@/many.mif", "of=@DIR@/out.mif", "op=geo_etrs89",
                                               "pl=@DIR@/list.txt", "vb=1"};

    const struct {
        const char *name;
        Sink sink;
        std::vector<std::string> args;
        int exitCode;
    } rows[] = {
        {"full, run", Sink::DevFull, manyArgs, 0},
        {"closed, run", Sink::Closed, manyArgs, 0},
        {"closed with input, run", Sink::ClosedInputToo, manyArgs, 0},
        {"no reader, run", Sink::BrokenPipe, manyArgs, 0},
        {"full, failed run", Sink::DevFull, RunArgs({"op=utm99"}), 9},
        {"full, usage", Sink::DevFull, {}, 1},
        {"closed, usage", Sink::Closed, {}, 1},
        {"no reader, usage", Sink::BrokenPipe, {}, 1},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        ScratchDir dir;
        WriteFixture(dir);
        ProgramResult result = RunProgram(kProgram, InDir(row.args, dir), row.sink);
        ASSERT_TRUE(result.Exited()) << "signal " << WTERMSIG(result.status);
        EXPECT_EQ(result.ExitCode(), row.exitCode);
        if (row.exitCode == 0) {
            // Compared whole, reported short: the drawing is large.
            EXPECT_TRUE(ReadFile(dir.Path("out.mif")) == converted) << "out.mif differs";
        }
        EXPECT_TRUE(ReadFile(dir.Path("many.mif")) == ManyPoints()) << "many.mif changed";
    }
}

// ---------------------------------------------------------------------------
// The exported GetErrorMessage

TEST(ConsoleTexts, GetErrorMessageMatchesTheLibrary) {
    void *library = dlopen(KAVRO_BINARY_DIR "/lib/libKavro.so", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto libraryText = reinterpret_cast<decltype(&GetErrorMessage)>(dlsym(library, "GetErrorMessage"));
    ASSERT_NE(libraryText, nullptr);
    ASSERT_NE(libraryText, &GetErrorMessage);
    for (int32_t code : {INT32_MIN, -1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, INT32_MAX}) {
        SCOPED_TRACE(code);
        EXPECT_STREQ(GetErrorMessage(code), libraryText(code));
    }
    dlclose(library);
    EXPECT_STREQ(GetErrorMessage(0), "Alt er OK");
    EXPECT_STREQ(GetErrorMessage(4), "Kunne ikke \xE5" "bne tempor\xE6r fil");
    EXPECT_STREQ(GetErrorMessage(14), "");
    EXPECT_STREQ(GetErrorMessage(-1), "");
}

// KavroC's dynamic symbol table offers GetErrorMessage and none of the
// program's other functions.
TEST(ConsoleTexts, ProgramExportsGetErrorMessageOnly) {
    ProgramResult result = RunProgram("nm", {"-D", "--defined-only", kProgram});
    ASSERT_EQ(result.ExitCode(), 0);
    EXPECT_NE(result.out.find(" T GetErrorMessage\n"), std::string::npos) << result.out;
    EXPECT_EQ(result.out.find("ParseCommandLine"), std::string::npos) << result.out;
    EXPECT_EQ(result.out.find(" T main\n"), std::string::npos) << result.out;
}

}  // namespace
