# Run at every build (cmake -P): finds the time of the source's last change
# and writes, in OUT, only what differs from the last run:
#   source_date_epoch  that time in seconds (read by cpack, which dates every
#                      file of the package with it)
#   changelog.gz       the package's changelog, dated at that time, packed
#                      with gzip -n (no name or time of its own)
# The time is SOURCE_DATE_EPOCH when the caller sets it, else the commit
# time of the checkout's HEAD, else (a source tree without git) the time of
# the changelog's template.  So two builds of one commit give the same bytes.
# Inputs: SOURCE_DIR, TEMPLATE, OUT, VM_VERSION, VM_MAINTAINER.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(epoch "$ENV{SOURCE_DATE_EPOCH}")
else()
  execute_process(COMMAND git -C "${SOURCE_DIR}" log -1 --format=%ct
    OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE
    RESULT_VARIABLE git_result ERROR_QUIET)
  if(NOT git_result EQUAL 0 OR epoch STREQUAL "")
    file(TIMESTAMP "${TEMPLATE}" epoch "%s" UTC)
    message(STATUS "No git history: the package is dated by ${TEMPLATE}")
  endif()
endif()
if(NOT epoch MATCHES "^[0-9]+$")
  message(FATAL_ERROR "Not a time in seconds: \"${epoch}\"")
endif()

file(MAKE_DIRECTORY "${OUT}")
# string(TIMESTAMP) formats SOURCE_DATE_EPOCH instead of the current time.
set(ENV{SOURCE_DATE_EPOCH} "${epoch}")
string(TIMESTAMP VM_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file("${TEMPLATE}" "${OUT}/changelog" @ONLY)
file(WRITE "${OUT}/source_date_epoch.new" "${epoch}\n")
execute_process(COMMAND gzip -9n -c "${OUT}/changelog"
  OUTPUT_FILE "${OUT}/changelog.gz.new" RESULT_VARIABLE gzip_result)
if(NOT gzip_result EQUAL 0)
  message(FATAL_ERROR "gzip failed on ${OUT}/changelog")
endif()
foreach(name source_date_epoch changelog.gz)
  execute_process(COMMAND "${CMAKE_COMMAND}" -E copy_if_different
    "${OUT}/${name}.new" "${OUT}/${name}")
  file(REMOVE "${OUT}/${name}.new")
endforeach()
