// Scaling of 96-dpi lengths to the device; no platform calls.
#pragma once

// v * dpi / 96, rounded to the nearest integer with halves away from zero,
// symmetric in sign (the platform's MulDiv rule).
int ScaleByDpi(int v, int dpi);
