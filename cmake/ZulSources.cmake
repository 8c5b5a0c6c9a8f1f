# Each subsystem directory holds its portable sources, in topic folders where
# it has several; platform code lives in a posix/ or win32/ folder and only the
# one for the target is built. Adding a source file is therefore just adding
# the file.
function(zul_collect_sources out dir)
  file(GLOB_RECURSE all CONFIGURE_DEPENDS ${dir}/*.cpp)
  set(result)
  foreach(file IN LISTS all)
    file(RELATIVE_PATH rel ${dir} ${file})
    if(rel MATCHES "(^|/)(posix|win32)/")
      if(NOT rel MATCHES "(^|/)${ZUL_PLATFORM}/")
        continue()
      endif()
    endif()
    list(APPEND result ${file})
  endforeach()
  set(${out} ${result} PARENT_SCOPE)
endfunction()

# A layer of the core is a library of its own that links only the layers
# below it and sees only their headers: every layer's include root is a
# folder of the build holding just that layer, so an include that points up
# names a header the compiler cannot find.
set(ZUL_LAYERS)
function(zul_layer name)
  cmake_parse_arguments(PARSE_ARGV 1 L "" "" "BELOW")
  zul_collect_sources(sources ${PROJECT_SOURCE_DIR}/src/${name})
  add_library(zul_${name} STATIC ${sources})
  set(root ${PROJECT_BINARY_DIR}/layers/${name})
  if(NOT EXISTS ${root}/${name})
    file(MAKE_DIRECTORY ${root})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${name} ${root}/${name} SYMBOLIC RESULT linked)
    if(NOT linked EQUAL 0)
      # Without symbolic links (some Windows set-ups) the layers share the
      # source root; tools/test.d/layers.sh still keeps them apart.
      set(root ${PROJECT_SOURCE_DIR}/src)
    endif()
  endif()
  target_include_directories(zul_${name} PUBLIC ${root})
  foreach(below IN LISTS L_BELOW)
    target_link_libraries(zul_${name} PUBLIC zul_${below})
  endforeach()
  set(ZUL_LAYERS ${ZUL_LAYERS} zul_${name} PARENT_SCOPE)
endfunction()
