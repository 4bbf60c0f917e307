// kelvlite: the Vireo/L chips through the sequencer routines of firm.mot.
#include "app/graphical_ui.h"
#include "app/program_main.h"

int main(int argc, char** argv) { return kv::ProgramMain(kv::Edition::Kelvlite, argc, argv, kv::GraphicalUi); }
