# Layering the build enforces. No target gets the source root on its include path: each folder's
# headers are reached through an include root of its own in the build tree, which holds a link to
# that folder only ("host/mfc" -> <source>/host/mfc). A target sees the headers of the folders it
# links and nothing else, so an include of a folder it may not use fails to compile.

# canhost_headers(NAME PATH...): an INTERFACE target whose include root reaches exactly the given
# folders or single headers, under the paths the sources name them by ("host/mfc/CString.h").
function(canhost_headers name)
  set(root ${CMAKE_BINARY_DIR}/include/${name})
  foreach(path IN LISTS ARGN)
    set(link ${root}/${path})
    get_filename_component(parent ${link} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    if(NOT IS_SYMLINK ${link})
      file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${path} ${link} SYMBOLIC)
    endif()
  endforeach()
  add_library(${name} INTERFACE)
  target_include_directories(${name} INTERFACE ${root})
endfunction()

# canhost_component(TARGET FOLDER folder | HEADERS headers-target [EXPOSES target...]
#                   [USES target...])
# The OBJECT library of one folder, combined into a shared library by the folder above it. Its own
# headers reach whoever links it. USES names the targets whose headers only its sources include
# (PRIVATE: a user of this folder does not see them through it); EXPOSES the ones its headers
# include (PUBLIC: whoever includes those headers needs them too). A dependency that is not in the
# folder's headers stays private, so a user that includes it has to declare it itself.
# Folders add their sources with target_sources(TARGET PRIVATE ...).
function(canhost_component target)
  cmake_parse_arguments(C "" "FOLDER;HEADERS" "EXPOSES;USES" ${ARGN})
  if(C_FOLDER)
    canhost_headers(${target}_headers ${C_FOLDER})
    set(C_HEADERS ${target}_headers)
  endif()
  add_library(${target} OBJECT)
  target_link_libraries(${target} PUBLIC ${C_HEADERS} ${C_EXPOSES}
                                  PRIVATE ${C_USES} canhost_warnings)
  set_property(GLOBAL APPEND PROPERTY CANHOST_COMPONENTS ${target})
endfunction()

# A folder may exist before its first source; CMake refuses a library without sources, so such a
# component gets an empty translation unit until it has sources of its own.
function(canhost_complete_components)
  get_property(components GLOBAL PROPERTY CANHOST_COMPONENTS)
  set(empty ${CMAKE_BINARY_DIR}/include/EmptyComponent.cpp)
  file(CONFIGURE OUTPUT ${empty} CONTENT "// A component without sources yet.\n")
  foreach(target IN LISTS components)
    get_target_property(sources ${target} SOURCES)
    if(NOT sources)
      target_sources(${target} PRIVATE ${empty})
    endif()
  endforeach()
endfunction()
