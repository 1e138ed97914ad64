#pragma once

// The C interface of a port I/O library, shared by the program and the port
// libraries this project builds. Windows uses __stdcall with undecorated
// export names; Linux uses the plain C convention.

#if defined(_WIN32)
#define INPOUT_CALL __stdcall
#define INPOUT_EXPORT __declspec(dllexport)
#else
#define INPOUT_CALL
#define INPOUT_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

// Required: read one I/O port; write the low byte of value to one I/O port.
typedef short(INPOUT_CALL* Inp32Function)(short port);
typedef void(INPOUT_CALL* Out32Function)(short port, short value);

// Optional: nonzero when the library can reach the ports. A library that can
// load without reaching the hardware (no driver, no permission) exports it.
typedef int(INPOUT_CALL* IsInpOutDriverOpenFunction)(void);

// Optional, ours: what became of the library's last call, in words a user
// can act on. After IsInpOutDriverOpen returned 0, why ("permission denied on
// /dev/parport0: add the user to group lp"). After an Inp32 or Out32 that
// worked, an empty text; after one that failed, why ("reading the status
// lines of parport0 failed: Input/output error"), since neither operation
// can return a failure itself. The text stays valid until the library's next
// call.
typedef const char*(INPOUT_CALL* InpOutLastErrorFunction)(void);

// Optional, ours: a library that chooses the machine's port itself (the
// rule of port/port_choice.h) tells which, once IsInpOutDriverOpen returned
// nonzero: the port's base, and why that port in one sentence (empty when
// it is the one at 888 and nothing needs saying). The program then reaches
// the port at that base. A library without them keeps the port at 888.
typedef short(INPOUT_CALL* InpOutPortBaseFunction)(void);
typedef const char*(INPOUT_CALL* InpOutPortChoiceFunction)(void);

#ifdef __cplusplus
}
#endif

#if defined(_WIN32)
#define INPOUT_LIBRARY_NAME "inpout32.dll"
#else
#define INPOUT_LIBRARY_NAME "libinpout32.so"
#endif
