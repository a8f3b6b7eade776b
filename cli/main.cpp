#include <iostream>

#include "cli/clean_command.h"
#include "cli/signals.h"

int main(int argc, char** argv) {
  tarvik::InstallSignalHandlers();
  return tarvik::RunCleanCommand(argc, argv, std::cout, std::cerr);
}
