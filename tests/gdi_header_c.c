/* The GDI stand-in's header used from C11: record layouts and a recording device. */
#include <kro/gdi.h>
#include <stddef.h>

_Static_assert(sizeof(POINT) == 8 && offsetof(POINT, y) == 4, "POINT");
_Static_assert(sizeof(RECT) == 16 && offsetof(RECT, bottom) == 12, "RECT");
_Static_assert(offsetof(LOGBRUSH, lbColor) == 4 && offsetof(LOGBRUSH, lbHatch) == 8, "LOGBRUSH");

int main(void) {
    HDC dc = KroGdiCreateRecorder(10, 10, 72);
    HPEN pen = CreatePen(PS_DOT, 1, RGB(0, 0, 0));
    HGDIOBJ host = SelectObject(dc, pen);
    int ok = MoveToEx(dc, 1, 1, NULL) && LineTo(dc, 5, 1) && SelectObject(dc, host) == pen &&
             DeleteObject(pen) && KroGdiUndeletedObjects(dc, OBJ_PEN) == 0 &&
             KroGdiRecordCount(dc) == 6;
    return DeleteDC(dc) && ok ? 0 : 1;
}
