// kelvane: internal flash memory and the Vireo/H boot loader.
#include "app/graphical_ui.h"
#include "app/program_main.h"

int main(int argc, char** argv) { return kv::ProgramMain(kv::Edition::Kelvane, argc, argv, kv::GraphicalUi); }
