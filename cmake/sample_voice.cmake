# The sample voice, beside the programs in the build tree under the name they look for, so a
# fresh build speaks. Its install rule is with the packaging.
set(TONVELA_SAMPLE_VOICE ${PROJECT_SOURCE_DIR}/resources/voice/reminder_zh.wav)
set(TONVELA_VOICE_OUTPUT ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/语音文件.WAV)
add_custom_command(
  OUTPUT ${TONVELA_VOICE_OUTPUT}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${TONVELA_SAMPLE_VOICE} ${TONVELA_VOICE_OUTPUT}
  DEPENDS ${TONVELA_SAMPLE_VOICE}
  COMMENT "Placing the sample voice beside the program")
add_custom_target(tonvela_sample_voice ALL DEPENDS ${TONVELA_VOICE_OUTPUT})
