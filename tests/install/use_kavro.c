/*
 * use_kavro.c - a program built against an installed Kavro: converts one
 * drawing to longitude / latitude on WGS 84 through Kavroform.
 *
 *   use_kavro <input.mif> <output.mif> [<projection list>]
 *
 * Without a list, the one named by KAVRO_PROJECTION_LIST when the program
 * was compiled is used. Prints the version banner and the result text, and
 * exits with the result code.
 */
#include <stdio.h>

#include <kavro.h>

int main(int argc, char **argv) {
#ifdef KAVRO_PROJECTION_LIST
    const char *list = argc == 3 ? KAVRO_PROJECTION_LIST : NULL;
#else
    const char *list = NULL;
#endif
    if (argc == 4) list = argv[3];
    if (list == NULL) {
        fprintf(stderr, "usage: use_kavro <input.mif> <output.mif> [<projection list>]\n");
        return 100;
    }
    printf("%s\n", GetVersionId());
    int32_t code = Kavroform(argv[1], argv[2], "geo_wgs84", list, 0);
    printf("%d %s\n", (int)code, GetErrorMessage(code));
    return (int)code;
}
