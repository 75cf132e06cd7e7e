// Stands in for data/conv.exe where a batch must still be running when it is interrupted: it
// reports a duration like the encoder and then takes a minute.
#include <windows.h>

#include <cstdio>

int main() {
  std::printf("  Duration: 00:01:00.00, start: 0.000000, bitrate: N/A\n");
  std::fflush(stdout);
  Sleep(60000);
  return 0;
}
