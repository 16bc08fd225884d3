veltra_add_benchmark(bench_devices SOURCES devices_bench.cpp DEPS devices)
