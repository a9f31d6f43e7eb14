# Read by cpack before it packs: every file of the package is dated at the
# last change of the source (the build's source_date_epoch, see
# changelog.cmake), so that packing the same commit again gives the same bytes.
set(vm_epoch_file "${CPACK_VM_PACKAGING_DIR}/source_date_epoch")
if(NOT EXISTS "${vm_epoch_file}")
  message(FATAL_ERROR "${vm_epoch_file} is missing: build the project before packing it")
endif()
file(STRINGS "${vm_epoch_file}" vm_epoch LIMIT_COUNT 1)
set(ENV{SOURCE_DATE_EPOCH} "${vm_epoch}")
