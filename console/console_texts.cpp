#include "console_texts.h"

#include "kavro.h"
#include "result_texts.h"

const char *const kUsageText =
    "\nSyntax-fejl - mulige kommandoer er:\n"
    "if=<Input MIF>\n"
    "pl=<Fuldt stinavn til liste af projektioner>\n"
    "of=<Output filnavn> (Angives dette ikke, overskrives input)\n"
    "op=<Output projektion> (I form af en ZAV Minilabel)\n"
    "rlx=1 (Accepter tolerancefejl)\n"
    "vb=1 (Udskriv transformationsresultater)\n";

// The console's own copy of the table, built from the same list as the
// library's: the result line does not depend on the library's texts, and a
// caller that loads KavroC finds the same contract here. Codes outside 0-13
// give an empty text.
extern "C" const char *GetErrorMessage(int32_t code) { return ResultText(code); }
