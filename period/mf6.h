// mf6.h - the run's MODFLOW 6 input (keyword MF6 base), written in the same
// pass over the periods as the RCH and WEL files: the time discretisation
// base.tdis, one array-based RCH package per RCH file (base.rch, or
// base-precip.rch, base-gwirr.rch, base-swirr.rch, base-coirr.rch), the WEL
// package base.wel and base.packages, the lines that attach them to a model.
//
// Time is in seconds, so the RCH multipliers and the well rates are those of
// the MODFLOW-2005 files, digit for digit; with the MF6 option DAYS they are
// those digits times 86400, multiplied exactly in decimal, so every budget
// term is the seconds one times 86400. The array values are the
// MODFLOW-2005 (20F9.5) text with a blank before every field: MODFLOW 6
// reads arrays free-format only, and a full 9-column field would touch the
// one before it. Without MF6 none of this runs and no file changes.
#pragma once

#include <string_view>

#include "quon.h"

namespace quon {
struct Run;
class OutFile;
class Detail;
struct PeriodInfo;
struct WellLine;

// The MODFLOW 6 files by index into Run::mf6names and Run::mf6; RCH file k
// (0-based) is MF6_RCH + k.
enum Mf6File : int { MF6_TDIS, MF6_WEL, MF6_PACKAGES, MF6_OBS, MF6_RCH };
static_assert(MF6_RCH + MAXRCH == MF6FILES);

// Forms run.mf6names from the MF6 base and the RECHARGE file count: base.tdis,
// base.wel, base.packages, base.wel.obs and one RCH name per RCH file (at
// most MAXRCH); the files the run does not write keep blank names, all of
// them without MF6. Called where the writer list is built. Does not
// allocate.
void mf6_names(Run &run);

// A package or observation name: the PREFIX and the default name (PRECIP,
// GWIRR, SWIRR, COIRR or RCH, WEL; WEL_CO, WEL_KS, WEL_NE).
struct Mf6PackageName {
  char c[WORDLEN + 16];
  std::size_t n = 0;
  Mf6PackageName() = default;
  Mf6PackageName(const Run &run, std::string_view name);
  std::string_view view() const { return {c, n}; }
};
// The longest package name the run gives MODFLOW 6, for the check that
// MODFLOW 6 takes it (at most MF6NAMELEN characters).
Mf6PackageName mf6_longest_name(const Run &run);

// Reads a layer grid of the MF6 line (IRCH, WELLAYER): 165 rows of 326
// whole numbers, free format (blanks, tabs, commas and line ends apart),
// row 1 first. A file that cannot be opened, a word that is not a whole
// number, too few or too many values end the run naming the file and, but
// for the last, the row and column. Reads through run.data.
void mf6_read_layers(Run &run, std::string_view file, ZoneGrid &grid);

// Where the layer grid named file is below 1 at a cell with IBOUND not 0
// (other cells may hold anything: no recharge or well of them reaches
// MODFLOW 6 through it, IRCH writes 1 there): the file, row, column and
// value written to t; false where there is none.
bool mf6_low_layer(const Run &run, std::string_view file, const ZoneGrid &grid,
                   Detail &t);

// File i (0 <= i < MF6FILES) as the checks of the outputs name it: its use
// ("MF6 RCH file"), its number among several RCH files (else 0) and its
// name (empty when the run does not write it).
struct Mf6Entry {
  std::string_view use;
  int number = 0;
  std::string_view name;
};
Mf6Entry mf6_entry(const Run &run, int i);

// Opens the named files (replacing older ones) and writes what precedes
// the first period: the TDIS header for nper periods up to its period
// lines, the RCH options, the WEL options and MAXBOUND (NSTATE lines for
// each active cell, at least 1 and at most NSTATE x MAXWEL, so no period can
// exceed it), and the whole package list and observation file, which are
// closed at once. SAVE_FLOWS goes to the RCH packages when IRCHCB is not 0
// and to WEL when IWELCB is not 0. Ends the run naming the file when one
// cannot be opened or written. Does nothing without MF6.
void mf6_open(Run &run, int nper);

// Starts the next period: counts it (run.mf6period) and writes its TDIS
// line, length periodlen seconds (in days with DAYS), one time step. Does
// not allocate.
void mf6_period(Run &run, int periodlen);

// The start of the current period's RCH block: a comment with the period
// label, BEGIN PERIOD, in the first period the IRCH array when the run has
// an IRCH grid, RECHARGE and the control line INTERNAL FACTOR s1 IPRN -1,
// s1 with the digits of the MODFLOW-2005 control record (1PE15.8), times
// 86400 exactly with DAYS.
void mf6_rch_begin(const Run &run, OutFile &f, std::string_view label,
                   double s1);

// One array row: text is the row's (20F9.5) records as the MODFLOW-2005
// file has them (fields of 9 characters, each record ended by a line end);
// the same records with a blank before every field. Does not allocate.
void mf6_rch_row(OutFile &f, std::string_view text);

// END PERIOD of an RCH block and the blank line FloPy needs between blocks.
void mf6_end_block(OutFile &f);

// BEGIN PERIOD of the current period's WEL block.
void mf6_wel_begin(Run &run);

// The MODFLOW 6 lines of one MODFLOW-2005 well line on an active cell: layer
// (WELLAYER, else 1), row, column, rate (the MODFLOW-2005 text; times 86400
// exactly with DAYS) and the boundname of its state (co, ks, ne), from the
// states' pumping of the period (pi.pmp, pi.mi). A cell pumped by several
// states gets one line per state, each with that state's rate, so that the
// states' flows add up in MODFLOW 6's budget. Does not allocate.
void mf6_wel_line(Run &run, const PeriodInfo &pi, const WellLine &l);

// The end of the current period's WEL block: a comment with the period
// label, the number of wells on cells with IBOUND 0, which the caller left
// out of the block (MODFLOW 6 refuses them, MODFLOW-2005 ignores them), and
// their total rate in cubic feet per second; then END PERIOD and the blank
// line FloPy needs between blocks.
void mf6_wel_end(Run &run, std::string_view label, int left, double rate);

// After the last period of a complete run: ends the TDIS period lines and
// closes every file, ending the run naming a file that lost a write. A run
// that ended early never gets here, so its TDIS file stays unfinished and
// MODFLOW 6 refuses it rather than repeating the last period written.
void mf6_finish(Run &run);

} // namespace quon
