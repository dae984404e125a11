// places.h - whether the run can write an output where its settings put it,
// and the proof of every writer's places before any output is opened.
#pragma once

#include <string_view>

#include "writer.h"

namespace quon {
class Detail;
class Stopper;

// What a run's proof of the outputs and --check's list of them share: the
// run they walk, the stopper a required place that cannot be written goes
// to, and a name the settings lack, which always goes to the stopper.
class StoppingPlaces : public Places {
public:
  void missing(std::string_view msg, std::string_view value) override;

protected:
  StoppingPlaces(const Run &run, Stopper &stop) : run_(run), stop_(stop) {}
  const Run &run_;
  Stopper &stop_;
};

// One line on standard output (a and b one after the other).
void print_line(std::string_view a, std::string_view b = {});

// Whether the run could create an output: its folder exists and takes new
// files, and an existing file of the name can be written. One of the
// texts msg::CAN_BE_CREATED, msg::EXIST_REPLACED (both writable),
// msg::OUTPUT_FOLDER_IN_WAY, msg::OUTPUT_NOT_FILE, msg::OUTPUT_READ_ONLY,
// msg::OUTPUT_NO_FOLDER, msg::OUTPUT_FOLDER_READ_ONLY. Never allocates.
std::string_view creatable(std::string_view name);

// True for the two texts of creatable that mean the output can be written.
bool writable(std::string_view can);

// The name of a yearly output: dir/year.ext, or year.ext when dir is
// empty (the run folder).
void yearly_path(Detail &p, std::string_view dir, int year,
                 std::string_view ext);

// A use as the messages name it: "RECHARGE file 2", "co data file".
void use_text(Detail &t, std::string_view use, int number);

} // namespace quon
