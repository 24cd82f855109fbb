// The fixed texts of KavroC: the usage text, and the result-code texts
// behind its exported GetErrorMessage (declared in kavro.h).
#pragma once

// Printed as it stands after any fault in the command line. It begins with
// an empty line; its lines end with "\n", the Linux console's line end.
extern const char *const kUsageText;
