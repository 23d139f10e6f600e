#include "app/ProgramEntry.h"

int main(int argc, char** argv) { return vb::RunProgram(argc, argv); }
