# History page load of a 32-day, 70-column log against cut over the same file.
if(TARGET pages)
  veltra_add_benchmark(bench_history SOURCES history_bench.cpp DEPS pages)
endif()
