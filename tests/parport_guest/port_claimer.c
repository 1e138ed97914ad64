/* port-claimer: the guest's other user of /dev/parport0, built static so
 * the guest needs nothing but busybox for it.
 *
 *   port-claimer mark VALUE          claim, write VALUE to the data register, release
 *   port-claimer hold SECONDS [excl] claim (exclusively with "excl") and hold the port
 *
 * mark leaves a stamp in QEMU's register trace (the program never touches
 * the data register), so the host can tell where each case begins. hold
 * plays another program that has the port; it prints "held" once the claim
 * is made, and ends after SECONDS whatever happens.
 */
#include <errno.h>
#include <fcntl.h>
#include <linux/ppdev.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <unistd.h>

/* The port's node: /dev/parport0, or the one PORT_CLAIMER_NODE names (a
 * guest with several ports stamps the one a case drives). */
static const char* kDevice = "/dev/parport0";

static int Fail(const char* doing) {
  fprintf(stderr, "port-claimer: %s %s: %s\n", doing, kDevice, strerror(errno));
  return 1;
}

int main(int argc, char** argv) {
  if (argc < 3 || (strcmp(argv[1], "mark") != 0 && strcmp(argv[1], "hold") != 0)) {
    fprintf(stderr, "usage: port-claimer mark VALUE | hold SECONDS [excl]\n");
    return 2;
  }
  if (getenv("PORT_CLAIMER_NODE")) kDevice = getenv("PORT_CLAIMER_NODE");
  const int fd = open(kDevice, O_RDWR);
  if (fd < 0) return Fail("opening");
  if (argc > 3 && strcmp(argv[3], "excl") == 0 && ioctl(fd, PPEXCL) != 0) return Fail("PPEXCL on");
  if (ioctl(fd, PPCLAIM) != 0) return Fail("PPCLAIM on");
  if (strcmp(argv[1], "mark") == 0) {
    unsigned char value = (unsigned char)strtoul(argv[2], NULL, 0);
    if (ioctl(fd, PPWDATA, &value) != 0) return Fail("PPWDATA on");
  } else {
    printf("held\n");
    fflush(stdout);
    sleep((unsigned)strtoul(argv[2], NULL, 0));
  }
  ioctl(fd, PPRELEASE);
  close(fd);
  return 0;
}
