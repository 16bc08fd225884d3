// Cost of reading every value source of a tile through the typed register access, against
// plain loads of the same registers from an ordinary array (the reference in the same run).
#include "devices/device_types.h"
#include "devices/reg_access.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <vector>

namespace {

struct Source {
    int32_t reg;
    uint32_t type;
};

// Value, range and limit sources of the Home, RV and meter tiles, as a page paint reads them.
std::vector<Source> TileSources() {
    std::vector<Source> sources;
    for (int t : {DEV_TYPE_HOME, DEV_TYPE_RV100_30, DEV_TYPE_CORVO_500}) {
        const PageLayout* page = DeviceTypeTable[t]->page_layout;
        for (int32_t n = 0; n < page->element_count; ++n) {
            const PageElement& e = page->elements[n];
            auto add = [&](int32_t reg, int32_t type) {
                if (reg > 0) sources.push_back({reg, static_cast<uint32_t>(type)});
            };
            add(e.value_register, e.value_type);
            add(e.low_register, e.low_type);
            add(e.high_register, e.high_type);
            for (int i = 0; i < 4; ++i)
                add(e.limit_registers[i], e.limit_types[i]);
        }
    }
    return sources;
}

void BM_PlainLoads(benchmark::State& state) {
    const std::vector<Source> sources = TileSources();
    static std::array<uint16_t, 1100> window{};
    for (auto _ : state) {
        int64_t sum = 0;
        for (const Source& s : sources)
            sum += window[s.reg];
        benchmark::DoNotOptimize(sum);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(sources.size()));
}
BENCHMARK(BM_PlainLoads);

void BM_RegGetValue(benchmark::State& state) {
    const std::vector<Source> sources = TileSources();
    static std::array<RegisterCell, 1100> window{};
    for (auto _ : state) {
        int64_t sum = 0;
        for (const Source& s : sources)
            sum += Reg_GetValue(s.reg, s.type, window.data());
        benchmark::DoNotOptimize(sum);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(sources.size()));
}
BENCHMARK(BM_RegGetValue);

} // namespace
BENCHMARK_MAIN();
