/*
 * zavtrlib.h - the four functions of the projection library.
 *
 * Kavro links the library at load time and calls these by name. Projections
 * are named by short labels ("geo_wgs84", "utm32_etrs89", "EPSG:25832" ...);
 * a label gives a handle, and a pair of handles converts a point.
 *
 * Axes on the library side: x is the easting or the longitude, y the
 * northing or the latitude, whatever the system's official axis order.
 * Geographic coordinates are in radians; projected ones in the system's own
 * linear unit (metres, or US survey feet for a system defined in them).
 *
 * Labels, matched without regard to the case of ASCII letters:
 *   geo_wgs84 (EPSG:4326), geo_etrs89 and geo_euref89 (4258), geo_ed50
 *   (4230), geo_nad83 (4269), geo_nad27 (4267); utm<zone>_wgs84, zones 1-60
 *   (326zz), and utm<zone>s_wgs84 (327zz); utm<zone>_etrs89 and
 *   utm<zone>_euref89, zones 28-38 (258zz); utm<zone>_ed50, zones 28-38
 *   (230zz); webmrc (3857); dktm1-dktm4 (4093-4096); kp2000j, kp2000s,
 *   kp2000b (2196-2198); and EPSG:<code> for any geographic or projected
 *   system in the database (a compound one by its horizontal part).
 * A zone is written without a leading zero; nothing may follow a label.
 *
 * Calls come from one thread at a time.
 */
#ifndef ZAVTRLIB_H
#define ZAVTRLIB_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(ZAVTR_BUILDING_LIBRARY)
#define ZAVTR_API __attribute__((visibility("default")))
#else
#define ZAVTR_API
#endif

/* Conversion codes written to *code by ZAVTR_TransformViaHandle. */
#define ZAVTR_OK              0   /* converted */
#define ZAVTR_OUTSIDE_AREA  (-1)  /* converted, but the point lies outside the
                                     area of use of the input or the output
                                     system: a tolerance warning */
#define ZAVTR_FAILED       (-10)  /* not converted: the input or the result is
                                     not finite, a longitude / latitude lies
                                     beyond a pole or a full turn, or PROJ
                                     could not convert */
#define ZAVTR_BAD_HANDLE   (-20)  /* a handle the library never gave, 0
                                     included, or one made invalid by
                                     ZAVTR_TerminateLibrary */

/* 0: ready; any other value: the library cannot work, for example when
 * PROJ's database cannot be found or opened. May be called again without a
 * terminate in between: it then answers 0 and the handles already given
 * stay valid. */
ZAVTR_API int32_t ZAVTR_InitLibrary2(void);

/* A nonzero handle for a label, stable for the same label (ASCII case
 * aside) until ZAVTR_TerminateLibrary; labels that name the same system
 * share a handle. Handles are small integers counted from 1. 0 for a label
 * the library does not know, and before the library is initialised. */
ZAVTR_API uint32_t ZAVTR_CreateProjectionHandle(const char *label);

/* Converts (x, y) from inHandle's system to outHandle's; fills the three
 * outputs and *code. The function result mirrors *code. The same handle on
 * both sides is the identity. z takes no part and comes back unchanged in
 * *zOut. When the point is not converted (ZAVTR_FAILED, ZAVTR_BAD_HANDLE),
 * *xOut and *yOut are HUGE_VAL. With a null output address nothing is
 * written and the result is ZAVTR_FAILED. */
ZAVTR_API int32_t ZAVTR_TransformViaHandle(uint32_t inHandle, uint32_t outHandle,
                                           double x, double y, double z,
                                           double *xOut, double *yOut,
                                           double *zOut, int32_t *code);

/* Releases everything; handles become invalid. Result: 0. */
ZAVTR_API int32_t ZAVTR_TerminateLibrary(void);

#ifdef __cplusplus
}
#endif

#endif /* ZAVTRLIB_H */
