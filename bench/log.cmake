# History load of a 32-day, 70-column log against cut over the same file.
veltra_add_benchmark(bench_log SOURCES log_bench.cpp DEPS log)
