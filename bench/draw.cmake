# Drawing primitives against cairo on the same 800 x 480 frame, in the same run.
find_package(PkgConfig REQUIRED)
pkg_check_modules(CAIRO REQUIRED IMPORTED_TARGET cairo)
veltra_add_benchmark(bench_draw SOURCES draw_bench.cpp DEPS gui_toolkit PkgConfig::CAIRO)
