/* The input box and the button box: two small panels a program opens to take
 * numbers and commands from the user while it runs. At most one of each
 * exists. Both belong to the thread that opens them (the user thread), whose
 * message pumping (MAV_PumpMessages, MAV_Printf) keeps them working, with
 * Tab, arrows and Enter between their controls. Strings are Shift-JIS. */
#ifndef MAV_BOXES_H
#define MAV_BOXES_H

/* ---- Input box: 1..30 rows of a label ("Item %d") and a field ("0") ----
 * A value typed into a field is taken when the field loses the focus or
 * Enter is pressed; until then the Get calls return the previous value. */

/* Opens the box with its window's top-left at (x, y); items are clamped to
 * 1..30. Returns 0, 1 when a box is open already, 2 when no window could be
 * made. */
int MAV_OpenInputBox(int x, int y, int items);
/* 0 closed, 1 no box, 2 the window was already gone (an error box says so). */
int MAV_CloseInputBox(void);
/* Item i's label, field and value; 0, or 1 without a box or with i out of
 * range. Doubles show 10 significant digits as %.10g writes them. */
int MAV_SetInputBoxTitle(int i, const char* title);
int MAV_SetInputBoxInt(int i, int value);
int MAV_SetInputBoxDouble(int i, double value);
/* The taken value of item i as a number; 0 without a box or with i out of range. */
int MAV_GetInputBoxInt(int i);
double MAV_GetInputBoxDouble(int i);
/* Label and field widths in pixels (1..4096), kept for later boxes; an open
 * box is laid out again with them and keeps its position. Returns 0. */
int MAV_ResizeInputBox(int label_width, int field_width);

/* ---- Button box: NX x NY push buttons ("%d", numbered row by row) ----
 * Clicks and keys count presses per button; a program polls them. */

/* Opens the box with its window's top-left at (x, y). Returns 0, 1 when a
 * box is open already, 2 when nx or ny is not positive or nx * ny > 256,
 * 3 when no window could be made. */
int MAV_OpenButtonBox(int x, int y, int nx, int ny);
/* 0 closed, 1 no box, 2 the window was already gone (an error box says so). */
int MAV_CloseButtonBox(void);
/* Button i's caption; '\n' breaks lines. 0, or 1 without a box or with i out of range. */
int MAV_SetButtonBoxTitle(int i, const char* title);
/* Presses of button i since the last call (and clears them); 0 without a
 * box or with i out of range. */
int MAV_ButtonPressed(int i);
/* Gives the box a client area of w x h (each 1..8192) with the buttons
 * spread over it, keeping its position. 0, or 1 without a box. */
int MAV_ResizeButtonBox(int w, int h);

/* The button box's key map. Normally: keys 0..9 (main keyboard or keypad)
 * press buttons 0..9, Esc, C, S and X go to the main window, Ctrl+Q closes
 * the box. The parallax map instead sets a button's count to 1: Space and
 * Up 11; 1..9, 0 buttons 0..9; minus 10; Z 22, X 23, S 36, W 37, Q 38,
 * A 39, E 40, D 41; keypad digits their own number; typed digits also add a
 * press to buttons 0..9; only Esc and C go to the main window. A program
 * that wants it calls this in UserSetup. */
void MAV_UseParallaxButtonKeys(int enabled);

#endif
