// The run context: everything that belongs to one call of KavroformEx.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "kavro.h"
#include "projection_list.h"
#include "text.h"

// Room of the message step: a message holds at most 127 bytes.
constexpr size_t kMessageRoom = 128;

struct TransformRun {
    uint32_t flags = 0;           // caller's word AND 0x0C, then bits added
    uint32_t inHandle = 0;        // latest input projection, 0 = none
    uint32_t outHandle = 0;       // output projection
    std::string outCoordSys;      // written in place of the input's CoordSys
    std::string inName;           // description of the input projection
    double scaleX = 1.0;          // Transform coefficients
    double scaleY = 1.0;
    double offsetX = 0.0;
    double offsetY = 0.0;
    bool coordSysSeen = false;
    int32_t lastDecile = -1;      // progress step
    StatusCallback callback = nullptr;
    ProjectionList list;
    TextFile inputFile;
    TextFile outputFile;          // the temporary file
    std::string tempPath;
    std::string line;             // the current line, without its line end
    bool lineHeld = false;        // a handler read `line` ahead: the main loop
                                  // takes it as its next line instead of reading
    std::string scratch;          // room to build an output line or message
};

// Formats a message printf-style into 128 bytes (cut at 127) and hands it to
// the callback; true without a callback, else the callback's answer.
bool ReportStatus(StatusCallback callback, std::string_view format,
                  std::initializer_list<FormatArg> args);
// Hands text to the callback unformatted (cut at 127 bytes); true without a
// callback.
bool ReportText(StatusCallback callback, std::string_view text);
// Writes text and a line end to the temporary output file.
bool WriteOutputLine(TransformRun &run, std::string_view text);
