// The graph renderer. Heights come from the WindowSize setting rather than
// the rectangle, so a new size shows at once, before the host re-lays out.
#include "graph_renderer.h"

#include "gdi_guards.h"
#include "histories.h"
#include "screen_metrics.h"
#include "settings.h"

namespace {

void DrawGrid(HDC surface, int width, int height, int spacing) {
    for (int x = GridScrollOffset; x < width; x += spacing) {
        MoveToEx(surface, x, 0, nullptr);
        LineTo(surface, x, height);
    }
    // Each line lies on the bottom row of its cell; the first at y = -1 is clipped.
    for (int s = 0; s < height; s += spacing) {
        MoveToEx(surface, 0, s - 1, nullptr);
        LineTo(surface, width, s - 1);
    }
}

// Draws one trace, oldest sample first, and returns the newest sample, or
// NotMeasured for an empty or missing history. The newest sample lies in the
// last column: for a history one wider than the window, as the item window
// makes it, that is where its capacity puts it; another item window of a
// different width still shows the newest samples. A sample that is no
// reading breaks the line.
int DrawTrace(HDC surface, const SampleHistory* history, int width, int height) {
    if (history == nullptr) {
        return NotMeasured;
    }
    const int count = history->Count();
    const int x0 = width - count;
    int newest = NotMeasured;
    for (int i = 0; i < count; ++i) {
        const int previous = newest;
        newest = history->At(i);
        if (newest == NotMeasured) {
            continue;
        }
        const int y = height - ((height - 2) * newest) / 100 - 1;
        if (previous == NotMeasured) {
            MoveToEx(surface, x0 + i, y, nullptr);
        } else {
            LineTo(surface, x0 + i, y);
        }
    }
    return newest;
}

void DrawCaption(HDC surface, const RECT& client, int cpu, int memory) {
    const bool free = ItemSettings.DisplayMode != 0;
    const bool withMemory = ItemSettings.DisplayMemory != 0 && memory != NotMeasured;
    const int shownCpu = free ? 100 - cpu : cpu;
    const int shownMemory = free ? 100 - memory : memory;
    const wchar_t* const suffix = free ? L"free" : L"used";
    // wsprintfW takes no size: samples are signed bytes, so a caption has at
    // most 27 characters.
    wchar_t caption[64];
    int length;
    if (withMemory) {
        length = wsprintfW(caption, L" CPU: %d%% Mem: %d%% %s", shownCpu, shownMemory, suffix);
    } else {
        length = wsprintfW(caption, L" CPU: %d%% %s", shownCpu, suffix);
    }
    SetTextColor(surface, ColorPalette[SettingOrDefault(&Settings::TextColor)]);
    SetBkMode(surface, TRANSPARENT);
    RECT area = client;
    DrawTextW(surface, caption, length, &area, 0);
}

} // namespace

void GraphRenderer(HDC surface, const RECT& client) {
    ScopedLock guard(HistoryLock);
    const int height = ScaleY(SizeHeights[SettingOrDefault(&Settings::WindowSize)]);
    const int spacing = ScaleX(10);
    const int width = client.right;

    const int gridColor = SettingOrDefault(&Settings::GridColor);
    GdiObjectHolder gridPen(
        gridColor == TransparentColor ? nullptr : CreatePen(PS_SOLID, 1, ColorPalette[gridColor]));
    GdiObjectHolder memoryPen(
        ItemSettings.DisplayMemory == 0
            ? nullptr
            : CreatePen(PS_SOLID, 1, ColorPalette[SettingOrDefault(&Settings::MemoryColor)]));
    GdiObjectHolder cpuPen(
        CreatePen(PS_SOLID, 1, ColorPalette[SettingOrDefault(&Settings::SampleColor)]));

    // Declared after the pens so the entry pen is back before any pen is deleted.
    SelectionHolder entryPen(surface, GetCurrentObject(surface, OBJ_PEN));
    if (gridPen.Get() != nullptr) {
        SelectObject(surface, gridPen.Get());
        DrawGrid(surface, width, height, spacing);
    }
    int memory = NotMeasured;
    if (memoryPen.Get() != nullptr) {
        SelectObject(surface, memoryPen.Get());
        memory = DrawTrace(surface, MemoryHistory.get(), width, height);
    }
    SelectObject(surface, cpuPen.Get());
    const int cpu = DrawTrace(surface, CpuHistory.get(), width, height);
    if (cpu != -1 && cpu != NotMeasured) {
        DrawCaption(surface, client, cpu, memory);
    }
}
