# CLI11 for the cross build: the build machine's header-only library, seen
# through a directory that holds nothing else, so that the build machine's
# /usr/include never reaches the Windows compiler.
if(NOT TARGET CLI11::CLI11)
  set(_zul_cli11_include ${CMAKE_BINARY_DIR}/cli11-include)
  file(MAKE_DIRECTORY ${_zul_cli11_include})
  if(NOT EXISTS ${_zul_cli11_include}/CLI)
    file(CREATE_LINK /usr/include/CLI ${_zul_cli11_include}/CLI SYMBOLIC)
  endif()
  add_library(CLI11::CLI11 INTERFACE IMPORTED)
  set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${_zul_cli11_include})
endif()
set(CLI11_FOUND TRUE)
