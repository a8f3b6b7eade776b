#include <iostream>

#include "cli/clean_command.h"

int main(int argc, char** argv) {
  return tarvik::RunCleanCommand(argc, argv, std::cout, std::cerr);
}
