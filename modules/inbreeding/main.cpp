// Folvane: the inbreeding program.
#include "inbreeding.h"

int main(int argc, char** argv) {
  haldor::inbreeding::Folvane folvane;
  return haldor::run_frame(argc, argv, folvane);
}
