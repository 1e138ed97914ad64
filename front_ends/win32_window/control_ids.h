/* Names the Windows program's parts are known by, shared by the program, its
   resource script and the tests that look at its window from outside.
   Plain C macros: the resource compiler and C programs read this too. */
#ifndef QUORVANE_FORM1_IDS_H
#define QUORVANE_FORM1_IDS_H

/* The icon resource (both sizes in one group). */
#define QUORVANE_ICON_ID 1

/* The window class of StatusWindow. */
#define QUORVANE_WINDOW_CLASS L"QuorvaneStatusWindow"

/* Control i of the window's description (in tab order) has the id
   QUORVANE_FIRST_CONTROL_ID + i; clear of IDOK and IDCANCEL. */
#define QUORVANE_FIRST_CONTROL_ID 100

#endif
