// tables.h - the run-wide tables: everything one run of quon holds, in one
// struct allocated once at start-up (see make_run()) and handed to the
// subsystems by reference.
#pragma once

#include <array>
#include <memory>
#include <vector>

#include "files.h"
#include "quon.h"
#include "writer.h"

namespace quon {

// The files a run's settings name, by use: the checks before the first
// period make sure no output lands on an input or on another output.
enum FileUse : int {
  USE_PARAM,  // the parameter file
  USE_IBOUND, // zone grids
  USE_SOIL,
  USE_MOUND,
  USE_BUDGET,
  USE_SUBAREA,
  USE_TERCLASS,
  USE_TERMULT,              // terrain multiplier locations
  USE_XFACTOR,              // XFACTOR grid
  USE_STATIONLOC,           // station locations
  USE_STATIONPPT,           // station precipitation
  USE_MF6_IRCH,             // MF6 IRCH layer grid
  USE_MF6_WELLAYER,         // MF6 WELLAYER layer grid
  NINPUTUSE,                // the uses above are inputs, the ones below outputs
  USE_FUNTABLE = NINPUTUSE, // FUNCTION table file
  USE_TERPLOT,              // TERRAIN plot file
  USE_BUDGETCSV,            // BUDGETCSV table
  NFILEUSE
};

// The options of the MF6 line after its base word (period/mf6.h); its
// layer grids are inputs named in Run::usedname (USE_MF6_IRCH,
// USE_MF6_WELLAYER).
struct Mf6Options {
  bool days = false; // TIME_UNITS days: lengths, FACTORs and rates per day
  Word prefix;       // put before every package name (blank: none)
};

struct Run {
  // ---- How this run was asked for ------------------------------------------
  bool dry = false;    // quon --check: read everything, write no file
  bool strict = false; // quon --strict: every report ends the run
  // The file names the settings gave, by use (blank: not given).
  std::array<Word, NFILEUSE> usedname;
  std::array<ZoneShape, NINPUTUSE> zoneshape{}; // of the zone grids by use
  // The keyword of a year word that was not a whole number (blank: none).
  Text<NAMELEN> badyear;

  // The side files the settings name, written once they are checked.
  bool funtable_due = false, terplot_due = false;
  // The model periods of the run and how many of them the RCH and WEL files
  // hold, for the message of a run that ends early; model_open once they
  // are opened.
  int periods_total = 0, periods_done = 0;
  bool model_open = false;

  // ---- Parameter file and the current line ---------------------------------
  InFile param;       // channel 1
  Text<LINELEN> line; // the current parameter line, blank-padded
  int linelen = 0;    // characters read into it (up to LINELEN)
  int linepos = 1;    // position of the next word (1-based)
  // The current parameter line as the scanners see it.
  std::string_view pline() const { return {line.c, std::size_t(linelen)}; }

  // ---- Files opened and closed within one call -----------------------------
  InFile data; // channel 8: every data file a reader opens
  OutFile side{std::size_t(1) << 16}; // channel 9 and 8 for writing: plot,
                                      // function table, yearly store files

  // ---- Outputs
  // --------------------------------------------------------------- The run's
  // writers in order (include/writer.h), built once from the settings; every
  // output file below belongs to one of them.
  WriterList writers;

  // ---- Model files, open from their header lines to the end ---------------
  OutFile wel;                           // channel 20
  std::array<OutFile, MAXRCH> rch;       // channels 21..24
  OutFile pumpbsn{std::size_t(1) << 16}; // channel 11, "quon/pump.bsn"
  OutFile rechbsn{std::size_t(1) << 16}; // channel 12, "quon/rech.bsn"
  OutFile annual;                        // channel 49, year.csv
  OutFile budgetcsv{1 << 16};            // the BUDGETCSV table
  // MODFLOW 6 input (MF6 base), in the order of Mf6File (period/mf6.h):
  // the names the run writes (blank: not written, all blank without MF6)
  // and their files; mf6period counts the periods written to them.
  Word mf6base;
  Mf6Options mf6opt;
  std::array<Mf6Name, MF6FILES> mf6names;
  std::array<OutFile, MF6FILES> mf6;
  int mf6period = 0;
  // The layer of each cell's recharge and wells (IRCH and WELLAYER grids;
  // all 1 without them).
  ZoneGrid mf6irch{}, mf6layer{};
  // The "node,row,col," text that starts each line of the annual pumping
  // tables, the same every year: formed by the first table of the run.
  static constexpr std::size_t ANNPREFIX = 3 * 6;
  std::array<char, std::size_t(NCELL) * ANNPREFIX> annprefix{};
  bool annprefix_ready = false;

  // ---- Cell centres --------------------------------------------------------
  std::array<double, NCOL + 1> xc{}; // xc[c], c = 1..326
  std::array<double, NROW + 1> yc{}; // yc[r], r = 1..165

  // ---- Zone grids and their names ------------------------------------------
  ZoneGrid ibound{};
  ZoneGrid soil{};
  ZoneGrid mound{};
  ZoneGrid budzone{};
  ZoneGrid subarea{};
  ZoneGrid terclass{};
  std::array<Name, MAXSOIL> soilnames;
  int nsoil = 0;
  std::array<Name, MAXBUDZONE> budnames;
  int nbud = 0;
  std::array<Text<SUBNAMELEN>, MAXSUBAREA + 1> subnames; // entry 0 fixed
  int nsub = 0;
  bool has_subarea = false;
  std::array<Name, MAXTERCLASS> ternames;
  int nterclass = 0;
  std::array<Name, 1> scratchnames; // MOUND and IBOUND, never read again
  int nscratch = 0;

  // ---- Terrain
  // ---------------------------------------------------------------
  CellArray terrain{};
  std::array<double, MAXTERRAIN> terx{}, tery{};
  // termult[class - 1][location]: one class over all locations is contiguous.
  std::array<std::array<double, MAXTERRAIN>, MAXTERCLASS> termult{};
  int nterrain = 0;

  // ---- XFACTOR --------------------------------------------------------------
  CellArray xfactor{};
  int xfactor_year = 9999;

  // ---- States
  // ----------------------------------------------------------------
  std::array<int, NSTATE> pumpflag{1, 1, 1};
  std::array<Word, NSTATE> statedir; // kept whole, up to WORDLEN characters
  std::array<Text<2>, NSTATE> statecode;

  // ---- Store files, RCH and WEL settings
  // -------------------------------------
  Word storedir; // kept whole, up to WORDLEN characters
  std::array<Name, 3> storenames;
  int nstore = 0;
  int binmode = 0;
  // The RECHARGE files: nrch_named names given (more than MAXRCH ends the
  // run in the checks, naming the count), nrch of them kept (at most
  // MAXRCH), the count every loop over the files takes.
  std::array<Word, MAXRCH> rchnames;
  int nrch = 0, nrch_named = 0;
  Word wellname;
  int irchcb = 0, iwelcb = 0;
  int append = 0, annpump = 0, optmound = 0;

  // ---- Calendar
  // ---------------------------------------------------------------
  std::array<double, 12> month{};
  static constexpr std::array<int, 12> days{31, 28, 31, 30, 31, 30,
                                            31, 31, 30, 31, 30, 31};
  int steady_start = 0, steady_end = 0;
  double steady_mult = 0.0;
  int trans_start = 0, trans_end = -1;
  int year = 0;      // current year
  int periodlen = 0; // current period length, seconds

  // ---- Stations, functions, kriging
  // ------------------------------------------
  StationTable stations;
  FunctionTable functions;
  KrigStore krig;

  // ---- Grids of the periods
  // ---------------------------------------------------
  CellArray recharge{};
  CellArray steadyrecharge{};
  std::array<StateSums, NSUMS> sums; // pmp, mi, agw, aco, asw, rcg, rcs, rcc
  std::array<double, MAXBUDZONE + 1> budwork{};
  // The values of the last budget row written to the report file, in the
  // row's order (nbudrow of them; 0 when it wrote none), for the writers
  // that take the budget as well.
  std::array<double, (MAXBUDZONE + 1) * NBUDGROUP> budrow{};
  int nbudrow = 0;
  std::array<std::array<double, MAXSUBAREA + 1>, NSLICE> subpump{}, subrech{};

  // Work grids of the annual evaluation and of the period assembly.
  CellArray area{}, frac{}, ppt{}, readbuf{};
  std::array<CellArray, 5> q{}; // Q0 pumping, Q1..Q4 recharge components
  // Each state's pumping grid of the current period (its pmp file), kept
  // for the writers that name the state of a well (PeriodInfo::pmp).
  std::array<CellArray, NSTATE> pumpgrid{};

  // The annual municipal and industrial pumping of each state, kept from the
  // month that read it: every month of the year takes its share of the
  // same file. mipart is the period part it was looked for under (blank:
  // none yet), mifound whether that file was there.
  std::array<CellArray, NSTATE> migrid{};
  std::array<Text<8>, NSTATE> mipart;
  std::array<bool, NSTATE> mifound{};

  // Per-state cell array files the run looked for, did not find and took
  // as all zeros: missing[kind][state], kind in SumId order (pmp, mi, agw,
  // aco, asw, rcg, rcs, rcc, see SUMLABEL), state 0 CO, 1 KS, 2 NE. Each
  // file counts once (the annual "mi" file too, though every month takes
  // its share); the pmp, mi, rcg and agw files of a state under NOPUMP are
  // never looked for. For the end-of-run summary.
  std::array<std::array<int, NSTATE>, NSUMS> missing{};

  // Kriging weights of the stations at every active cell, formed once per run
  // after the station system is inverted: krigcells lists the active cells
  // (row by row), krigweights holds one weight per station for each listed
  // cell (stations.count per cell).
  std::vector<std::int32_t> krigcells;
  std::vector<double> krigweights;
};

// Allocates one run with every table at its default and the cell centres set.
std::unique_ptr<Run> make_run();

} // namespace quon
