#pragma once
// Counts of the process's GDI and USER objects. GetGuiResources answers 0
// under Wine, so the GDI count walks the process's GDI handle table and the
// USER count probes the USER handle values for windows, menus and icons.

struct GuiCounts {
    int gdi;
    int windows;
    int menus;
    int icons;
};

GuiCounts CountGuiObjects();
// The GDI objects alone: quick, where the USER probes take a second or more.
int CountGdiObjects();

// The process's kernel handles. GetProcessHandleCount answers 0 under Wine,
// so the handle values are probed one by one.
int CountKernelHandles();
