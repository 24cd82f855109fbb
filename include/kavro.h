/*
 * kavro.h - the exported interface of the Kavro library.
 *
 * Kavro converts a MapInfo Interchange Format drawing (a .mif file and its
 * .mid companion) from the projection named in the drawing to the one the
 * caller names. One call of KavroformEx is one run; the run reports to the
 * caller through an optional status callback and returns one result code.
 *
 * Every text passed in or out is a zero-terminated Windows-1252 byte string;
 * nothing is converted. Texts returned by GetErrorMessage and GetVersionId
 * are static and never freed. The header compiles as C and as C++.
 */
#ifndef KAVRO_H
#define KAVRO_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(KAVRO_BUILDING_LIBRARY)
#define KAVRO_API __attribute__((visibility("default")))
#else
#define KAVRO_API
#endif

/* Result codes. The numbers are stable: callers and exit codes rely on them. */
#define TR_OK                     0  /* "Alt er OK" */
#define TR_TRANSFORM_FAILED       1  /* a coordinate pair could not be converted */
#define TR_LIBRARY_LOAD_FAILED    2  /* the projection library did not initialise */
#define TR_INPUT_OPEN_FAILED      3  /* the input .mif could not be opened */
#define TR_TEMP_OPEN_FAILED       4  /* the temporary file could not be made */
#define TR_LIST_OPEN_FAILED       5  /* the projection list could not be loaded */
#define TR_INTERNAL_ERROR         6  /* a projection handle could not be created */
#define TR_SYNTAX_ERROR           7  /* a statement did not scan */
#define TR_UNEXPECTED_EOF         8  /* the input ended inside an object */
#define TR_UNSUPPORTED_PROJECTION 9  /* a projection is not in the list */
#define TR_ABORTED               10  /* the callback stopped the run */
#define TR_COPY_FAILED           11  /* the result could not reach its destination */
#define TR_TEMP_DELETE_FAILED    12  /* the temporary file could not be deleted */
#define TR_MID_COPY_FAILED       13  /* the .mid companion could not be copied */

/* Flag bits. A caller passes only TF_RELAX and TF_VERBOSE; the others are
 * set by the run from the projection list and are dropped from the caller's
 * word. */
#define TF_IN_NEGATE_X  0x01u
#define TF_OUT_NEGATE_X 0x02u
#define TF_RELAX        0x04u  /* accept the library's tolerance warnings */
#define TF_VERBOSE      0x08u  /* trace every conversion through the callback */
#define TF_IN_DEGREES   0x10u
#define TF_OUT_DEGREES  0x20u

/* Receives each status message of a run, on the caller's thread. The text
 * belongs to Kavro and is valid only during the call. Nonzero: go on; 0: stop
 * (only the answer to a progress message is looked at). */
typedef int (*StatusCallback)(const char *message);

/* One run: converts inPath to outPath (absent or empty: inPath is replaced)
 * into the projection labelled outLabel in the list at listPath. */
KAVRO_API int32_t KavroformEx(const char *inPath, const char *outPath,
                              const char *outLabel, const char *listPath,
                              uint32_t flags, StatusCallback callback);

/* KavroformEx without a callback of the caller's. */
KAVRO_API int32_t Kavroform(const char *inPath, const char *outPath,
                            const char *outLabel, const char *listPath,
                            uint32_t flags);

/* The text of a result code; codes outside 0-13 give an empty text. */
KAVRO_API const char *GetErrorMessage(int32_t code);

/* The version banner, also the first message of every run. */
KAVRO_API const char *GetVersionId(void);

#ifdef __cplusplus
}
#endif

#endif /* KAVRO_H */
