/* A port library for the binding tests. Which operations it exports, what
   IsInpOutDriverOpen answers and when InpOutLastError reports a failed call
   (FAILS_AFTER_CALLS: every Inp32 and Out32 after that many) are chosen when
   it is compiled. Calls are counted so a test can see what the program did. */
#include "port/inpout_abi.h"

static int driverOpenCalls;
static int lastPort;
static int lastValue;
static int reads;
static int writes;
static int lastErrorCalls;

#ifdef HAS_INP32
INPOUT_EXPORT short INPOUT_CALL Inp32(short port) {
  ++reads;
  lastPort = port;
  return 0x10;
}
#endif

#ifdef HAS_OUT32
INPOUT_EXPORT void INPOUT_CALL Out32(short port, short value) {
  ++writes;
  lastPort = port;
  lastValue = value;
}
#endif

#ifdef HAS_DRIVER_OPEN
INPOUT_EXPORT int INPOUT_CALL IsInpOutDriverOpen(void) {
  ++driverOpenCalls;
  return DRIVER_OPEN;
}
#endif

#ifdef HAS_LAST_ERROR
INPOUT_EXPORT const char* INPOUT_CALL InpOutLastError(void) {
  ++lastErrorCalls;
#ifdef FAILS_AFTER_CALLS
  return reads + writes > FAILS_AFTER_CALLS ? "the port stopped answering" : "";
#else
  return "no parallel port at 0x378 (found: parport0 at 0x3bc)";
#endif
}
#endif

/* Read back by the tests. */
INPOUT_EXPORT int TestCount(int which) {
  switch (which) {
    case 0: return driverOpenCalls;
    case 1: return reads;
    case 2: return writes;
    case 3: return lastPort;
    case 5: return lastErrorCalls;
    default: return lastValue;
  }
}
