# Our Modbus client against libmodbus's, both reading from the gateway simulator on loopback.
if(TARGET PkgConfig::LIBMODBUS AND TARGET gateway-sim)
  veltra_add_benchmark(bench_comm SOURCES comm_bench.cpp DEPS comm PkgConfig::LIBMODBUS)
  target_compile_definitions(bench_comm PRIVATE VELTRA_BINARY_DIR="${CMAKE_BINARY_DIR}")
  add_dependencies(bench_comm gateway-sim)
endif()
