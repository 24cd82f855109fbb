// Statement dispatch and the header statements (CoordSys, Transform, Data).
#pragma once

#include <cstdint>
#include <string_view>

#include "run.h"

// Trims `line` on the left and runs the handler of the first keyword row its
// first characters match; a line that matches none is written as it stands.
int32_t DispatchStatement(TransformRun &run);
int32_t HandleCoordSys(TransformRun &run);
int32_t HandleTransform(TransformRun &run);
int32_t HandleData(TransformRun &run);
// True when the first characters of text equal keyword, case aside; a text
// shorter than the keyword never matches.
bool BeginsWithKeyword(std::string_view text, std::string_view keyword);
// Sends "Syntax-fejl i linie:" and then `line` itself; returns TR_SYNTAX_ERROR.
int32_t ReportSyntaxError(TransformRun &run);
