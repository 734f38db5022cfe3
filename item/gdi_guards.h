// Tiny holders for GDI objects that a message makes and must give back before
// it returns: a pen or brush deleted at scope exit, and a selection put back.
#pragma once

#include <windows.h>

// Owns a pen, brush or bitmap and deletes it at scope exit. Declare it before
// the selection that uses it, so the object is selected out before deletion.
class GdiObjectHolder {
  public:
    explicit GdiObjectHolder(HGDIOBJ object) : object(object) {}
    ~GdiObjectHolder() {
        if (object != nullptr) {
            DeleteObject(object);
        }
    }
    GdiObjectHolder(const GdiObjectHolder&) = delete;
    GdiObjectHolder& operator=(const GdiObjectHolder&) = delete;

    HGDIOBJ Get() const { return object; }

  private:
    HGDIOBJ object;
};

// Selects an object into a DC and selects the one it replaced back at scope exit.
class SelectionHolder {
  public:
    SelectionHolder(HDC surface, HGDIOBJ object)
        : surface(surface), previous(SelectObject(surface, object)) {}
    ~SelectionHolder() { SelectObject(surface, previous); }
    SelectionHolder(const SelectionHolder&) = delete;
    SelectionHolder& operator=(const SelectionHolder&) = delete;

  private:
    HDC surface;
    HGDIOBJ previous;
};
