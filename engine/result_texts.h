// The texts of the result codes, as Windows-1252 bytes. The library's
// GetErrorMessage and the console's own copy of the table are both built
// from this one list.
#pragma once

#include <cstdint>

inline constexpr const char *kResultTexts[] = {
    "Alt er OK",                                                            // 0
    "Transformation kunne ikke foretages",                                  // 1
    "Kunne ikke loade ZAV transformationsbibliotek (PORVEX.DLL)",           // 2
    "Kunne ikke \xE5" "bne input-fil",                                      // 3
    "Kunne ikke \xE5" "bne tempor\xE6r fil",                                // 4
    "Kunne ikke \xE5" "bne liste af projektioner",                          // 5
    "Intern fejl",                                                          // 6
    "Syntax-fejl i input",                                                  // 7
    "Uforventet stop p\xE5 input (for f\xE5 data i fil)",                   // 8
    "Den aktuelle projektion er ikke-underst\xF8ttet (eller ikke-eksisterende)",  // 9
    "Processen blev afbrudt af brugeren",                                   // 10
    "Kunne ikke kopiere fil til endelig destination",                       // 11
    "Kunne ikke slette tempor\xE6r fil",                                    // 12
    "Kunne ikke kopiere MID-fil",                                           // 13
};

inline constexpr int32_t kResultCount = 14;

// The text of a code; an empty text for a code outside 0-13.
inline const char *ResultText(int32_t code) {
    return code >= 0 && code < kResultCount ? kResultTexts[code] : "";
}
