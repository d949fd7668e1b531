/* Image files: loading a picture file into the current image and saving the
 * current image (or its top-left part). Names are Shift-JIS; Windows-style
 * names (c:\dir\file) map to POSIX paths as the platform maps them. Neither
 * call repaints: call MAV_Refresh when the window should show the change. */
#ifndef MAV_FILES_H
#define MAV_FILES_H

/* Draws a BMP, JPEG, GIF, PNG, TIFF or ICO file (told by its content) into
 * the current image with its top-left corner at (x, y), at its own size,
 * clipped by the image. An 8-bit image takes over the file's palette entries
 * when the file has a palette and gets its indices; a true-colour picture
 * drawn into an 8-bit image takes, per pixel, the nearest colour of the
 * image's palette. A file that cannot be decoded to its end (cut short,
 * damaged) is not drawn at all. Returns 0, 1 when the file could not be
 * read, 2 without a current image. */
int MAV_LoadImage(const char* name, int x, int y);

/* Why the last MAV_LoadImage or MAV_DropFile on the calling thread could not
 * read its file ("no such file", "truncated PNG file", ...); "" after one that
 * succeeded. Valid until the next load on that thread. */
const char* MAV_GetLastFileError(void);

/* Saves the top-left width x height pixels of the current image (black
 * beyond its edges) as format 0 BMP, 1 JPEG (quality 100), 2 GIF, 3 PNG or
 * 4 TIFF; 32-bit images as 24-bit colour, 8-bit images as 8-bit indexed
 * (JPEG: colour). PNG is compressed for speed rather than the smallest file.
 * The format's extension (".bmp", ".jpg", ".gif", ".png", ".tif") is
 * appended unless the name already ends in it, in any case.
 * Returns 0, 1 when encoding or writing failed, 2 when width or height is 0,
 * 3 without a current image. */
int MAV_SaveImage(int height, int width, int format, const char* name);

#endif
