# Included from the top CMakeLists: draws the pictures and icons into ${CMAKE_BINARY_DIR}/res
# at build time and describes how resources/Sorvex.rc is compiled.
#
#   VELMORA_RC_SOURCES   the .rc to add to the program's sources
#   VELMORA_RC_INCLUDE   folders windres needs (-I) to find the drawn files and the manifest
#   velmora_resources    custom target that draws the files
#   velmora_add_resources(<target>)  does all of it for one executable

get_filename_component(VELMORA_RES_ROOT "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(VELMORA_RES_DIR "${CMAKE_BINARY_DIR}/res")
set(VELMORA_RES_SCRIPT "${VELMORA_RES_ROOT}/scripts/draw-resources.sh")

find_program(VELMORA_BASH bash)
find_program(VELMORA_CONVERT convert)
if(NOT VELMORA_BASH OR NOT VELMORA_CONVERT)
  message(FATAL_ERROR "drawing the resources needs bash and ImageMagick's convert")
endif()

set(VELMORA_RES_OUTPUTS)
foreach(f BtnClean.bmp BtnAdvanceClean.bmp HomepagePanelPure.bmp ImgRight.bmp ImgError.bmp
          BusyPicture.bmp BusyFrames.bmp Banner.bmp OneKeyPicture.bmp OptionIcons.bmp Sorvex.ico)
  list(APPEND VELMORA_RES_OUTPUTS "${VELMORA_RES_DIR}/${f}")
endforeach()

add_custom_command(
  OUTPUT ${VELMORA_RES_OUTPUTS}
  COMMAND "${VELMORA_BASH}" "${VELMORA_RES_SCRIPT}" "${VELMORA_RES_DIR}"
  DEPENDS "${VELMORA_RES_SCRIPT}"
  COMMENT "Drawing the program's pictures and icons"
  VERBATIM)
add_custom_target(velmora_resources DEPENDS ${VELMORA_RES_OUTPUTS})

# The version resource takes its numbers from the file VERSION (major.minor.patch).
file(STRINGS "${VELMORA_RES_ROOT}/VERSION" VELMORA_VERSION LIMIT_COUNT 1)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${VELMORA_RES_ROOT}/VERSION")
string(REGEX MATCH "^([0-9]+)\\.([0-9]+)\\.([0-9]+)$" velmora_version_ok "${VELMORA_VERSION}")
if(NOT velmora_version_ok)
  message(FATAL_ERROR "VERSION must read major.minor.patch, not '${VELMORA_VERSION}'")
endif()
set(VELMORA_VERSION_MAJOR ${CMAKE_MATCH_1})
set(VELMORA_VERSION_MINOR ${CMAKE_MATCH_2})
set(VELMORA_VERSION_PATCH ${CMAKE_MATCH_3})
configure_file("${VELMORA_RES_ROOT}/resources/Version.h.in" "${VELMORA_RES_DIR}/Version.h" @ONLY)

set(VELMORA_RC_SOURCES "${VELMORA_RES_ROOT}/resources/Sorvex.rc")
set(VELMORA_RC_INCLUDE "${VELMORA_RES_DIR}" "${VELMORA_RES_ROOT}/resources")
# windres reports no dependencies of its own: recompile the .rc when a picture changes.
set_source_files_properties(${VELMORA_RC_SOURCES} PROPERTIES
  OBJECT_DEPENDS "${VELMORA_RES_OUTPUTS};${VELMORA_RES_ROOT}/resources/Sorvex.manifest;${VELMORA_RES_DIR}/Version.h")

function(velmora_add_resources target)
  target_sources(${target} PRIVATE ${VELMORA_RC_SOURCES})
  add_dependencies(${target} velmora_resources)
  target_include_directories(${target} PRIVATE "$<$<COMPILE_LANGUAGE:RC>:${VELMORA_RC_INCLUDE}>")
endfunction()
