/* The C floor the converter is measured against: the same pairs read with
 * strtod, each converted with one proj_trans call from ETRS89 / UTM zone
 * 32N (EPSG:25832) to WGS 84 (EPSG:4326, longitude first, degrees), and
 * written with printf("%.6f %.6f\r\n").
 *
 *   c_floor <pairs file>   (output on standard output)
 */
#include <math.h>
#include <proj.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char **argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: c_floor <pairs file>\n");
        return 2;
    }
    FILE *in = fopen(argv[1], "rb");
    if (in == NULL) {
        perror(argv[1]);
        return 1;
    }
    PJ *crs_to_crs = proj_create_crs_to_crs(NULL, "EPSG:25832", "EPSG:4326", NULL);
    PJ *operation = crs_to_crs ? proj_normalize_for_visualization(NULL, crs_to_crs) : NULL;
    if (operation == NULL) {
        fprintf(stderr, "c_floor: no transformation\n");
        return 1;
    }
    char line[256];
    while (fgets(line, sizeof line, in) != NULL) {
        char *end;
        double x = strtod(line, &end);
        double y = strtod(end, NULL);
        PJ_COORD c = proj_trans(operation, PJ_FWD, proj_coord(x, y, 0.0, HUGE_VAL));
        printf("%.6f %.6f\r\n", c.xy.x, c.xy.y);
    }
    proj_destroy(operation);
    proj_destroy(crs_to_crs);
    fclose(in);
    return 0;
}
