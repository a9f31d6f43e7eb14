# The layer rule, checked by the build itself: a layer that includes a
# header of a layer above it (or beside it), or of a third-party library a
# lower layer uses privately, does not compile.  Each probe is
# one source file that includes one header, compiled with the include
# folders and libraries of one layer; the probes are left out of `all` and
# built one by one by the layer_rule test, which expects the upward ones to
# fail on the missing header and the downward ones to build.
set(VM_LAYER_PROBES
  # layer   header                  builds
  platform  assets/texture_set.h    NO
  assets    gfx/effects.h           NO
  gfx       show/demo_state.h       NO
  show      app/main_loop.h         NO
  show      harness/harness.h       NO
  app       harness/harness.h       NO
  harness   app/display.h           NO
  assets    platform/files.h        YES
  gfx       assets/texture_set.h    YES
  show      gfx/effects.h           YES
  app       show/frame.h            YES
  harness   show/frame.h            YES
  # third-party libraries stay private to the layer that uses them
  show      SDL.h                   NO
  app       SDL.h                   NO)

set(probe_dir ${CMAKE_CURRENT_BINARY_DIR}/layer_probes)
set(probe_list "")
list(LENGTH VM_LAYER_PROBES probe_fields)
math(EXPR last "${probe_fields} - 1")
foreach(i RANGE 0 ${last} 3)
  math(EXPR header_at "${i} + 1")
  math(EXPR builds_at "${i} + 2")
  list(GET VM_LAYER_PROBES ${i} layer)
  list(GET VM_LAYER_PROBES ${header_at} header)
  list(GET VM_LAYER_PROBES ${builds_at} builds)
  string(MAKE_C_IDENTIFIER "layer_probe_${layer}_${header}" target)
  file(WRITE ${probe_dir}/${target}.cpp.in "#include \"${header}\"\nint ${target}() { return 0; }\n")
  configure_file(${probe_dir}/${target}.cpp.in ${probe_dir}/${target}.cpp COPYONLY)
  add_library(${target} OBJECT EXCLUDE_FROM_ALL ${probe_dir}/${target}.cpp)
  target_link_libraries(${target} PRIVATE vm_${layer})
  list(APPEND probe_list "${target}:${header}:${builds}")
endforeach()

add_test(NAME layer_rule
  COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR} "-DPROBES=${probe_list}"
    -P ${CMAKE_CURRENT_SOURCE_DIR}/layer_rule_check.cmake)
set_tests_properties(layer_rule PROPERTIES TIMEOUT 300 RUN_SERIAL TRUE)
