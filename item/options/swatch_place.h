// Where the options dialog puts a colour swatch in its row, worked out from
// the pixel places of the row's label and "Edit" button; no platform calls.
#pragma once

// A pixel rectangle: right and bottom lie just outside it.
struct PixelBox {
    int left;
    int top;
    int right;
    int bottom;
};

// The swatch of a row whose label ends at labelEnd and whose "Edit" button
// lies at button: centred across the room between the two and vertically on
// the button, in the wanted size wherever that fits; narrower only as much as
// the room needs, and never taller than the button. No room gives an empty
// box.
PixelBox PlaceSwatch(int labelEnd, const PixelBox& button, int width, int height);
