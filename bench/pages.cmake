# Full repaint of the busiest device pages against cairo drawing the same shapes, in the same run.
if(TARGET pages)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(CAIRO REQUIRED IMPORTED_TARGET cairo)
  veltra_add_benchmark(bench_pages SOURCES pages_bench.cpp DEPS pages PkgConfig::CAIRO)
endif()
