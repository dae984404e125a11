"""quonplot - pictures of quon's files: maps of its grids, charts of its
budget tables and a report of a whole run (tools/quon-plot is the command)."""
