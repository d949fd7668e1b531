/* mavlib: the windowing and imaging library. Programs built on it define
 * UserSetup, UserMain and UserExit; the library owns main(), the main window
 * and the user thread that runs them.
 *
 * Conventions: functions return 0 for success and small positive codes for
 * the first check that failed. Strings are Shift-JIS (CP932) multibyte text. */
#ifndef MAVLIB_H
#define MAVLIB_H

/* ---- Supplied by the program (called on the user thread) ---- */
void UserSetup(void);
void UserMain(void);
void UserExit(void);

/* ---- Frame ---- */
#define MAVMAINWINDOW (-1)

/* Removes and dispatches every message waiting for the calling thread. */
int MAV_PumpMessages(void);
/* Nonzero after Stop or Exit, until the next Start. */
int MAV_StopRequested(void);
/* Nonzero once Exit has been chosen: the program is ending. */
int MAV_QuitRequested(void);
/* Waits until the calling thread has a message or `ms` milliseconds pass;
 * for loops that only poll, instead of spinning. Does not dispatch. */
int MAV_WaitMessages(int ms);
/* Milliseconds on the performance counter, low 32 bits. Take differences as unsigned. */
int MAV_GetMilliseconds(void);
/* Modal box with caption "Pause" and the message; returns when OK is pressed. */
int MAV_Pause(const char* message);
/* MAVMAINWINDOW: brings the main window to the foreground. Other values: 1. */
int MAV_SetForeground(int window);
/* Asks for Start as the main window's menu does: UserMain runs as soon as the
 * user thread is free (for a program that starts by itself). */
void MAV_RequestStart(void);
/* Ends the program as Exit does; the process then exits with `code`. Any
 * thread. The last code given wins. */
void MAV_RequestExit(int code);

/* Loads a picture file (a path as the OS gives it) into a new image window,
 * as dropping it on the main window does: the lowest free slot from 0 up,
 * titled "%03d <file name>", sized to the picture; the current image is
 * restored afterwards. For the user thread. Returns 0, 1 when the file
 * cannot be read, 2 when no slot is free. */
int MAV_DropFile(const char* path);

/* Trigger keys (Space, Z, Down on the main window) set the trigger flag.
 * A program that wants them enables them in UserSetup. */
void MAV_EnableTriggerKeys(int enabled);
int MAV_GetTriggerFlag(void);
void MAV_SetTriggerFlag(int value);

/* ---- Text windows ----
 * Windows 0..255, one current; colours are 0xRRGGBB. */
int MAV_OpenTextWindow(int no, int x, int y, int w, int h);
int MAV_EnsureTextWindow(void);
int MAV_SelectTextWindow(int no);
int MAV_CloseTextWindow(int no);
int MAV_Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
/* Reads a typed line (room for 256 bytes) from the current text window. */
int MAV_InputText(char* buf);
int MAV_ClearTextWindow(void);
int MAV_PushTextColor(int fg, int bg);
int MAV_PopTextColor(void);

/* ---- Program options ----
 * A program declares the command-line options it takes before main() runs,
 * e.g. at namespace scope:
 *   static const MAV_ProgramOption kOptions[] = {{"--pair", 1, "FILE", "stereo pair to chart"}};
 *   static const int kDeclared = MAV_DeclareProgramOptions(kOptions, 1);
 * The library reports unknown options (exit code 2) and lists these in --help. */
typedef struct MAV_ProgramOption {
    const char* name;     /* "--pair" */
    int takes_value;      /* 1: the next argument is its value */
    const char* value_name; /* shown in --help, e.g. "FILE" */
    const char* help;
} MAV_ProgramOption;
int MAV_DeclareProgramOptions(const MAV_ProgramOption* options, int count);
/* Makes a declared option one that turns the run into a batch run whenever
 * it is given: headless, as --headless makes it, and the main window shows
 * at once without dropping in. Returns 0, 1 for no name. */
int MAV_DeclareBatchOption(const char* name);
/* The value given for a declared option: its argument, "" for a flag given
 * without value, or NULL when absent. */
const char* MAV_GetProgramOption(const char* name);

#include "mav/image.h"
#include "mav/drawing.h"
#include "mav/boxes.h"
#include "mav/files.h"
#include "mav/clipboard.h"
#include "mav/tools.h"

#endif
