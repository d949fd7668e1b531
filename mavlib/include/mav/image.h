/* Image windows: 256 numbered images, each a pixel buffer with a window of
 * its own. Pixel, drawing, palette and file calls work on the current image. */
#ifndef MAV_IMAGE_H
#define MAV_IMAGE_H

/* One palette entry, in the order blue, green, red, reserved. */
typedef struct MAV_RGBQUAD {
    unsigned char rgbBlue;
    unsigned char rgbGreen;
    unsigned char rgbRed;
    unsigned char rgbReserved;
} MAV_RGBQUAD;

/* Results: 0 ok, 1 index in use, 2 the window cannot be fitted to the screen,
 * 3 no pixel memory or a depth other than 8 or 32, 4 index above 255.
 * x or y -1: the platform's default position. zoom in percent. */
int MAV_CreateImage(int index, const char* title, int x, int y, int width, int height, int zoom);
int MAV_CreateImage8(int index, const char* title, int x, int y, int width, int height, int zoom);
/* The same with free layout: the window may be up to twice the screen. */
int MAV_CreateImageFL(int index, const char* title, int x, int y, int width, int height, int zoom);
int MAV_CreateImage8FL(int index, const char* title, int x, int y, int width, int height, int zoom);
int MAV_DestroyImage(int index);
int MAV_ResizeImage(int index, int width, int height);
int MAV_SetImageZoom(int index, int zoom);
/* 3 plain (colour on colour), 4 smooth (halftone). */
int MAV_SetStretchMode(int index, int mode);
int MAV_GetStretchMode(int index);
/* Copies the buffer to the window now. */
int MAV_Refresh(int index);
int MAV_SelectImage(int index);
int MAV_RestoreImage(void);
int MAV_SetPalette(const MAV_RGBQUAD* entries, int count);
int MAV_GetPalette(MAV_RGBQUAD* entries);
int MAV_ClearImage(int index);
/* Window handles are the platform's window ids. */
int MAV_FindImage(unsigned int window);
int MAV_SelectImageByWindow(unsigned int window);
int MAV_UpdateImageTitle(int index);
/* Moves an image's window to a screen position, keeping its size. */
int MAV_MoveImage(int index, int x, int y);
/* Size and depth of an image, or 0 when it does not exist. */
int MAV_GetImageWidth(int index);
int MAV_GetImageHeight(int index);
int MAV_GetImageBits(int index);
/* The current image's number. */
int MAV_GetCurrentImage(void);

/* First pixel byte of each image: 32-bit images hold one 0x00RRGGBB int per
 * pixel (row stride = width ints); 8-bit images one palette index byte per
 * pixel, rows padded to a multiple of 4 bytes. Top-down. NULL when free. */
extern void* mav_bits[256];

/* Mouse state of image windows, recorded while mav_mouse is nonzero:
 * the image under the mouse (-1 none), its position in image pixels, and
 * the left button, middle button, Shift and Ctrl flags of the last message. */
extern int mav_mouse;
extern int mav_mouse_image;
extern int mav_mouse_x;
extern int mav_mouse_y;
extern int mav_mouse_left;
extern int mav_mouse_middle;
extern int mav_mouse_shift;
extern int mav_mouse_ctrl;

#endif
