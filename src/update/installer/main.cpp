// Entry of the installer service. It takes no arguments; its caller speaks to it over the
// connection it was started with.
#include <cstdio>

int main(int argc, char**) {
  if (argc != 1) {
    std::fputs("OrlithUpdateInstaller takes no arguments.\n", stderr);
    return 64;
  }
  return 0;
}
