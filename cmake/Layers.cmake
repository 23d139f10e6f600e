# vb_layer(<folder> [USES <layer>...] [QT]): the folder's sources as the static
# library vb_<folder>, linked to the layers it uses.
#
# Its sources compile against an include root of their own, build/layers/<folder>/,
# which holds a link to the folder itself and to each layer below it that it may use
# (those it names and, in turn, theirs), and nothing else: `#include "restore/X.h"`
# from a folder that may not use restore/ is "file not found". A folder's sources
# include by the folder-qualified path ("zip/ArchiveReader.h"), never by "../".
# QT: the layer is made of widgets and links Qt's widget libraries.
function(vb_layer folder)
  cmake_parse_arguments(PARSE_ARGV 1 arg "QT" "" "USES")
  set(target vb_${folder})
  add_library(${target} STATIC)

  set(visible ${folder})
  foreach(used IN LISTS arg_USES)
    get_property(below GLOBAL PROPERTY VB_LAYER_VISIBLE_${used})
    if(NOT below)
      message(FATAL_ERROR "layer ${folder} uses ${used}, which is not declared before it")
    endif()
    list(APPEND visible ${below})
    target_link_libraries(${target} PUBLIC vb_${used})
  endforeach()
  list(REMOVE_DUPLICATES visible)
  set_property(GLOBAL PROPERTY VB_LAYER_VISIBLE_${folder} ${visible})

  set(root ${CMAKE_BINARY_DIR}/layers/${folder})
  file(REMOVE_RECURSE ${root})
  file(MAKE_DIRECTORY ${root})
  foreach(dir IN LISTS visible)
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${dir} ${root}/${dir} SYMBOLIC)
  endforeach()
  target_include_directories(${target} PRIVATE ${root})

  if(arg_QT)
    set_target_properties(${target} PROPERTIES AUTOMOC ON)
    target_link_libraries(${target} PUBLIC Qt6::Widgets Qt6::PrintSupport)
  else()
    set_target_properties(${target} PROPERTIES AUTOMOC OFF)
  endif()
  add_subdirectory(${folder})
endfunction()
