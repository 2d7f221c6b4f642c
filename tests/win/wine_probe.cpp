// Started by scripts/wine/windows-build.sh to learn whether Wine can run
// programs of this build's architecture here: a 32-bit one needs Wine's
// i386 half, which a broken package mirror can keep off the machine.
#include <cstdio>

int main() {
  std::printf("wine_probe: %u-bit program started\n", static_cast<unsigned>(sizeof(void*) * 8));
  return 0;
}
