# Each subsystem directory holds its portable sources; platform code lives in
# the subsystem's posix/ or win32/ folder and only the one for the target is built.
# Adding a source file is therefore just adding the file.
function(zul_collect_sources out)
  set(result)
  foreach(sub IN LISTS ARGN)
    file(GLOB portable CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${sub}/*.cpp)
    file(GLOB platform CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${sub}/${ZUL_PLATFORM}/*.cpp)
    list(APPEND result ${portable} ${platform})
  endforeach()
  set(${out} ${result} PARENT_SCOPE)
endfunction()
