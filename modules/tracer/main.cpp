// Nembril: the pedigree tracing program.
#include "tracer.h"

int main(int argc, char** argv) {
  haldor::tracer::Nembril nembril;
  return haldor::run_frame(argc, argv, nembril);
}
