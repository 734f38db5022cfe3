// The native build's answers for the plain logic, one line per request read
// from standard input, so the emulated ARM build can be compared with it:
//   cpu <user gain in 100 ns> <elapsed ms>  -> <valid> <load>
//   mem <available> <total>                 -> <percent>
//   ring <capacity> <value>...              -> <count> <sample>...
//   walk <file> <shift> <size>              -> <ok> <style> <items> then, per item,
//                                              <style> <x> <y> <cx> <cy> <id> <class> <title>
// A walk reads the first <size> bytes of the file, placed <shift> bytes past
// a 4-byte boundary; the field positions are byte offsets from the start.
#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "dialog_template.h"
#include "load_arithmetic.h"
#include "sample_history.h"

namespace {

struct Walk {
    const unsigned char* start;
    std::ostringstream items;
};

void VisitItem(const DialogTemplateItem& item, void* context) {
    Walk& walk = *static_cast<Walk*>(context);
    const auto at = [&](const std::uint16_t* field) {
        return reinterpret_cast<const unsigned char*>(field) - walk.start;
    };
    walk.items << ' ' << item.style << ' ' << item.x << ' ' << item.y << ' ' << item.cx << ' '
               << item.cy << ' ' << item.id << ' ' << at(item.classField) << ' '
               << at(item.titleField);
}

void Answer(const std::string& line) {
    std::istringstream in(line);
    std::string request;
    in >> request;
    if (request == "cpu") {
        std::uint64_t gain = 0;
        std::uint32_t elapsed = 0;
        in >> gain >> elapsed;
        const CpuLoadResult result = CpuLoadOfPeriod(gain, elapsed);
        std::cout << result.valid << ' ' << int(result.load) << '\n';
    } else if (request == "mem") {
        std::uint64_t available = 0, total = 0;
        in >> available >> total;
        std::cout << MemoryLoadPercent(available, total) << '\n';
    } else if (request == "ring") {
        std::int32_t capacity = 0, value = 0;
        in >> capacity;
        SampleHistory history(capacity);
        while (in >> value) {
            history.Push(value);
        }
        std::cout << history.Count();
        for (std::int32_t i = 0; i < history.Count(); ++i) {
            std::cout << ' ' << history.At(i);
        }
        std::cout << '\n';
    } else if (request == "walk") {
        std::string path;
        std::size_t shift = 0, size = 0;
        in >> path >> shift >> size;
        std::ifstream file(path, std::ios::binary);
        std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)), {});
        std::vector<std::uint32_t> words(bytes.size() / 4 + 2);
        auto* start = reinterpret_cast<unsigned char*>(words.data()) + shift % 4;
        std::copy(bytes.begin(), bytes.begin() + std::min(size, bytes.size()), start);
        Walk walk{start, {}};
        DialogTemplate result{};
        const bool ok = ReadDialogTemplate(start, size, result, VisitItem, &walk);
        std::cout << ok << ' ' << (ok ? result.style : 0) << ' ' << (ok ? result.itemCount : 0)
                  << walk.items.str() << '\n';
    } else {
        std::cout << "unknown request\n";
    }
}

} // namespace

int main() {
    std::string line;
    while (std::getline(std::cin, line)) {
        Answer(line);
    }
    return 0;
}
