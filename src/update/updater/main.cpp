// Entry of the updater. Its one argument is the path of the install plan.
#include <cstdio>

int main(int argc, char**) {
  if (argc != 2) {
    std::fputs("Orlith installation did not complete: The updater needs the install plan.\n",
               stderr);
    return 64;
  }
  return 0;
}
