// The command line of KavroC: options written as name=value, one argument
// each, and the flag word built from them.
#pragma once

#include <cstdint>
#include <string>

// The options of one run as the command line gives them. Text options are
// empty and integer options 0 until an argument sets them.
struct ConsoleOptions {
    std::string inPath;    // if: the input .mif file
    std::string outPath;   // of: the output .mif file; empty replaces the input
    std::string outLabel;  // op: the output projection's label
    std::string listPath;  // pl: the projection list file
    int32_t relax = 0;     // rlx: non-zero accepts tolerance warnings
    int32_t verbose = 0;   // vb: non-zero traces every conversion
};

// Reads a decimal integer as the integer options are read: white space at
// the start is skipped, then an optional sign and at least one digit are
// taken, and whatever follows the digits is ignored. False when no digit
// can be read; value is then left alone.
bool ReadOptionInteger(const char *text, int32_t &value);

// Reads the arguments (the program name not among them) into options, which
// should hold their defaults. False when the usage text is due: no argument
// at all, an argument that no option accepts, or a missing if, op or pl.
bool ParseCommandLine(int count, const char *const *arguments, ConsoleOptions &options);

// TF_RELAX when rlx is not 0, plus TF_VERBOSE when vb is not 0.
uint32_t BuildFlagWord(const ConsoleOptions &options);
