# 32 days over 40 log files: the Graph tab's load walking back through them, and veltra-log's
# CSV export, each against cut over the same files.
if(TARGET pages AND TARGET veltra-log)
  veltra_add_benchmark(bench_logexport SOURCES logexport_bench.cpp DEPS pages)
  target_compile_definitions(bench_logexport PRIVATE
    VELTRA_LOG_TOOL="$<TARGET_FILE:veltra-log>")
  add_dependencies(bench_logexport veltra-log)
endif()
