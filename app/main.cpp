// The program's entry: the wizard on the real disk, or with an option the same program
// without windows (see --help).

#include "app/ProgramMain.h"

int main(int argc, char* argv[]) { return wizard::programMain(argc, argv, 1, {}); }
