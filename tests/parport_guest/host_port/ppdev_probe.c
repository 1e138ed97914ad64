/* ppdev-probe: opens a ppdev node as QEMU's pass-through parallel device
 * does, claims it and reads the status byte, through whatever ioctl the
 * process has: under LD_PRELOAD, the host port fixture's.
 *
 *   ppdev-probe FILE [SECONDS]
 *
 * Prints "claimed", then "status 0xNN"; with SECONDS, holds the claim that
 * long before it releases. Exits 1, naming the call and its error, when a
 * call fails.
 */
#include <errno.h>
#include <fcntl.h>
#include <linux/ppdev.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <unistd.h>

static int Fail(const char* call) {
  printf("%s failed: %s\n", call, strerror(errno));
  return 1;
}

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    fprintf(stderr, "usage: ppdev-probe FILE [SECONDS]\n");
    return 2;
  }
  const int fd = open(argv[1], O_RDWR);
  if (fd < 0) return Fail("open");
  if (ioctl(fd, PPCLAIM) != 0) return Fail("PPCLAIM");
  printf("claimed\n");
  unsigned char status = 0;
  if (ioctl(fd, PPRSTATUS, &status) != 0) return Fail("PPRSTATUS");
  printf("status 0x%02X\n", status);
  fflush(stdout);
  if (argc == 3) sleep((unsigned)strtoul(argv[2], NULL, 0));
  if (ioctl(fd, PPRELEASE) != 0) return Fail("PPRELEASE");
  close(fd);
  return 0;
}
