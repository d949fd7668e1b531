/* The open and save dialogs for image files, and images on the clipboard.
 * Paths are Shift-JIS (CP932) multibyte text in buffers of 260 bytes. */
#ifndef MAV_CLIPBOARD_H
#define MAV_CLIPBOARD_H

#include "mav/image.h"

/* ---- File dialogs ----
 * Each dialog remembers its filter index (1-based, initially 2: BMP) and its
 * folder (initially the start directory) from one OK to the next; a cancel
 * changes neither. Open filters: All Files, BMP, JPEG, GIF, PNG, TIFF, WMF,
 * EMF, ICO; save filters: the first six of those. */

/* title NULL: the dialog's own title. The file-name field starts with the
 * remembered filter's pattern. 0 a file was chosen (path holds it), 1
 * cancelled. A path of more than 259 bytes is refused as cancelled. */
int MAV_OpenFileDialog(const char* title, char* path);
/* Title "Save as", file name "noname", asks before overwriting. */
int MAV_SaveFileDialog(char* path);
/* The filter index each dialog remembers (the one chosen at the last OK). */
int MAV_GetOpenFilterIndex(void);
int MAV_GetSaveFilterIndex(void);

/* ---- Clipboard images ----
 * The clipboard holds a packed DIB: 24-bit from 32-bit images, 8-bit with
 * its 256 palette entries from 8-bit images. */

/* A picture taken from the clipboard. It belongs to the caller until
 * MAV_DrawBitmap or MAV_DeleteBitmap releases it. */
typedef struct MAV_Bitmap* MAV_BITMAP;

/* Puts the image on the clipboard: 0, 1 no such image, 2 not enough memory
 * (after "No enough memory for copy" is shown with MAV_Pause). */
int MAV_CopyImage(int index);
/* Draws the clipboard picture into the image with its top-left at (x, y),
 * taking over its palette (8-bit images, palette pictures), and repaints.
 * x or y -1: the user places it with a click in the image's window (right
 * or middle button cancels). 0 pasted, 1 no such image, 2 no picture on the
 * clipboard, 3 placement cancelled. */
int MAV_PasteImage(int index, int x, int y);
/* A bitmap of the clipboard picture, or NULL when there is none. palette
 * (256 entries, may be NULL) receives the colour table of a picture of 8 or
 * fewer bits per pixel, count (may be NULL) its number of entries, 0 for
 * other pictures. */
MAV_BITMAP MAV_GetClipboardBitmap(MAV_RGBQUAD* palette, int* count);
/* Width and height of a bitmap: 0, or 1 for NULL. */
int MAV_GetBitmapSize(MAV_BITMAP bitmap, int* width, int* height);
/* Draws the bitmap at (0, 0) of the current image at its own size and
 * releases it: 0, 1 no current image (released all the same), 2 NULL. */
int MAV_DrawBitmap(MAV_BITMAP bitmap);
/* Releases a bitmap without drawing it; NULL is ignored. */
void MAV_DeleteBitmap(MAV_BITMAP bitmap);

#endif
