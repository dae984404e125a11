// quontestv2a.cpp - the program's entry point: quon <parameter file>.
#include "run.h"

int main(int argc, char **argv) { return quon::quon_main(argc, argv); }
