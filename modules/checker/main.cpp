// Quorel: the pedigree checking program.
#include "checker.h"

int main(int argc, char** argv) {
  haldor::checker::Quorel quorel;
  return haldor::run_frame(argc, argv, quorel);
}
