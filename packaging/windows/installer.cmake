# The Windows installer, Tonvela-<version>-setup.exe in the build folder, made by NSIS from
# tonvela.nsi (UTF-8 with a byte order mark, as NSIS wants for its Chinese texts).
find_program(TONVELA_MAKENSIS makensis)
if(NOT TONVELA_MAKENSIS)
  message(STATUS "makensis not found: no Windows installer")
  return()
endif()

set(TONVELA_INSTALLER ${CMAKE_BINARY_DIR}/Tonvela-${PROJECT_VERSION}-setup.exe)
set(nsi ${CMAKE_CURRENT_LIST_DIR}/tonvela.nsi)
add_custom_command(
  OUTPUT ${TONVELA_INSTALLER}
  COMMAND ${TONVELA_MAKENSIS} -V2 -INPUTCHARSET UTF8
          -DVERSION=${PROJECT_VERSION}
          -DPROGRAM=$<TARGET_FILE:tonvela>
          -DVOICE=${PROJECT_SOURCE_DIR}/resources/voice/reminder_zh.wav
          -DICON=$<TARGET_PROPERTY:tonvela,TONVELA_ICON>
          -DOUTPUT=${TONVELA_INSTALLER}
          ${nsi}
  DEPENDS ${nsi} tonvela ${PROJECT_SOURCE_DIR}/resources/voice/reminder_zh.wav
  COMMENT "Windows installer Tonvela-${PROJECT_VERSION}-setup.exe"
  VERBATIM)
add_custom_target(tonvela_installer ALL DEPENDS ${TONVELA_INSTALLER})
