// The graph renderer drawing into a real GDI bitmap: grid positions at two
// DPIs, trace rows and columns, captions, and what each setting turns off.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "graph_renderer.h"
#include "histories.h"
#include "screen_metrics.h"
#include "settings.h"
#include "test_canvas.h"

// The next this many nothrow array allocations fail, as on a device out of
// memory; the rest come from malloc, which the runtime's delete[] frees.
int FailingArrays = 0;

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    if (FailingArrays > 0) {
        --FailingArrays;
        return nullptr;
    }
    return std::malloc(size);
}

namespace {

const COLORREF Background = ColorPalette[0];
const COLORREF Grid = ColorPalette[10];
const COLORREF Cpu = ColorPalette[3];
const COLORREF Memory = ColorPalette[6];
const COLORREF Text = ColorPalette[1];

class RendererTest : public testing::Test {
  protected:
    void SetUp() override {
        LogPixelsX = 96;
        LogPixelsY = 96;
        ItemSettings.WindowSize = 2;
        ItemSettings.GridColor = 10;
        ItemSettings.SampleColor = 3;
        ItemSettings.MemoryColor = 6;
        ItemSettings.TextColor = 1;
        ItemSettings.DisplayMode = 0;
        ItemSettings.DisplayMemory = 1;
        GridScrollOffset = 9;
        MakeHistories(101);
    }
    void TearDown() override {
        CpuHistory.reset();
        MemoryHistory.reset();
    }

    static void MakeHistories(int capacity) {
        CpuHistory.reset(new SampleHistory(capacity));
        MemoryHistory.reset(new SampleHistory(capacity));
    }
    static void PushBoth(const std::vector<int>& cpu, const std::vector<int>& memory) {
        for (int v : cpu) {
            CpuHistory->Push(v);
        }
        for (int v : memory) {
            MemoryHistory->Push(v);
        }
    }

    // Renders into a canvas wider and taller than the client rectangle, so
    // that anything drawn past its edges shows.
    void Render(TestCanvas& canvas, int width) {
        canvas.Fill(Background);
        SelectObject(canvas.Dc(), GetStockObject(SYSTEM_FONT));
        const RECT client = {0, 0, width, canvas.Height() - 10};
        GraphRenderer(canvas.Dc(), client);
    }

    static std::vector<int> RowsOfColor(const TestCanvas& canvas, int x, COLORREF color) {
        std::vector<int> rows;
        for (int y = 0; y < canvas.Height(); ++y) {
            if (canvas.Pixel(x, y) == color) {
                rows.push_back(y);
            }
        }
        return rows;
    }
    static std::vector<int> ColumnsOfColor(const TestCanvas& canvas, int y, COLORREF color) {
        std::vector<int> columns;
        for (int x = 0; x < canvas.Width(); ++x) {
            if (canvas.Pixel(x, y) == color) {
                columns.push_back(x);
            }
        }
        return columns;
    }
};

TEST_F(RendererTest, HorizontalGridLinesLieOnTheBottomRowOfEachCell) {
    struct Case {
        int dpiX, dpiY, windowSize;
        std::vector<int> rows;
    };
    const Case cases[] = {
        {96, 96, 0, {9}},
        {96, 96, 2, {9, 19, 29, 39}},
        {96, 192, 2, {9, 19, 29, 39, 49, 59, 69, 79, 89}},
        {192, 192, 2, {19, 39, 59, 79}},
        {192, 192, 0, {19}},
    };
    for (const Case& c : cases) {
        LogPixelsX = c.dpiX;
        LogPixelsY = c.dpiY;
        ItemSettings.WindowSize = c.windowSize;
        GridScrollOffset = 1000;
        TestCanvas canvas(120, 130);
        Render(canvas, 100);
        EXPECT_EQ(c.rows, RowsOfColor(canvas, 50, Grid))
            << "dpi " << c.dpiX << "x" << c.dpiY << ", size " << c.windowSize;
        // The horizontal lines stop short of their end point at x = W.
        EXPECT_EQ(Background, canvas.Pixel(100, c.rows[0]));
        EXPECT_EQ(Grid, canvas.Pixel(99, c.rows[0]));
    }
}

TEST_F(RendererTest, VerticalGridLinesFollowTheScrollOffset) {
    ItemSettings.WindowSize = 0;
    TestCanvas canvas(110, 40);
    Render(canvas, 100);
    const std::vector<int> expected = {9, 19, 29, 39, 49, 59, 69, 79, 89, 99};
    EXPECT_EQ(expected, ColumnsOfColor(canvas, 0, Grid));
    // A vertical line covers rows 0 to H - 1 and stops short of y = H.
    EXPECT_EQ(Grid, canvas.Pixel(19, 19));
    EXPECT_EQ(Background, canvas.Pixel(19, 20));

    LogPixelsX = 192;
    GridScrollOffset = 3;
    Render(canvas, 100);
    const std::vector<int> wide = {3, 23, 43, 63, 83};
    EXPECT_EQ(wide, ColumnsOfColor(canvas, 0, Grid));
}

TEST_F(RendererTest, TransparentGridDrawsNoLine) {
    ItemSettings.GridColor = TransparentColor;
    TestCanvas canvas(110, 60);
    Render(canvas, 100);
    EXPECT_EQ(0, canvas.CountColor(Grid, 0, 0, 110, 60));
}

TEST_F(RendererTest, ValuesOutsideTheirSettingDrawAsTheDefault) {
    ItemSettings.WindowSize = 3;
    ItemSettings.GridColor = 16;
    ItemSettings.SampleColor = TransparentColor;
    ItemSettings.MemoryColor = -2;
    ItemSettings.TextColor = TransparentColor;
    PushBoth({80, 80, 80}, {20, 20, 20});
    TestCanvas canvas(110, 60);
    Render(canvas, 100);
    EXPECT_EQ(Cpu, canvas.Pixel(97, 11)) << "height 50, processor trace green";
    EXPECT_EQ(Memory, canvas.Pixel(97, 40)) << "memory trace orange";
    EXPECT_GT(canvas.CountColor(Grid, 0, 20, 110, 50), 0) << "grid dark green";
    EXPECT_GT(canvas.CountColor(Text, 0, 0, 100, 20), 0) << "caption white";
}

TEST_F(RendererTest, TraceRowsFollowTheValue) {
    ItemSettings.WindowSize = 1;
    ItemSettings.GridColor = TransparentColor;
    ItemSettings.DisplayMemory = 0;
    struct Case {
        int value, row;
    };
    const Case cases[] = {{0, 39}, {100, 1}, {50, 20}, {-1, 39}, {-3, 40}};
    for (const Case& c : cases) {
        MakeHistories(101);
        PushBoth({c.value, c.value, c.value}, {});
        TestCanvas canvas(110, 60);
        Render(canvas, 100);
        // Three samples at x = 97, 98, 99; the last point is a line end.
        const std::vector<int> expected = {c.row};
        EXPECT_EQ(expected, RowsOfColor(canvas, 97, Cpu)) << "value " << c.value;
        EXPECT_EQ(expected, RowsOfColor(canvas, 98, Cpu)) << "value " << c.value;
        EXPECT_TRUE(RowsOfColor(canvas, 96, Cpu).empty()) << "value " << c.value;
    }
}

TEST_F(RendererTest, NewestSampleLiesInTheLastColumn) {
    ItemSettings.WindowSize = 1;
    ItemSettings.GridColor = TransparentColor;
    PushBoth({0, 0, 100}, {});
    TestCanvas canvas(110, 60);
    Render(canvas, 100);
    EXPECT_FALSE(RowsOfColor(canvas, 99, Cpu).empty());
    EXPECT_TRUE(RowsOfColor(canvas, 100, Cpu).empty());

    // A full history runs in from x = -1, so column 0 already holds a trace.
    MakeHistories(101);
    for (int i = 0; i < 101; ++i) {
        CpuHistory->Push(50);
    }
    Render(canvas, 100);
    EXPECT_EQ(std::vector<int>{20}, RowsOfColor(canvas, 0, Cpu));
}

TEST_F(RendererTest, SingleSampleDrawsNothing) {
    ItemSettings.GridColor = TransparentColor;
    PushBoth({50}, {50});
    TestCanvas canvas(110, 60);
    Render(canvas, 100);
    EXPECT_EQ(0, canvas.CountColor(Cpu, 0, 14, 110, 60));
    EXPECT_EQ(0, canvas.CountColor(Memory, 0, 14, 110, 60));
}

TEST_F(RendererTest, MemoryTraceLiesUnderTheProcessorTrace) {
    ItemSettings.WindowSize = 1;
    ItemSettings.GridColor = TransparentColor;
    PushBoth({50, 50, 50}, {50, 50, 50, 0, 0});
    TestCanvas canvas(110, 60);
    Render(canvas, 100);
    EXPECT_EQ(Cpu, canvas.Pixel(97, 20));
    EXPECT_EQ(Memory, canvas.Pixel(95, 20));
    EXPECT_EQ(Memory, canvas.Pixel(98, 39));

    ItemSettings.DisplayMemory = 0;
    Render(canvas, 100);
    EXPECT_EQ(0, canvas.CountColor(Memory, 0, 0, 110, 60));
    EXPECT_EQ(Cpu, canvas.Pixel(97, 20));
}

TEST_F(RendererTest, EntryPenIsSelectedAgain) {
    TestCanvas canvas(110, 60);
    HPEN entry = CreatePen(PS_SOLID, 1, RGB(1, 2, 3));
    HGDIOBJ before = SelectObject(canvas.Dc(), entry);
    PushBoth({10, 20, 30}, {40, 50, 60});
    Render(canvas, 100);
    EXPECT_EQ(entry, GetCurrentObject(canvas.Dc(), OBJ_PEN));
    SelectObject(canvas.Dc(), before);
    DeleteObject(entry);
}

// The caption against the same text drawn by DrawTextW itself.
class CaptionTest : public RendererTest {
  protected:
    void ExpectCaption(const std::wstring& text) {
        TestCanvas drawn(240, 60);
        Render(drawn, 230);
        TestCanvas expected(240, 60);
        expected.Fill(Background);
        SelectObject(expected.Dc(), GetStockObject(SYSTEM_FONT));
        SetTextColor(expected.Dc(), Text);
        SetBkMode(expected.Dc(), TRANSPARENT);
        RECT area = {0, 0, 230, 50};
        DrawTextW(expected.Dc(), text.c_str(), static_cast<int>(text.size()), &area, 0);
        int differing = 0;
        for (int y = 0; y < 14; ++y) {
            for (int x = 0; x < 240; ++x) {
                differing += drawn.Pixel(x, y) != expected.Pixel(x, y) ? 1 : 0;
            }
        }
        EXPECT_EQ(0, differing) << "caption \"" << std::string(text.begin(), text.end()) << "\"";
        EXPECT_GT(drawn.CountColor(Text, 0, 0, 240, 14), 20);
    }
};

TEST_F(CaptionTest, FourFormats) {
    ItemSettings.GridColor = TransparentColor;
    PushBoth({0, 76}, {0, 62});
    ExpectCaption(L" CPU: 76% Mem: 62% used");
    ItemSettings.DisplayMode = 1;
    ExpectCaption(L" CPU: 24% Mem: 38% free");
    ItemSettings.DisplayMemory = 0;
    ExpectCaption(L" CPU: 24% free");
    ItemSettings.DisplayMode = 0;
    ExpectCaption(L" CPU: 76% used");
}

TEST_F(CaptionTest, NoCaptionWithoutANewestSample) {
    TestCanvas canvas(240, 60);
    Render(canvas, 230);
    EXPECT_EQ(0, canvas.CountColor(Text, 0, 0, 240, 60)) << "empty histories";
    EXPECT_EQ(0, canvas.CountColor(Cpu, 0, 0, 240, 60));
    EXPECT_GT(canvas.CountColor(Grid, 0, 0, 240, 60), 0) << "the grid is drawn all the same";

    PushBoth({30, -1}, {40, 50});
    Render(canvas, 230);
    EXPECT_EQ(0, canvas.CountColor(Text, 0, 0, 240, 60)) << "newest sample -1";
}

TEST_F(CaptionTest, HistoriesWithoutMemoryStayEmpty) {
    FailingArrays = 2;
    MakeHistories(101);
    ASSERT_EQ(0, FailingArrays) << "each history asks for its slots";
    PushBoth({30, 40, 50}, {40, 50, 60});
    EXPECT_EQ(0, CpuHistory->Count());
    EXPECT_EQ(0, MemoryHistory->Count());
    TestCanvas canvas(240, 60);
    Render(canvas, 230);
    EXPECT_EQ(0, canvas.CountColor(Text, 0, 0, 240, 60));
    EXPECT_EQ(0, canvas.CountColor(Cpu, 0, 0, 240, 60));
    EXPECT_EQ(0, canvas.CountColor(Memory, 0, 0, 240, 60));
}

} // namespace
