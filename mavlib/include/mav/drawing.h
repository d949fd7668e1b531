/* Pixel access and drawing on the current image: single pixels, lines,
 * boxes, circles, flood fill, text in the built-in 8 x 14 bitmap font and in
 * a TrueType font, and RGB/HSV conversion.
 *
 * Colours are 0x00RRGGBB on 32-bit images and a palette index in the low
 * byte on 8-bit images. Coordinates outside the current image (or any
 * coordinate when there is no current image) are ignored by writes and give
 * the outside value to reads. Nothing reaches the screen until MAV_Refresh. */
#ifndef MAV_DRAWING_H
#define MAV_DRAWING_H

/* ---- Text cursor and colours, set directly by programs ----
 * mav_tx: x of the next character; mav_ty: the baseline (the row just below
 * the character cell); mav_tx0: the x a new line returns to.
 * mav_tc: bitmap-font colour (initially 0); mav_tttc: TrueType colour
 * (initially 0xFFFFFF). */
extern int mav_tx;
extern int mav_ty;
extern int mav_tx0;
extern int mav_tc;
extern int mav_tttc;

/* ---- Pixels ----
 * MAV_SetPixel and MAV_XorPixel move the pen to (x, y) even when the point is
 * outside; the Put forms leave the pen alone. 8-bit images store the low byte. */
void MAV_SetPixel(int x, int y, int color);
void MAV_PutPixel(int x, int y, int color);
/* The stored value (8-bit images: 0..255); 0 outside the image. */
int MAV_GetPixel(int x, int y);
/* The same, but -1 outside the image. */
int MAV_ReadPixel(int x, int y);
/* Inverts a pixel: 32-bit XOR 0xFFFFFF (the top byte stays), 8-bit NOT. */
void MAV_XorPixel(int x, int y);
void MAV_XorPutPixel(int x, int y);
/* Copies pixels 0 .. count-1 of row y into buffer: ints on 32-bit images,
 * bytes on 8-bit images; positions outside the image give 0. Nothing is
 * written when there is no current image. */
void MAV_GetRow(void* buffer, int y, int count);

/* ---- Drawing state ----
 * The draw colour (initially 0xFFFFFF) is used by the boxes, the filled
 * circle and the fill. The pen is the last point of MAV_SetPixel,
 * MAV_XorPixel, or the end point of the last line. */
void MAV_SetDrawColor(int color);
int MAV_GetDrawColor(void);
void MAV_SetPenPosition(int x, int y);
void MAV_GetPenPosition(int* x, int* y);

/* ---- Shapes ---- */
/* Both end points included; pen := (x2, y2). */
void MAV_Line(int color, int x1, int y1, int x2, int y2);
void MAV_XorLine(int x1, int y1, int x2, int y2);
/* Outline in the draw colour. */
void MAV_Box(int x1, int y1, int x2, int y2);
/* Outline and inside in the draw colour. */
void MAV_FillBox(int x1, int y1, int x2, int y2);
/* Inverted outline, each pixel once, so drawing it twice restores the image. */
void MAV_XorBox(int x1, int y1, int x2, int y2);
void MAV_XorFillBox(int x1, int y1, int x2, int y2);
void MAV_Circle(int color, int cx, int cy, int r);
void MAV_XorCircle(int cx, int cy, int r);
/* Filled in the draw colour, outline included. */
void MAV_FillCircle(int cx, int cy, int r);
/* The filled circle's inside inverted, without the outline. */
void MAV_XorFillCircle(int cx, int cy, int r);
/* Flood fill of the 4-connected region of (x, y)'s colour with the draw
 * colour. A very ragged region may stay partly unfilled (4000 seeds at most). */
void MAV_Fill(int x, int y);

/* ---- Bitmap-font text (8 x 14 cells, advancing 8 pixels, 16 per line) ---- */
/* One byte: 0x20..0x7F draws, '\n' starts a new line, other bytes are ignored. */
void MAV_PutChar(int c);
void MAV_PutString(const char* s);
/* Formats (at most 4095 bytes) and draws; returns the number of bytes drawn. */
int MAV_PrintImage(const char* format, ...) __attribute__((format(printf, 1, 2)));

/* ---- TrueType text in mav_tttc, transparent ----
 * Codes below 32 are style codes: 1/2 italic on/off, 3/4 bold on/off,
 * 5/6 underline on/off, 10 new line. Codes above 255 are double-byte
 * Shift-JIS characters (lead byte in bits 8..15). */
void MAV_PutTTChar(int code);
/* Shift-JIS text. */
void MAV_PutTTString(const char* s);
/* Cell height h and average character width w / 2; 0, or 1 when no font
 * can be made (text then draws nothing until a later size succeeds). */
int MAV_SetTTFontSize(int w, int h);

/* ---- Colour conversion ----
 * h in degrees 0..359, s = max - min and v = max of the channels (0..255). */
void MAV_RgbToHsv(int color, int* h, int* s, int* v);
int MAV_Hue(int color);
int MAV_Saturation(int color);
int MAV_Value(int color);
int MAV_HsvToRgb(int v, int s, int h);

#endif
