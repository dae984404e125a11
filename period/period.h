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
// in BIN mode) into a. A missing file gives all zeros without a message.
// Returns false when a is all zero because no grid was read (the file is
// missing, or a damaged unformatted record was reported), so that callers
// can skip summing it.
bool readfile(Run &run, CellArray &a, std::string_view dir,
              std::string_view part, std::string_view label);

// Writes factor * a to dir/year.name (text or unformatted); writes nothing
// when the scaled grid is all zero.
void storemonth(Run &run, const CellArray &a, double factor, int year,
                std::string_view dir, std::string_view name);

// target = factor * source + target at every cell.
void add(std::span<double> target, double factor,
         std::span<const double> source) noexcept;

// The same, only at cells whose mask value is 0.
void condadd(std::span<double> target, double factor,
             std::span<const double> source,
             std::span<const std::int32_t> mask) noexcept;

// Forms the station kriging weights of every active cell (run.krigcells,
// run.krigweights) from the inverse in run.krig; called once per run after
// the station system is inverted, before the first period. Allocates once.
void prepare_kriging(Run &run);

// The annual recharge grid r of a year (steady != 0: steady mode), with the
// year's irrigated areas added to the per-state sums in transient mode.
void evalcurve(Run &run, CellArray &r, int steady, int year);

// One stress period: reads the period's per-state files, writes the RCH and
// WEL records and adds the volumes to the per-state sums.
void period(Run &run, const CellArray &r, std::string_view label,
            std::string_view part, std::string_view annpart, int year,
            int periodlen, double mult);

} // namespace quon
