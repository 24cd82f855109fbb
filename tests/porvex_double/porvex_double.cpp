#include "porvex_double.h"

#include <cstdio>
#include <map>
#include <set>
#include <string>

#include "zavtrlib.h"

namespace {

struct DoubleState {
    int32_t initResult = 0;
    int32_t code = 0;
    DoubleTransform transform = nullptr;
    bool logTransforms = true;
    uint64_t transformCount = 0;
    std::set<std::string> refused;
    std::map<std::string, uint32_t> handles;
    std::string log;
};

DoubleState &State() {
    static DoubleState state;
    return state;
}

}  // namespace

extern "C" {

void PorvexDouble_Reset(void) { State() = DoubleState{}; }
void PorvexDouble_SetInitResult(int32_t result) { State().initResult = result; }
void PorvexDouble_RefuseLabel(const char *label) { State().refused.insert(label); }
void PorvexDouble_SetCode(int32_t code) { State().code = code; }
void PorvexDouble_SetTransform(DoubleTransform transform) { State().transform = transform; }
void PorvexDouble_LogTransforms(int enabled) { State().logTransforms = enabled != 0; }
const char *PorvexDouble_Log(void) { return State().log.c_str(); }
uint64_t PorvexDouble_TransformCount(void) { return State().transformCount; }

int32_t ZAVTR_InitLibrary2(void) {
    State().log += "init\n";
    return State().initResult;
}

uint32_t ZAVTR_CreateProjectionHandle(const char *label) {
    DoubleState &s = State();
    uint32_t handle = 0;
    if (s.refused.count(label) == 0) {
        auto [it, added] = s.handles.emplace(label, static_cast<uint32_t>(s.handles.size() + 1));
        handle = it->second;
    }
    s.log += "create " + std::string(label) + " = " + std::to_string(handle) + "\n";
    return handle;
}

int32_t ZAVTR_TransformViaHandle(uint32_t inHandle, uint32_t outHandle, double x,
                                 double y, double z, double *xOut, double *yOut,
                                 double *zOut, int32_t *code) {
    DoubleState &s = State();
    ++s.transformCount;
    if (s.logTransforms) {
        char text[160];
        std::snprintf(text, sizeof text, "transform %u %u %.17g %.17g %.17g\n",
                      inHandle, outHandle, x, y, z);
        s.log += text;
    }
    *xOut = x;
    *yOut = y;
    *zOut = z;
    *code = s.code;
    if (s.transform != nullptr) s.transform(inHandle, outHandle, x, y, xOut, yOut, code);
    return *code;
}

int32_t ZAVTR_TerminateLibrary(void) {
    State().log += "terminate\n";
    return 0;
}

}  // extern "C"
