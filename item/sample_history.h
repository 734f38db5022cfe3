// Fixed-capacity ring buffer of signed byte samples, oldest first.
#pragma once

#include <cstdint>
#include <memory>

class SampleHistory {
  public:
    // Capacity 0 when the slots could not be allocated.
    explicit SampleHistory(int32_t capacity);
    virtual ~SampleHistory() = default;
    SampleHistory(const SampleHistory&) = delete;
    SampleHistory& operator=(const SampleHistory&) = delete;

    // Stores the low 8 bits of value, overwriting the oldest sample once full.
    void Push(int32_t value);
    // The index-th oldest sample, sign-extended; 0 <= index < count.
    int32_t At(int32_t index) const;

    int32_t Capacity() const { return capacity; }
    int32_t Count() const { return count; }
    int32_t WriteIndex() const { return writeIndex; }
    int32_t OldestIndex() const { return oldestIndex; }

  private:
    std::unique_ptr<int8_t[]> samples;
    int32_t capacity;
    int32_t count = 0;
    int32_t writeIndex = 0;
    int32_t oldestIndex = 0;
};
