// The tonalweaver command: a headless host and shell front end for the engine.
#include <iostream>

int main(int argc, char** argv) {
  (void)argv;
  if (argc < 2) {
    std::cerr << "usage: tonalweaver host|request ...\n";
    return 2;
  }
  return 0;
}
