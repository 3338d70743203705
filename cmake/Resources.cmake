# The shipped resources: the localized string tables of Resources/, the
# interface images, which vextal_imagegen draws from the image table at build
# time, and the user's guides. All are copied into a "Resources" folder beside
# the application and beside each test program, where the resource lookup
# finds them.

add_executable(vextal_imagegen tools/imagegen/ImageGen.cpp)
target_include_directories(vextal_imagegen PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(vextal_imagegen PRIVATE vextal_juce_modules)
target_compile_options(vextal_imagegen PRIVATE ${VEXTAL_WARNINGS})

set(VEXTAL_IMAGES_DIR ${PROJECT_BINARY_DIR}/generated/images)
set(VEXTAL_IMAGES_STAMP ${PROJECT_BINARY_DIR}/generated/images.stamp)
add_custom_command(
  OUTPUT ${VEXTAL_IMAGES_STAMP}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${VEXTAL_IMAGES_DIR}
  COMMAND vextal_imagegen ${VEXTAL_IMAGES_DIR}
  COMMAND ${CMAKE_COMMAND} -E touch ${VEXTAL_IMAGES_STAMP}
  DEPENDS vextal_imagegen
  COMMENT "Drawing the interface images"
  VERBATIM)

# The user's guides, which the Help command opens: vextal_userguide lays out
# the guide texts of docs/guide/ as PDF documents with the system's fonts.
pkg_check_modules(VEXTAL_PANGOCAIRO REQUIRED IMPORTED_TARGET pangocairo cairo-pdf fontconfig)
add_executable(vextal_userguide tools/userguide/UserGuide.cpp)
target_link_libraries(vextal_userguide PRIVATE PkgConfig::VEXTAL_PANGOCAIRO)
target_compile_options(vextal_userguide PRIVATE ${VEXTAL_WARNINGS})

set(VEXTAL_GUIDE_DIR ${PROJECT_BINARY_DIR}/generated/guide)
set(VEXTAL_GUIDE_STAMP ${PROJECT_BINARY_DIR}/generated/guide.stamp)
add_custom_command(
  OUTPUT ${VEXTAL_GUIDE_STAMP}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${VEXTAL_GUIDE_DIR}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${VEXTAL_GUIDE_DIR}
  COMMAND vextal_userguide ${PROJECT_SOURCE_DIR}/docs/guide/en.txt "${VEXTAL_GUIDE_DIR}/Users Guide.pdf" en
  COMMAND vextal_userguide ${PROJECT_SOURCE_DIR}/docs/guide/ja.txt "${VEXTAL_GUIDE_DIR}/Users Guide(J).pdf" ja
  COMMAND ${CMAKE_COMMAND} -E touch ${VEXTAL_GUIDE_STAMP}
  DEPENDS vextal_userguide ${PROJECT_SOURCE_DIR}/docs/guide/en.txt ${PROJECT_SOURCE_DIR}/docs/guide/ja.txt
  COMMENT "Making the user's guides"
  VERBATIM)

file(GLOB_RECURSE VEXTAL_RESOURCE_FILES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/Resources/*)

# Copies the resources into a "Resources" folder in each folder that holds one
# of the targets' executables, anew whenever a resource file or an image
# changes. Targets that share a folder share the copy. The player panel's
# benchmark draws the interface images.
set(VEXTAL_RESOURCE_TARGETS Vextal vextal_core_tests vextal_songlist_tests vextal_app_tests PlayerPanelBench)
set(VEXTAL_RESOURCE_FOLDERS)
foreach(target IN LISTS VEXTAL_RESOURCE_TARGETS)
  if(TARGET ${target})
    get_target_property(folder ${target} RUNTIME_OUTPUT_DIRECTORY)
    if(NOT folder)
      get_target_property(folder ${target} BINARY_DIR)
    endif()
    list(APPEND VEXTAL_RESOURCE_FOLDERS ${folder})
  endif()
endforeach()
list(REMOVE_DUPLICATES VEXTAL_RESOURCE_FOLDERS)

set(VEXTAL_RESOURCE_STAMPS)
foreach(folder IN LISTS VEXTAL_RESOURCE_FOLDERS)
  file(RELATIVE_PATH name ${PROJECT_BINARY_DIR} ${folder})
  string(MAKE_C_IDENTIFIER "resources_${name}" name)
  set(stamp ${PROJECT_BINARY_DIR}/generated/${name}.stamp)
  add_custom_command(
    OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${folder}/Resources
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${PROJECT_SOURCE_DIR}/Resources ${folder}/Resources
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${VEXTAL_IMAGES_DIR} ${folder}/Resources
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${VEXTAL_GUIDE_DIR} ${folder}/Resources
    COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
    DEPENDS ${VEXTAL_RESOURCE_FILES} ${VEXTAL_IMAGES_STAMP} ${VEXTAL_GUIDE_STAMP}
    COMMENT "Copying the resources to ${folder}/Resources"
    VERBATIM)
  list(APPEND VEXTAL_RESOURCE_STAMPS ${stamp})
endforeach()

add_custom_target(vextal_resources DEPENDS ${VEXTAL_RESOURCE_STAMPS})
foreach(target IN LISTS VEXTAL_RESOURCE_TARGETS)
  if(TARGET ${target})
    add_dependencies(${target} vextal_resources)
  endif()
endforeach()

# The test of the message keys reads the sources.
if(TARGET vextal_core_tests)
  target_compile_definitions(vextal_core_tests PRIVATE VEXTAL_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
endif()
