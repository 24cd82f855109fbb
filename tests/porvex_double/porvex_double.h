// A test double of the projection library, built as libporvex.so in its own
// folder so that it takes the real library's place. Each test sets how it
// behaves and reads back the calls the engine made.
#pragma once

#include <cstdint>
#include <string>

using DoubleTransform = void (*)(uint32_t inHandle, uint32_t outHandle,
                                 double x, double y, double *xOut,
                                 double *yOut, int32_t *code);

extern "C" {
// Back to the defaults: init gives 0, every label gets a handle (1, 2, ...
// in order of first use, the same label the same handle), conversion is the
// identity with code 0, transforms are logged, the log is empty.
void PorvexDouble_Reset(void);
void PorvexDouble_SetInitResult(int32_t result);
// This label gets handle 0 from now on.
void PorvexDouble_RefuseLabel(const char *label);
// Every conversion reports this code.
void PorvexDouble_SetCode(int32_t code);
// Every conversion goes through this function (nullptr: identity).
void PorvexDouble_SetTransform(DoubleTransform transform);
// Whether conversions are written to the log (they are by default).
void PorvexDouble_LogTransforms(int enabled);
// Each call on its own line: "init", "create <label> = <handle>",
// "transform <in> <out> <x> <y> <z>" (with %.17g), "terminate".
const char *PorvexDouble_Log(void);
// The number of conversions since the last reset.
uint64_t PorvexDouble_TransformCount(void);
}

inline std::string DoubleLog() { return PorvexDouble_Log(); }
