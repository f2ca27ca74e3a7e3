/* gdi.h - the GDI subset that the HP-GL renderer draws through, with two kinds
 * of device context behind the same calls:
 *
 * - a recording device that logs every call with its arguments and keeps
 *   account of the objects made while it lives (for tests);
 * - a Cairo device that draws on an image (ARGB32 pixels, PNG, rows for the
 *   raster writers), a PDF file or an SVG file.
 *
 * Device coordinates are 32-bit integers, pixels of the device, y downwards.
 * Pens, brushes and regions belong to no device (as in GDI): any device may
 * select them, and a handle stays valid until DeleteObject. Handles are checked
 * before use: a stale or foreign handle makes the call fail, never crash.
 * A device starts with the stock BLACK_PEN and WHITE_BRUSH selected, no clip,
 * the current position at (0, 0) and a white page. The objects and devices
 * are one table under one lock: threads may draw at once on devices of their
 * own, while each device is drawn on by one thread at a time. A recording
 * device logs the calls without a device (CreatePen, DeleteObject, ...) of
 * every thread. */
#ifndef KRO_GDI_H
#define KRO_GDI_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

/* On Windows the GDI names, types and constants are Windows' own (the
 * renderer draws through GDI32); the recording device of the tests is a DLL
 * that exports the same names, and a program links it instead of GDI32. The
 * Cairo device is Unix-only. */
#if defined(_WIN32)
#if defined(KRO_GDI_BUILDING)
#define _GDI32_
#define KRO_GDI_API __declspec(dllexport)
#else
#define KRO_GDI_API __declspec(dllimport)
#endif
#include "kro/win32.h"
#elif defined(__GNUC__)
#define KRO_GDI_API __attribute__((visibility("default")))
#else
#define KRO_GDI_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

#if !defined(_WIN32)

typedef int32_t BOOL;
typedef uint32_t DWORD;
typedef uint32_t UINT;
typedef int32_t LONG;
typedef uint32_t COLORREF; /* 0x00bbggrr */
typedef uintptr_t ULONG_PTR;

typedef struct HDC__* HDC;
typedef void* HGDIOBJ;
typedef struct HPEN__* HPEN;
typedef struct HBRUSH__* HBRUSH;
typedef struct HRGN__* HRGN;

typedef struct tagPOINT {
    LONG x;
    LONG y;
} POINT;

typedef struct tagRECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
} RECT;

typedef struct tagLOGBRUSH {
    UINT lbStyle;
    COLORREF lbColor;
    ULONG_PTR lbHatch;
} LOGBRUSH;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#define RGB(r, g, b)                                                       \
    ((COLORREF)(((uint32_t)(uint8_t)(r)) | ((uint32_t)(uint8_t)(g) << 8) | \
                ((uint32_t)(uint8_t)(b) << 16)))

/* Pen styles (CreatePen takes the style alone; ExtCreatePen the sum of a
 * style, an end cap, a join and a type). */
#define PS_SOLID 0
#define PS_DASH 1
#define PS_DOT 2
#define PS_DASHDOT 3
#define PS_DASHDOTDOT 4
#define PS_NULL 5
#define PS_INSIDEFRAME 6
#define PS_USERSTYLE 7
#define PS_ALTERNATE 8
#define PS_STYLE_MASK 0x0000000F
#define PS_ENDCAP_ROUND 0x00000000
#define PS_ENDCAP_SQUARE 0x00000100
#define PS_ENDCAP_FLAT 0x00000200
#define PS_ENDCAP_MASK 0x00000F00
#define PS_JOIN_ROUND 0x00000000
#define PS_JOIN_BEVEL 0x00001000
#define PS_JOIN_MITER 0x00002000
#define PS_JOIN_MASK 0x0000F000
#define PS_COSMETIC 0x00000000
#define PS_GEOMETRIC 0x00010000
#define PS_TYPE_MASK 0x000F0000

/* Brush styles of LOGBRUSH; only solid and hollow brushes draw here. */
#define BS_SOLID 0
#define BS_NULL 1
#define BS_HOLLOW BS_NULL
#define BS_HATCHED 2

/* Stock objects. */
#define WHITE_BRUSH 0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH 2
#define DKGRAY_BRUSH 3
#define BLACK_BRUSH 4
#define NULL_BRUSH 5
#define HOLLOW_BRUSH NULL_BRUSH
#define WHITE_PEN 6
#define BLACK_PEN 7
#define NULL_PEN 8

/* Object types of GetCurrentObject and of the accounting calls. */
#define OBJ_PEN 1
#define OBJ_BRUSH 2
#define OBJ_REGION 8

/* Fill modes of SetPolyFillMode. */
#define ALTERNATE 1
#define WINDING 2

/* Results of SelectClipRgn. */
#define ERROR 0
#define NULLREGION 1
#define SIMPLEREGION 2

/* ---- Objects ---- */

/* A pen of a standard style (PS_SOLID .. PS_INSIDEFRAME). Width 0 or 1 is one
 * device unit, cosmetic; a wider pen is geometric with round caps and joins,
 * and draws the dashed styles with dashes in proportion to its width. A
 * negative width counts as 0. Null for an unknown style. */
KRO_GDI_API HPEN CreatePen(int style, int width, COLORREF colour);

/* A cosmetic pen (width 1, solid brush, PS_SOLID .. PS_NULL, PS_USERSTYLE or
 * PS_ALTERNATE) or a geometric pen (any width, solid or hollow brush, caps and
 * joins of the style). PS_USERSTYLE takes 1 to 16 dash and gap lengths in
 * device units, a dash first; any other style takes none. Null when refused. */
KRO_GDI_API HPEN ExtCreatePen(DWORD style, DWORD width, const LOGBRUSH* brush, DWORD styleCount,
                              const DWORD* styleArray);

/* A solid brush of the colour. */
KRO_GDI_API HBRUSH CreateSolidBrush(COLORREF colour);

/* The rectangle from (left, top) to (right, bottom), right and bottom
 * excluded; swapped sides are put in order. */
KRO_GDI_API HRGN CreateRectRgn(int left, int top, int right, int bottom);

/* A stock object (WHITE_BRUSH .. NULL_PEN); it is never freed. */
KRO_GDI_API HGDIOBJ GetStockObject(int which);

/* Frees a pen, brush or region. Fails (FALSE) for a stale handle and for a pen
 * or brush that a device still has selected, which stays alive. Stock objects
 * are accepted and kept. */
KRO_GDI_API BOOL DeleteObject(HGDIOBJ object);

/* ---- Device context ---- */

/* Selects a pen or brush; returns the one it replaces, or null when the device
 * or the object is not valid (regions are selected with SelectClipRgn). */
KRO_GDI_API HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);

/* The selected object of the type (OBJ_PEN or OBJ_BRUSH), or null. */
KRO_GDI_API HGDIOBJ GetCurrentObject(HDC dc, UINT type);

/* Sets the current position; the old one goes to *previous when it is not null. */
KRO_GDI_API BOOL MoveToEx(HDC dc, int x, int y, POINT* previous);

/* Draws from the current position to (x, y) with the pen, leaving that last
 * pixel undrawn, and moves the current position there. */
KRO_GDI_API BOOL LineTo(HDC dc, int x, int y);

/* Draws joined lines from the current position through the count points (one
 * dash pattern along them), the last point undrawn; it becomes the current position. */
KRO_GDI_API BOOL PolylineTo(HDC dc, const POINT* points, DWORD count);

/* The part of the ellipse inscribed in the box between the rays from its
 * centre through (xStart, yStart) and (xEnd, yEnd), counter-clockwise in
 * device space; the whole ellipse when the rays coincide. Outlined with the
 * pen; the current position does not move. */
KRO_GDI_API BOOL Arc(HDC dc, int left, int top, int right, int bottom, int xStart, int yStart,
                     int xEnd, int yEnd);

/* As Arc, closed by the two radii, filled with the brush and outlined with the pen. */
KRO_GDI_API BOOL Pie(HDC dc, int left, int top, int right, int bottom, int xStart, int yStart,
                     int xEnd, int yEnd);

/* A rectangle filled with the brush and outlined with the pen; right and bottom
 * excluded, so the figure is right - left by bottom - top pixels. */
KRO_GDI_API BOOL Rectangle(HDC dc, int left, int top, int right, int bottom);

/* Closed polygons: each of the count figures (points[i] of them, at least 2)
 * filled with the brush by the fill mode and outlined with the pen. The
 * current position does not move. */
KRO_GDI_API BOOL Polygon(HDC dc, const POINT* points, int count);
KRO_GDI_API BOOL PolyPolygon(HDC dc, const POINT* points, const int* counts, int count);

/* How Polygon and PolyPolygon fill where figures overlap: ALTERNATE (even-odd,
 * the start) or WINDING (non-zero). The previous mode, or 0 when refused. */
KRO_GDI_API int SetPolyFillMode(HDC dc, int mode);

/* Clips later drawing to a copy of the region; null removes the clip. Returns
 * SIMPLEREGION, NULLREGION (an empty region, or none) or ERROR. */
KRO_GDI_API int SelectClipRgn(HDC dc, HRGN region);

#endif /* !_WIN32 */

/* ---- Devices of this platform ---- */

/* Kinds of Cairo device. */
#define KRO_GDI_IMAGE 1 /* pixels in memory: KroGdiPixels, KroGdiReadRows, KroGdiWritePNG */
#define KRO_GDI_PDF 2   /* one page written to path by KroGdiFinish */
#define KRO_GDI_SVG 3   /* one picture written to path by KroGdiFinish */

/* Flags of KroGdiCreateDevice. KRO_GDI_ANTIALIAS smooths edges: for PDF, SVG
 * and gray or colour pictures; leave it off for pictures that become bilevel. */
#define KRO_GDI_ANTIALIAS 1
/* KRO_GDI_LABEL_TEXT: KroGdiDrawLabel draws the characters of labels. */
#define KRO_GDI_LABEL_TEXT 2

/* A recording device of width x height pixels at resolution dots per inch.
 * It draws nothing. Null when a side or the resolution is not positive. */
KRO_GDI_API HDC KroGdiCreateRecorder(int32_t width, int32_t height, int32_t resolution);

/* A Cairo device of the kind, width x height pixels at resolution dots per
 * inch; PDF and SVG pages measure width / resolution inches, and path names
 * their file (ignored for KRO_GDI_IMAGE). Null when a side is not positive or
 * above 32767, the resolution is not positive, or Cairo refuses the surface. */
KRO_GDI_API HDC KroGdiCreateDevice(int32_t kind, int32_t width, int32_t height, int32_t resolution,
                                   const char* path, uint32_t flags);

/* Ends a Cairo device's drawing: a PDF or SVG device writes and closes its file.
 * 0, or -1 when Cairo reports a failure (drawing or writing). Drawing after it fails. */
KRO_GDI_API int32_t KroGdiFinish(HDC dc);

/* Ends a PDF device's page and begins the next, white, of width x height
 * pixels at the device's resolution; the clip is taken off. 0, or -1 for
 * another device or a side not in 1 to 32767. */
KRO_GDI_API int32_t KroGdiNextPage(HDC dc, int32_t width, int32_t height);

/* Frees a device of either kind (finishing a Cairo device first); selected
 * objects are not freed with it. FALSE for a device that is not valid. */
#if !defined(_WIN32)
KRO_GDI_API BOOL DeleteDC(HDC dc);
#endif

/* The size in pixels and the resolution a device of either kind was made
 * with. 0, or -1 for a device that is not valid. */
KRO_GDI_API int32_t KroGdiGetSize(HDC dc, int32_t* width, int32_t* height, int32_t* resolution);

/* The pixels of an image device: rows top-down, stride bytes apart, each
 * pixel a native-endian 32-bit 0xAARRGGBB. Null for other devices. */
KRO_GDI_API const unsigned char* KroGdiPixels(HDC dc, int32_t* width, int32_t* height,
                                              int32_t* stride);

/* Copies the image device's pixels into rows of rowBytes bytes each, at depth
 * 24 (red, green, blue), 8 (gray, 255 white) or 1 (1 = black, where the gray
 * is below 128; most significant bit leftmost, unused bits 0). 0, or -1 for
 * another device, another depth, a null buffer or rows too short. */
KRO_GDI_API int32_t KroGdiReadRows(HDC dc, int32_t depth, unsigned char* rows, size_t rowBytes);

/* Writes an image device's pixels as a PNG file (Cairo's own writer: 32-bit
 * RGBA, default compression). 0, or -1. */
KRO_GDI_API int32_t KroGdiWritePNG(HDC dc, const char* path);

/* Writes an image device's pixels as a PNG file at depth 1 (black where the
 * gray is below 128), 8 (gray) or 24 (RGB), with the zlib level (0 to 9; -1
 * for zlib's default) and the device's resolution. Bilevel rows are written
 * unfiltered. 0, or -1 (for a bad argument, or when the file cannot be
 * written; a partly written file is removed). */
KRO_GDI_API int32_t KroGdiWritePNGDepth(HDC dc, const char* path, int32_t depth, int32_t level);

/* The same PNG written to an open stream, which the caller closes; on failure
 * the stream may hold part of the file. 0, or -1. */
KRO_GDI_API int32_t KroGdiWritePNGStream(HDC dc, FILE* stream, int32_t depth, int32_t level);

/* Draws a label's characters in the selected pen's colour, within the clip,
 * on a Cairo device made with KRO_GDI_LABEL_TEXT. frame holds device pixels
 * (pixel centres at whole numbers, as for the integer calls): the origin of
 * the first character cell (its baseline's left end), the cell's width
 * vector, its height vector (a slant included) and the step from one cell to
 * the next, each an x, y pair. A capital fills the cell. Printable ASCII is
 * drawn; other bytes leave their cell blank. TRUE when the device drew the
 * text; FALSE, drawing nothing, on every other device and for a frame whose
 * cells have no area, are not finite or are too large for the font engine
 * (some 50000 pixels): the caller draws its own stand-in. */
KRO_GDI_API BOOL KroGdiDrawLabel(HDC dc, const char* text, const double frame[8]);

/* ---- Recording and accounting ---- */

/* Calls a recording device logs (calls without a device context, such as
 * CreatePen and DeleteObject, are logged by every recording device alive). */
#define KRO_GDI_CALL_CREATE_PEN 1
#define KRO_GDI_CALL_EXT_CREATE_PEN 2
#define KRO_GDI_CALL_CREATE_SOLID_BRUSH 3
#define KRO_GDI_CALL_CREATE_RECT_RGN 4
#define KRO_GDI_CALL_DELETE_OBJECT 5
#define KRO_GDI_CALL_SELECT_OBJECT 6
#define KRO_GDI_CALL_MOVE_TO_EX 7
#define KRO_GDI_CALL_LINE_TO 8
#define KRO_GDI_CALL_POLYLINE_TO 9
#define KRO_GDI_CALL_ARC 10
#define KRO_GDI_CALL_PIE 11
#define KRO_GDI_CALL_RECTANGLE 12
#define KRO_GDI_CALL_SELECT_CLIP_RGN 13
#define KRO_GDI_CALL_POLY_POLYGON 14
#define KRO_GDI_CALL_SET_POLY_FILL_MODE 15

/* One logged call. args hold its integer arguments in order: CreatePen style,
 * width, colour; ExtCreatePen style, width, brush style, brush colour, dash
 * count; CreateSolidBrush colour; CreateRectRgn and Rectangle the four sides;
 * MoveToEx and LineTo x, y; PolylineTo the count; Arc and Pie the eight;
 * PolyPolygon (Polygon is logged as one) the number of figures, then each
 * figure's count (up to eight); SetPolyFillMode the mode. values hold
 * ExtCreatePen's dashes and the points of PolylineTo and PolyPolygon (x, y pairs); they stay
 * valid until the device is cleared or deleted. object is the object made,
 * selected or deleted (null region for SelectClipRgn without one); previous is
 * what SelectObject returned; result is the call's BOOL or int result (1 for a
 * maker that succeeded, 0 for one that failed). */
typedef struct KroGdiRecord {
    int32_t call;
    int32_t argCount;
    int32_t args[9];
    int32_t result;
    HGDIOBJ object;
    HGDIOBJ previous;
    const int32_t* values;
    int32_t valueCount;
} KroGdiRecord;

/* Number of calls logged by the recording device; -1 for another device. */
KRO_GDI_API int32_t KroGdiRecordCount(HDC dc);

/* Copies the index-th logged call into *record. 0, or -1 out of range. */
KRO_GDI_API int32_t KroGdiGetRecord(HDC dc, int32_t index, KroGdiRecord* record);

/* Writes the log as text, one call a line (objects named pen#1, brush#2,
 * rgn#3 in the order the device first met them, stock objects by name), into
 * buffer (capacity bytes, NUL-terminated and cut short when it does not fit).
 * Returns the length of the whole text, or -1 for another device. */
KRO_GDI_API int32_t KroGdiDumpRecords(HDC dc, char* buffer, size_t capacity);

/* Forgets the log (the accounting stays). */
KRO_GDI_API void KroGdiClearRecords(HDC dc);

/* Objects of the type (OBJ_PEN, OBJ_BRUSH, OBJ_REGION, or 0 for all) that were
 * made while the recording device lived and are not deleted yet; -1 for
 * another device. */
KRO_GDI_API int32_t KroGdiUndeletedObjects(HDC dc, UINT type);

/* Failed calls on the device (either kind), and failed calls without a
 * device made while it lived: stale or foreign handles, deleting a selected
 * object, refused arguments. */
KRO_GDI_API int32_t KroGdiFaults(HDC dc);

/* Pens, brushes and regions alive in the process, stock objects excluded. */
KRO_GDI_API int32_t KroGdiLiveObjects(void);

#ifdef __cplusplus
}
#endif

#endif
