// utl.h - word scanning: the line cleaner, the word and number readers of
// the parameter and data files, and the number conversions behind them.
// The utility unit utl is this file with readreal.h (the real-array
// reader) and reporters.h (the reporters).
//
// A line is a view of its characters; the readers treat every position past
// its end as blank. Positions are 1-based, as in the parameter file's
// description: a reader starts at `start`, skips blanks, reads one word and
// leaves `pos` on the first position after it. The error flag is 0 on
// success, -1 when no word is left (or no valid word can be taken), and a
// positive conversion status when a word is not a valid number.
//
// None of the scanners allocates.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "quon.h"

namespace quon {
struct Run;

// Conversion status of a bad number (the runtime's "Bad value").
inline constexpr int BADVALUE = 5010;
// Conversion status of an integer that does not fit 32 bits.
inline constexpr int OVERFLOWED = 5011;

// Turns every control character (below code 32, tabs and carriage returns
// included, and 127) into a blank; bytes from 128 up stay, so UTF-8 names
// keep their letters. Returns 1 for a comment line (first character "#"),
// -1 for a line of blanks only, else 0.
int linefix(std::span<char> line) noexcept;

// Position of the last non-blank character; 0 (length0) or 1 (length) when
// there is none.
int length0(std::string_view text) noexcept;
int length(std::string_view text) noexcept;

// Letters a..z become A..Z; every other character stays.
void uppercase(std::span<char> text) noexcept;

// Skips blanks from pos; true when nothing but blanks is left. pos is left on
// the next non-blank character (or past the end).
bool eol(std::string_view line, int &pos) noexcept;

// The next word: up to the next blank, or between double quotes (which may
// hold blanks). An unclosed quote gives err -1 and pos past the end.
void charin(Word &word, std::string_view line, int start, int &pos,
            int &err) noexcept;

// The next word as an integer field of width 32: blanks ignored, optional
// sign, digits. Returns 0 with err -1 at the end of the line and 0 with err
// BADVALUE or OVERFLOWED for a bad word.
int intin(std::string_view line, int start, int &pos, int &err) noexcept;

// The next word as a real field of width 32 with no implied decimals:
// sign, digits with or without a point, exponent with E, D or Q, or a sign
// alone starting the exponent (1.5+2). Returns 0.0 with err -1 at the end of
// the line and 0.0 with err BADVALUE for a bad word. A word without any
// digit, NaN, an infinity and an overflow (1e400) are bad words.
double realin(std::string_view line, int start, int &pos, int &err) noexcept;

// Converts one word (already cut out) as intin / realin do; returns the
// status (0 or positive) and sets value only on success.
int convert_int(std::string_view word, int &value) noexcept;
int convert_real(std::string_view word, double &value) noexcept;
// convert_real over the whole word, however long (a value of a grid file is
// not cut to a field's width).
int convert_real_whole(std::string_view word, double &value) noexcept;

// Reads a state code (co, ks or ne, any case) from the run's parameter line
// at its line position; returns 1..3, or 0 with err -1.
int instate(Run &run, int &err) noexcept;

// Ends the run (endrun, msg::OUTPUT_NAME_TOO_LONG and the line) when the
// word charin takes from start is longer than keep characters: cut, an
// output's name would name another file. Quotes do not count.
void end_if_cut(std::string_view line, int start, int keep);

} // namespace quon
