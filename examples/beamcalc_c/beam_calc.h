/* BeamCalc's calculation in C. */
#ifndef BEAMCALC_C_BEAM_CALC_H
#define BEAMCALC_C_BEAM_CALC_H

#include <stddef.h>

/* Calculates a project (func_num 1 forces, 2 deflections, 3 sections, 4 both) into out_folder;
 * 0 on success, else 1 with the reason in error. */
int beamcalc_calculate(const char* project_path, int func_num, const char* out_folder, char* error,
                       size_t error_size);

/* The largest moment of a simply supported beam under a uniform load, kN·m. */
double beamcalc_midspan_moment(double L, double q);

#endif
