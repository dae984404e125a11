// period.h - the annual recharge grid, the assembly of one stress period with
// its RCH and WEL records, and the per-state cell array files.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "quon.h"

namespace quon {
struct Run;

// Reads the cell array file dir/part.label (text, or one unformatted record
// in BIN mode) into a. The directory is cut after its last non-blank
// character (one blank when all blank); part and label are used as given.
// A missing file gives all zeros without a message and returns false, so
// that callers can skip summing it; otherwise returns true. A file that is
// there but cannot be read ends the run through error2 with its name: text
// as readreal says; in BIN mode "Cannot open file " or "Cannot read file "
// (with why on the console) unless the file starts with one record of at
// least 53,790 finite values, of which the first 53,790 are taken, ended by
// a length word equal to the leading one or by the end of the file. Does
// not allocate.
bool readfile(Run &run, CellArray &a, std::string_view dir,
              std::string_view part, std::string_view label);

// readfile of state's (0 CO, 1 KS, 2 NE) file of the given kind for the
// period part, in the state's data folder; a missing file is counted in
// run.missing and leaves a as it was (not zeroed: the caller skips it).
// Does not allocate.
bool readstate(Run &run, CellArray &a, int state, SumId kind,
               std::string_view part);

// Writes factor * a to dir/year.name (text: one list-directed record per
// grid row; BIN: one unformatted record); writes nothing, and leaves an
// older file alone, when the scaled grid is all zero. A file that cannot be
// opened is reported and the run goes on; one that cannot be written ends
// the run. Does not allocate.
void storemonth(Run &run, const CellArray &a, double factor, int year,
                std::string_view dir, std::string_view name);

// target = factor * source + target at every cell (over the shorter of the
// two spans). Does not allocate.
void add(std::span<double> target, double factor,
         std::span<const double> source) noexcept;

// The same, only at cells whose mask value is 0; other cells are left as
// they are whatever the source holds there.
void condadd(std::span<double> target, double factor,
             std::span<const double> source,
             std::span<const std::int32_t> mask) noexcept;

// Forms the station kriging weights of every active cell (run.krigcells,
// run.krigweights) from the inverse in run.krig; called once per run after
// the station system is inverted, before the first period. A station system
// too large for the kriging store leaves both empty. Allocates once.
void prepare_kriging(Run &run);

// The annual recharge grid r of a year (steady != 0: steady mode), with the
// year's irrigated areas added to the per-state sums in transient mode (its
// precipitation and irrigated fraction left in run.ppt and run.frac for the
// store files). Inactive cells get 0. Ends
// the run on a negative (or NaN) kriged precipitation, a lookup outside the
// recharge function table, or a year outside the precipitation table.
// Without prepare_kriging each cell is krigged afresh (same result, slower).
// Does not allocate.
void evalcurve(Run &run, CellArray &r, int steady, int year);

// A well rate as the WEL files have it, (F11.6), or, when that would fill
// the whole field (1000 cfs or more, -100 or less), the same six decimals in
// a field just wide enough for one leading blank: MODFLOW reads well lines
// by blanks. Returns the position after it, at most WELL_RATE_MAX
// characters on. Does not allocate.
char *put_rate(char *out, double rate);
// Room for a widened well rate: the integer digits of the largest double,
// sign, point, six decimals and the leading blank.
inline constexpr int WELL_RATE_MAX = 330;

// One stress period: reads the period's per-state files, adds the volumes
// to the per-state sums and hands the period to the run's writers
// (run.writers; without a list the model writers: RCH, WEL and MODFLOW 6
// when its files are open). Ends the run when the period has
// more than MAXWEL wells (after its RCH records, before any WEL record),
// when a well rate is not finite (before any WEL record), when an RCH array
// value would not fit its field, when more than four RCH files are set, or
// when a model file cannot be written.
// Does not allocate.
void period(Run &run, const CellArray &r, std::string_view label,
            std::string_view part, std::string_view annpart, int year,
            int periodlen, double mult);

} // namespace quon
