# The drawn elements (Home gauges, one Corvo tile) against cairo drawing the same shapes.
find_package(PkgConfig REQUIRED)
pkg_check_modules(CAIRO REQUIRED IMPORTED_TARGET cairo)
veltra_add_benchmark(bench_elements SOURCES elements_bench.cpp DEPS elements PkgConfig::CAIRO)
