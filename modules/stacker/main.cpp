// Tavisk: the pedigree stacking program.
#include "stacker.h"

int main(int argc, char** argv) {
  haldor::stacker::Tavisk tavisk;
  return haldor::run_frame(argc, argv, tavisk);
}
