// Ring buffer of load samples; no platform calls, so it also builds natively.
#include "sample_history.h"

#include <new>

// A history whose slots cannot be had has none: it takes no sample and stays
// empty, so the item shows no trace rather than failing.
SampleHistory::SampleHistory(int32_t capacity)
    : samples(new (std::nothrow) int8_t[capacity]), capacity(samples ? capacity : 0) {}

void SampleHistory::Push(int32_t value) {
    if (capacity == 0) {
        return;
    }
    samples[writeIndex] = static_cast<int8_t>(static_cast<uint8_t>(value & 0xFF));
    if (++writeIndex >= capacity) {
        writeIndex = 0;
    }
    if (count < capacity) {
        ++count;
    }
    if (count == capacity) {
        oldestIndex = writeIndex;
    }
}

int32_t SampleHistory::At(int32_t index) const {
    int32_t slot = oldestIndex + index;
    if (slot >= capacity) {
        slot -= capacity;
    }
    return samples[slot];
}
