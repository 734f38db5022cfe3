// A normal-priority thread that keeps the processor busy for a set share of
// every 50 ms: the known load that the accuracy run shows the item.
#pragma once

void StartLoadGenerator(int dutyPercent);
// Takes effect at once, also in the middle of a period.
void SetLoadDuty(int dutyPercent);
void StopLoadGenerator();
