// report.h - holding fort.2 while the settings are read: an earlier run's
// report is neither emptied nor written before this run's settings are
// checked (fort.2 might be a file the run reads).
#pragma once

namespace quon {

// Holds the records report_record() is given from now on in memory. Nothing
// is opened.
void hold_report();
// Ends the hold: creates or empties fort.2 and writes the held records to
// it. When fort.2 is one of the run's inputs the held records are dropped
// (the console has them) and false is returned. Ends the run (RunEnd) when
// fort.2 cannot be opened. Does nothing when the report is not held; under
// a dry run it drops the records and writes nothing.
bool release_report();

} // namespace quon
