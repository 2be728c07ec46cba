# Folders are layers. Each layer builds a static library that links only the
# layers below it, and compiles with an include root of its own: a folder
# under the build tree holding a link to each folder the layer may include
# from, and nothing else. An include of a folder above is then a missing
# file, and the build stops there.

# The shared layers from the bottom up; each may include the ones before it.
set(TAVRA_LAYERS common platform request formats logs render basket checkout)
# Every folder that holds headers, for the checks of what a target reaches.
set(TAVRA_HEADER_FOLDERS ${TAVRA_LAYERS} ship tavra mailer shop_tool tests fuzz)

# Gives `target` the include root `name`, which reaches exactly the folders
# given; a root made by an earlier configuration loses the folders no longer
# given.
function(tavra_include_root target name)
  set(root ${PROJECT_BINARY_DIR}/include_roots/${name})
  file(MAKE_DIRECTORY ${root})
  file(GLOB old LIST_DIRECTORIES true ${root}/*)
  foreach(entry IN LISTS old)
    get_filename_component(folder ${entry} NAME)
    if(NOT folder IN_LIST ARGN)
      file(REMOVE ${entry})
    endif()
  endforeach()
  foreach(folder IN LISTS ARGN)
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  endforeach()
  target_include_directories(${target} PRIVATE ${root})
  set_property(GLOBAL APPEND PROPERTY TAVRA_ROOTED_TARGETS ${target})
  set_property(TARGET ${target} PROPERTY TAVRA_REACHES ${ARGN})
endfunction()

# The .cpp files of `folder` but its program's main.
function(tavra_folder_sources var folder)
  file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${folder}/*.cpp)
  list(FILTER sources EXCLUDE REGEX "_main\\.cpp$")
  set(${var} ${sources} PARENT_SCOPE)
endfunction()

# One library per shared layer: tavra_common, tavra_platform, ...
function(tavra_add_layers)
  set(below "")
  foreach(layer IN LISTS TAVRA_LAYERS)
    tavra_folder_sources(sources ${layer})
    add_library(tavra_${layer} STATIC ${sources})
    tavra_include_root(tavra_${layer} ${layer} ${below} ${layer})
    if(below)
      list(GET below -1 next_down)
      target_link_libraries(tavra_${layer} PUBLIC tavra_${next_down})
    endif()
    list(APPEND below ${layer})
  endforeach()
endfunction()

# A target above the shared layers: it reaches all of them and the folders
# `ARGN`.
function(tavra_on_top target)
  string(JOIN _ name ${ARGN})
  tavra_include_root(${target} ${name} ${TAVRA_LAYERS} ${ARGN})
endfunction()

# Writes `text` to `file` unless it holds that already.
function(tavra_write_if_changed file text)
  set(old "")
  if(EXISTS ${file})
    file(READ ${file} old)
  endif()
  if(NOT old STREQUAL text)
    file(WRITE ${file} "${text}")
  endif()
endfunction()

# One test per target with an include root. Compiled with the target's
# include directories, a probe finds a header of each folder the target may
# include and none of any other folder, and an include of a header of the
# first such other folder fails for want of the file. (The two are apart:
# the compiler may take a file it was asked about before as found.)
function(tavra_add_layer_tests)
  get_property(targets GLOBAL PROPERTY TAVRA_ROOTED_TARGETS)
  set(probes ${PROJECT_BINARY_DIR}/include_roots/probes)
  foreach(target IN LISTS targets)
    get_target_property(reaches ${target} TAVRA_REACHES)
    set(probe "")
    set(refused "")
    foreach(folder IN LISTS TAVRA_HEADER_FOLDERS)
      file(GLOB headers CONFIGURE_DEPENDS RELATIVE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/${folder}/*.h)
      list(SORT headers)
      list(GET headers 0 header)
      if(folder IN_LIST reaches)
        string(APPEND probe "#if !__has_include(\"${header}\")\n#error \"${target} misses ${folder}/\"\n#endif\n")
      else()
        string(APPEND probe "#if __has_include(\"${header}\")\n#error \"${target} reaches ${folder}/\"\n#endif\n")
        if(NOT refused)
          set(refused ${header})
        endif()
      endif()
    endforeach()
    tavra_write_if_changed(${probes}/${target}.cpp "${probe}")
    tavra_write_if_changed(${probes}/${target}_upward.cpp "#include \"${refused}\"\n")
    add_test(NAME Layers.${target}_includes_no_folder_above
             COMMAND ${CMAKE_COMMAND} -DCOMPILER=${CMAKE_CXX_COMPILER} -DPROBE=${probes}/${target}.cpp
                     -DUPWARD=${probes}/${target}_upward.cpp -DREFUSED=${refused}
                     "-DINCLUDES=$<JOIN:$<TARGET_PROPERTY:${target},INCLUDE_DIRECTORIES>,|>"
                     -P ${PROJECT_SOURCE_DIR}/cmake/check_include_root.cmake)
  endforeach()
endfunction()
