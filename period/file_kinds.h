// file_kinds.h - the per-state file schedule: the kinds of per-state cell
// array file in the order a year and its periods read them, which are read
// only where the state pumps (not under NOPUMP), and which are annual
// (year.kind) rather than monthly (year.mm.kind; with mi, the steady
// period's steady.kind). One table for period() and for the run's checks
// and inventory.
#pragma once

#include <string_view>

#include "quon.h"
#include "tables.h"

namespace quon {

inline constexpr int NKIND = 8;
inline constexpr std::string_view KIND[NKIND] = {"agw", "asw", "aco", "mi",
                                                 "pmp", "rcg", "rcs", "rcc"};
inline constexpr SumId KINDSUM[NKIND] = {AGW, ASW, ACO, MI, PMP, RCG, RCS, RCC};
inline constexpr bool PUMPED[NKIND] = {true, false, false, true,
                                       true, true,  false, false};
inline constexpr bool ANNUAL[NKIND] = {true,  true,  true,  true,
                                       false, false, false, false};
// The first kind a period (not the year) reads: mi, taken once a year.
inline constexpr int FIRST_PERIOD_KIND = 3;
// The first monthly kind: pmp.
inline constexpr int FIRST_MONTHLY_KIND = 4;

// True when state (0 CO, 1 KS, 2 NE) reads files of the kind.
inline bool reads(const Run &run, int state, int kind) {
  return !PUMPED[kind] || run.pumpflag[std::size_t(state)] != 0;
}

} // namespace quon
