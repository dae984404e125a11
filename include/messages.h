// messages.h - every message text of quon in one place. A text that ends in
// a blank is followed directly by a parameter line, keyword, file name or
// data line; the others stand alone or are followed by a value on the
// report file.
#pragma once

#include <string_view>

namespace quon::msg {
using M = std::string_view;

// Driver and post-read checks
inline constexpr M USAGE =
    "Usage: quon [--check] [--strict] <parameter file> | quon --help | "
    "quon --version";
inline constexpr M OPEN_PARAM = "Error opening parameter file";
inline constexpr M NO_SOILS = "No SOILs specified";
inline constexpr M NO_CURVE = "No curve specified";
inline constexpr M MONTH_SUM = "MONTH multipliers do not sum to 1";
inline constexpr M WARNING = "WARNING: ";
inline constexpr M TERRAIN_MULT_ERROR = "Terrain multiplier error ";
inline constexpr M MISSING_SOIL = "Missing soil type ";
inline constexpr M NO_WELL_FILE = "No well file specified";
inline constexpr M NO_RCH_FILE = "No recharge file(s) specified";
inline constexpr M CANNOT_OPEN = "Cannot open file ";
// Settings the run cannot go on with, found before the first period
inline constexpr M RECHARGE_TOO_MANY =
    "Too many RECHARGE files, at most 4 can be written: ";
inline constexpr M STEADY_SPAN =
    "STEADY period cannot be run, its years must lie from 1910 to 2150 "
    "with the start not after the end: ";
inline constexpr M TRANSIENT_SPAN =
    "TRANSIENT period cannot be run, its years must lie from 1910 to 2150: ";
inline constexpr M KRIG_STORE =
    "Station kriging system too large, the drift order must be 0 to 3: ";

// Checks of the settings before the first period
inline constexpr M YEAR_NOT_WHOLE =
    "A year is not a whole number, the run would go on with year 0: ";
inline constexpr M TOO_FEW_STATIONS =
    "Too few stations for the drift order of the kriging: ";
inline constexpr M SAME_STATION = "Two stations at the same place: ";
inline constexpr M SAME_TERRAIN =
    "Two terrain multiplier locations at the same place: ";
inline constexpr M NO_TERRAIN_LOCATIONS =
    "No terrain multiplier locations for the TERRAIN classes: ";
inline constexpr M FILE_TWO_USES =
    "One file named for two uses, one would overwrite the other: ";
inline constexpr M STATE_FOLDER =
    "WARNING: state data folder does not exist, all its files count as "
    "zeros: ";
// Names of the files by use, in the order of FileUse, then the outputs the
// driver opens.
inline constexpr M USE_NAMES[] = {"parameter file",
                                  "IBOUND grid",
                                  "SOIL grid",
                                  "MOUND grid",
                                  "BUDGET zone grid",
                                  "BUDGET sub-area grid",
                                  "TERRAIN class grid",
                                  "TERRAIN multiplier file",
                                  "XFACTOR grid",
                                  "STATIONS location file",
                                  "STATIONS precipitation file",
                                  "MF6 IRCH grid",
                                  "MF6 WELLAYER grid",
                                  "FUNCTION table file",
                                  "TERRAIN plot file",
                                  "BUDGETCSV file"};
inline constexpr M USE_WELL = "WELL file";
inline constexpr M USE_RECHARGE = "RECHARGE file";
inline constexpr M USE_REPORT = "report file";
inline constexpr M USE_PUMPBSN = "sub-area pumping file";
inline constexpr M USE_RECHBSN = "sub-area recharge file";
inline constexpr M USE_STORE = "FILE store file";
inline constexpr M USE_ANNPUMP = "ANNPUMP table";
inline constexpr M USE_STATEFILE = " data file";
// The MODFLOW 6 files, in the order of Mf6File (period/mf6.h).
inline constexpr M USE_MF6[] = {"MF6 TDIS file", "MF6 WEL file",
                                "MF6 package list", "MF6 OBS file",
                                "MF6 RCH file"};
inline constexpr M MF6_APPEND =
    "MF6 cannot be used with APPEND, the MODFLOW 6 files are written whole "
    "by one run: ";

// Inputs and outputs kept apart, stopped and concurrent runs, inputs that
// are not files
inline constexpr M OUTPUT_IS_INPUT =
    "An output is a file the run reads, writing it would destroy it: ";
inline constexpr M OUTPUT_TWICE =
    "One file opened for two outputs, one would overwrite the other: ";
inline constexpr M INPUT_IS_OUTPUT =
    "An input is a file this run wrote, its data would be wrong: ";
inline constexpr M USE_INPUT = "a file the run reads";
inline constexpr M REPORT_IS_INPUT =
    "fort.2 is a file this run reads: the report records were not written "
    "to it";
inline constexpr M NOT_REGULAR =
    "Not a regular file, quon reads only files (a pipe or device would hang "
    "the run): ";
inline constexpr M RUN_LOCKED =
    "Another quon run is working in this folder; this run would overwrite "
    "its outputs and is not started";
inline constexpr M STOPPED_BY = "Run stopped by signal ";
inline constexpr M HELD_NONE =
    "The RCH and WEL files hold no period; they are incomplete";
inline constexpr M HELD_PERIODS = "The RCH and WEL files hold periods 1 to ";
inline constexpr M HELD_OF = " of ";
inline constexpr M HELD_INCOMPLETE = "; they are incomplete";
inline constexpr M STOPPED_LAST_PERIOD = "the last period written: ";
inline constexpr M STOPPED_BEFORE_FIRST = "before the first period";
inline constexpr M SECOND_SIGNAL =
    "A second signal ended the run at once: the period after the last one "
    "written may be cut short at the end of the RCH and WEL files";
// Input mistakes that would shift or drop data silently
inline constexpr M STATE_FOLDER_NOT_FOLDER =
    "State data folder is a file, its data cannot be read: ";
inline constexpr M STATE_FOLDER_UNREADABLE =
    "State data folder cannot be read, its files would count as zeros: ";
inline constexpr M LEFTOVER_VALUES =
    "Values left over in a cell array file, every later value would be "
    "shifted: ";
inline constexpr M PRECIP_YEAR_TWICE =
    "Two data lines for one year in the precipitation file, the later is "
    "used: ";
inline constexpr M CELL_VALUE_TOO_LARGE =
    "A value no cell can hold (magnitude above 1e15), the file is damaged or "
    "of the other byte order: ";
inline constexpr M STATION_LAYOUT =
    "The station layout cannot carry the drift order of the kriging, its "
    "system is singular: ";
inline constexpr M STATION_FAR =
    "A station lies more than 100 grid widths from the grid: ";
inline constexpr M SHORT_ZONE_ROWS =
    "Rows shorter than their fields in a zone grid, the missing cells are "
    "zone 0: ";
inline constexpr M APPEND_NEW =
    "APPEND to a file that is new or empty: its header line is written: ";
inline constexpr M OUTPUT_NAME_TOO_LONG =
    "Output file name longer than the name quon keeps, the file would land "
    "elsewhere: ";

// Summary at the end of a run
inline constexpr M SUMMARY_REPORTS = "quon: this run made reports: ";
inline constexpr M SUMMARY_FIRST = "quon:   the first: ";
inline constexpr M SUMMARY_MISSING =
    "quon: per-state files missing, counted as zeros: ";
inline constexpr M SUMMARY_CHECK =
    "quon: run 'quon --check <parameter file>' for an inventory of the "
    "inputs";

// Strict runs
inline constexpr M STRICT_END =
    "Run ended: --strict ends a run at its first report: ";
inline constexpr M STRICT_SETTINGS =
    "Run ended before the first period: --strict, and the settings had "
    "reports: ";

// Keywords
inline constexpr M INVALID_COMMAND = "Invalid command ";
inline constexpr M UNKNOWN_PARAMETER = "Unknown parameter ";
inline constexpr M FILE_DIRECTORY = "Invalid FILE directory";
inline constexpr M FILE_EXTENTION = "Invalid FILE extention";
inline constexpr M DIR_READ = "Error reading DIR ";
inline constexpr M FOLDER_TOO_LONG =
    "Folder name longer than 256 characters in ";
inline constexpr M RECHARGE_READ = "Error reading RECHARGE file ";
inline constexpr M RECHARGE_COUNT = "RECHARGE must specify 1 or 4 files ";
inline constexpr M IRCHCB_BAD = "Invalid Recharge cbc file number IRCHCB";
inline constexpr M WELL_READ = "Error reading WELL file name ";
inline constexpr M IWELCB_BAD = "Invalid Well cbc file number IWELCB";
inline constexpr M MF6_READ = "Invalid MF6 base name ";
inline constexpr M STEADY_START = "Invalid STEADY start year";
inline constexpr M STEADY_END = "Invalid STEADY end year";
inline constexpr M STEADY_PERIOD = "Invalid STEADY period";
inline constexpr M STEADY_START_RANGE = "STEADY period start error";
inline constexpr M STEADY_END_RANGE = "STEADY period end error";
inline constexpr M STEADY_MULT = "Invalid STEADY precip multiplier";
inline constexpr M TRANSIENT_START = "Invalid TRANSIENT start year";
inline constexpr M TRANSIENT_END = "Invalid TRANSIENT end year";
inline constexpr M TRANSIENT_PERIOD = "Invalid TRANSIENT period";
inline constexpr M TRANSIENT_START_RANGE = "TRANSIENT period start error";
inline constexpr M TRANSIENT_END_RANGE = "TRANSIENT period end error";
inline constexpr M INVALID_STATE = "Invalid state ";
inline constexpr M MOUND_NAME = "Error reading MOUND flag name ";
inline constexpr M IBOUND_NAME = "Invalid IBOUND file name ";
inline constexpr M SOIL_NAME = "Invalid SOIL file name ";
inline constexpr M XFACTOR_YEAR = "Invalid XFACTOR year ";
inline constexpr M XFACTOR_NAME = "Invalid XFACTOR file name ";
inline constexpr M BUDGET_NAME = "Invalid BUDGET file name ";
inline constexpr M MONTH_MULT = "Invalid MONTH multiplier ";

// Scanners and readers
inline constexpr M ERROR_OPENING = "Error opening file";
inline constexpr M ERROR_OPENING_ = "Error opening file ";
inline constexpr M ERROR_HEADER = "Error reading file header";
inline constexpr M ERROR_READING = "Error reading file";
inline constexpr M TOO_MANY_ZONES = "Too many zones in";
inline constexpr M ZONE_RANGE = "Zone out of range in file";
inline constexpr M ARRAY_TOO_SMALL = "Array too small for file ";
inline constexpr M LINE_TOO_LONG = "Line longer than 64 MiB in file";

// Terrain
inline constexpr M TERRAIN_FLAG = "Invalid TERRAIN flag file ";
inline constexpr M TERRAIN_MULT_FILE = "Invalid TERRAIN multiplier file ";
inline constexpr M TERRAIN_PLOT = "Invalid TERRAIN plot file ";
inline constexpr M TERRAIN_LIMIT_MIN = "Invalid TERRAIN LIMIT minimum";
inline constexpr M TERRAIN_LIMIT_MAX = "Invalid TERRAIN LIMIT maximum";
inline constexpr M TERRAIN_LIMIT_RANGE = "Invalid TERRAIN LIMIT range ";
inline constexpr M TERRAIN_PARAMETER = "Invalid TERRAIN parameter ";
inline constexpr M TERRAIN_TOO_MANY = "Too many TERRAIN locations";
inline constexpr M TERRAIN_X = "Invalid terrain X ";
inline constexpr M TERRAIN_Y = "Invalid terrain Y ";
inline constexpr M TERRAIN_MULT = "Invalid terrain multiplier ";
inline constexpr M CANNOT_WRITE = "Cannot write file ";

// Stations
inline constexpr M STATION_LOC_NAME = "Invalid STATION location file name ";
inline constexpr M STATION_PPT_NAME =
    "Invalid STATION precipitation file name ";
inline constexpr M STATION_DRIFT = "Invalid STATION drift order ";
inline constexpr M TOO_MANY_STATIONS = "Too many stations";
inline constexpr M STATION_NAME = "Invalid station name ";
inline constexpr M STATION_X = "Invalid station X ";
inline constexpr M STATION_Y = "Invalid station Y ";
inline constexpr M PRECIP_ORDER = "Precip data out of order ";
inline constexpr M PRECIP_YEAR = "Invalid precip year ";
inline constexpr M PRECIP_DATA = "Invalid precip data ";

// Functions and splines
inline constexpr M NO_SOILS_FUNCTION = "No SOILs specified before FUNCTION";
inline constexpr M FUNCTION_FILE = "Invalid FUNCTION output file name ";
inline constexpr M FUNCTION_TYPE = "Invalid FUNCTION spline type ";
inline constexpr M FUNCTION_TOO_MANY = "Too many FUNCTION data";
inline constexpr M FUNCTION_ZERO = "FUNCTION data must start at zero";
inline constexpr M FUNCTION_MONOTONE = "FUNCTION data not monotone increasing";
inline constexpr M FUNCTION_DATA = "Invalid FUNCTION data ";
inline constexpr M FUNCTION_RANGE = "FUNCTION range too large";
inline constexpr M FUNCTION_NOT_FINITE = "FUNCTION table value not finite,";
inline constexpr M SPLINE_ONE = "Cannot fit spline to one point";
inline constexpr M SPLINE_MANY = "Too many points to fit spline";
inline constexpr M SPLINE_RANGE = "Spline eval data out of range";
inline constexpr M BINFIND_RANGE = "Value out of range in BINFIND";

// Kriging
inline constexpr M REPEATED_POINT = "Repeated point";
inline constexpr M KRIG_TOO_LARGE = "Kriging matrix too large";
inline constexpr M KRIG_CANNOT_INVERT = "Cannot invert kriging matrix";
inline constexpr M KRIG_N_TOO_LARGE = "N too large in EVALKRIGE";

// Annual curves, periods, array files
inline constexpr M NEGATIVE_PPT = "Negative PPT";
inline constexpr M INCREASE_MAXWEL = "Increase MAXWEL to ";
inline constexpr M CANNOT_READ = "Cannot read file ";
inline constexpr M CANNOT_WRITE_TO = "Cannot write to file ";
inline constexpr M RCH_VALUE_RANGE =
    "Recharge value too large for the RCH array field in file ";
inline constexpr M WELL_RATE = "Well rate not finite in file ";
inline constexpr M BUDGET_VALUE = "Budget value not finite in file ";
inline constexpr M PUMP_TABLE_VALUE = "Pumping value not finite in file ";

// Why an unformatted cell array file cannot be read: the console line after
// "Cannot read file " and the file's name. Some are followed by a number
// and BYTES, or by a cell.
inline constexpr M BIN_EMPTY = "the file is empty";
inline constexpr M BIN_HEAD_CUT = "the file ends inside its first length word";
inline constexpr M BIN_SHORT =
    "its record is shorter than a grid of 53,790 values; the length word "
    "says ";
inline constexpr M BIN_CUT =
    "the file ends before the record its length word announces; the length "
    "word says ";
inline constexpr M BIN_TAIL =
    "the length word after the record differs from the one before it";
inline constexpr M BIN_NOT_FINITE = "a value that is not a finite number ";
inline constexpr M BYTES = " bytes";

// Where a value that ends the run lies: the console line after its message.
inline constexpr M AT_ROW = "at row ";
inline constexpr M AT_COLUMN = ", column ";
inline constexpr M AT_YEAR = ", year ";
inline constexpr M AT_STEADY = " of the steady period";
inline constexpr M AT_SOIL = ", soil ";
inline constexpr M AT_DRYLAND = ", dryland recharge function";
inline constexpr M AT_IRRIGATED = ", irrigated recharge function";
inline constexpr M TABLE_RANGE = "; its table covers ";
inline constexpr M TO = " to ";

// Command line, places of reports, --check results and the end of a run
inline constexpr M UNKNOWN_OPTION = "Unknown option ";
// Why the parameter file cannot be opened: after its name and ": ".
inline constexpr M OPEN_NO_FILE = "no such file";
inline constexpr M OPEN_FOLDER = "it is a folder";
inline constexpr M OPEN_NO_PERMISSION = "no permission to read it";
inline constexpr M OPEN_PATH = "a part of its path is not a folder";
// The place of a report on the console: " (quon.par line 12)".
inline constexpr M PLACE_LINE = " line ";
// "The precipitation file " + name + " has no data line ...: " + years.
inline constexpr M PRECIP_FILE = "The precipitation file ";
inline constexpr M PRECIP_NO_LINE = " has no data line for simulated years: ";
inline constexpr M CHECK_REPORT = "  report: ";
inline constexpr M CHECK_END_EARLY = "Result: the run would end early (";
inline constexpr M CHECK_CONDITIONS = " above)";
inline constexpr M CHECK_STRICT =
    "Result: with --strict the run would end at its first report";
inline constexpr M CHECK_REPORTS = "Result: the run would go through with ";
inline constexpr M CHECK_LISTED = " (listed above)";
inline constexpr M CHECK_CLEAN =
    "Result: the run would go through to its last period";
inline constexpr M SUMMARY_DONE = "quon: run completed, ";
inline constexpr M SUMMARY_WRITTEN = " written to ";
inline constexpr M SUMMARY_APPENDED = " appended to ";
inline constexpr M SUMMARY_MF6 = ", MODFLOW 6 input ";
// Outputs of the per-year families in the --check inventory.
inline constexpr M EXIST_REPLACED = "exists, will be replaced";
inline constexpr M ALL_EXIST_REPLACED = "all exist, will be replaced";
inline constexpr M OUTPUT_FOLDER_IN_WAY = "a folder of that name is in the way";
inline constexpr M OUTPUT_NOT_FILE = "is a pipe or socket, not a file";
inline constexpr M OUTPUT_READ_ONLY = "exists and cannot be written";
inline constexpr M OUTPUT_NO_FOLDER = "its folder does not exist";
inline constexpr M OUTPUT_FOLDER_READ_ONLY = "its folder cannot be written";
inline constexpr M CAN_BE_CREATED = "can be created";

// The options of the MF6 line and their layer grids
inline constexpr M MF6_OPTION_UNKNOWN =
    "Unknown word on the MF6 line (the options are DAYS, PREFIX p, IRCH file "
    "and WELLAYER file): ";
inline constexpr M MF6_OPTION_TWICE = "MF6 option given twice: ";
inline constexpr M MF6_OPTION_VALUE = "MF6 option without its value: ";
inline constexpr M MF6_PREFIX_LONG =
    "MF6 PREFIX makes a package name longer than the 16 characters MODFLOW 6 "
    "takes: ";
inline constexpr M MF6_LAYERS_SHORT =
    "MF6 layer grid ends before its 165 rows of 326 values: ";
inline constexpr M MF6_LAYERS_LONG =
    "MF6 layer grid has more than 165 rows of 326 values: ";
inline constexpr M MF6_LAYERS_WORD =
    "MF6 layer grid value is not a whole number: ";
inline constexpr M MF6_LAYERS_LOW =
    "MF6 layer grid value below 1 at a cell with IBOUND not 0: ";
// ---- Text cell arrays: a slash that cuts a row short ------------------------
// The list-directed rule ends a row at a slash; the rest of the row counts as
// zero: reported once per file with the file, the row and the column of the
// first value left out.
inline constexpr M SLASH_CUTS_ROW =
    "A slash ends a row of a cell array file before its last value, the "
    "values after it count as zero: ";

// ---- Locks on the outputs ---------------------------------------------------
inline constexpr M OUTPUT_LOCKED =
    "Another quon run is writing this output; this run would mix its records "
    "into it and is ended: ";
inline constexpr M OUTPUT_LOCK_FAILED =
    "The output cannot be locked against a second run at the same time: ";

// The details of the settings checks, the --check inventory and the summary:
// each "{}" takes a value (run/say.h).
inline constexpr M STATION_AT = "{} at {} {}";
inline constexpr M STATIONS_TOO_FEW = "{} read, {} needed for drift order {}";
inline constexpr M STATIONS_LAYOUT =
    "drift order {} with these {} stations (on one straight line, or on one "
    "curve of the drift's order)";
inline constexpr M TWO_NAMES = "{} and {}";
inline constexpr M YEAR_LISTED = "{} ";
inline constexpr M YEARS_MISSING_ONE = "(1 year)";
inline constexpr M YEARS_MISSING = "({} years)";
inline constexpr M PRECIP_NO_YEAR_LINE = "{}{}{}";
inline constexpr M TERRAIN_SAME_PLACE = "locations {} and {} at {} {}";
inline constexpr M TWO_NUMBERS = "{} {}";
inline constexpr M STATE_FOLDER_NAMED = "{} {}";
inline constexpr M WOULD_END = "  would end the run: {}";
inline constexpr M TWO_USES_ONE_NAME = "{} ({} and {})";
inline constexpr M TWO_USES_TWO_NAMES = "{} ({}) and {} ({})";
inline constexpr M USE_NUMBERED = "{} {}";
inline constexpr M FILES_SHOWN = "      {}:";
inline constexpr M FILE_SHOWN = " {}";
inline constexpr M FILES_MORE = " (and {} more)";
inline constexpr M OUTPUT_LINE = "  {} {}: {}";
inline constexpr M YEARLY_LINE = "  {} {}: {}";
inline constexpr M YEARLY_SPAN_LINE = "  {} {} to {}: {}";
inline constexpr M SOME_EXIST_REPLACED =
    "{} of {} exist and will be replaced, the others can be created";
inline constexpr M SPAN_STEADY_TRANSIENT =
    "Span: steady {}-{} (1 period), transient {}-{} ({} periods)";
inline constexpr M SPAN_STEADY_ONLY =
    "Span: steady {}-{} (1 period), no transient years";
inline constexpr M SPAN_TRANSIENT_ONLY =
    "Span: no steady period, transient {}-{} ({} periods)";
inline constexpr M SPAN_NONE = "Span: no steady period, no transient years";
inline constexpr M STATE_FILES_HEAD =
    "Per-state files of the span: present, missing (count as zeros), "
    "unreadable";
inline constexpr M STATE_FILES_LINE =
    "  {} {} {} present, {} missing, {} unreadable";
inline constexpr M STATE_FILES_MISSING = "missing";
inline constexpr M STATE_FILES_UNREADABLE = "unreadable";
inline constexpr M ZONE_GRIDS_HEAD = "Zone grids:";
inline constexpr M ZONE_GRID_COMPLETE =
    "  {} {}: rows complete, nothing after the last row";
inline constexpr M ZONE_GRID_SHAPE =
    "  {} {}: {} rows shorter than their fields, {} lines after the last row";
inline constexpr M STATIONS_LINE = "Stations: {} read, drift order {} needs {}";
inline constexpr M PRECIP_NO_YEARS = "Precipitation file: no data years";
inline constexpr M PRECIP_YEARS = "Precipitation file: {} years from {} to {}";
inline constexpr M STATIONS_NONE =
    "Stations: none (no STATIONS line): no precipitation recharge";
inline constexpr M OUTPUTS_HEAD = "Outputs:";
inline constexpr M REPORTS_HEAD = "Reports: {}";
inline constexpr M REPORTS_MORE = "  (and {} more)";
inline constexpr M MISSING_KIND_FIRST = " ({}";
inline constexpr M MISSING_KIND_NEXT = "; {}";
inline constexpr M MISSING_STATE = " {} {}";
inline constexpr M MISSING_TOTAL = "{}{})";
inline constexpr M PERIODS_ONE = "{} period";
inline constexpr M PERIODS = "{} periods";

// ---- The BUDGETCSV table ----------------------------------------------------
inline constexpr M BUDGETCSV_NAME = "BUDGETCSV needs a file name: ";
inline constexpr M BUDGETCSV_NO_BUDGET =
    "BUDGETCSV needs a BUDGET line, without budget zones its table has no "
    "rows: ";

} // namespace quon::msg
