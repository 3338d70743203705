# Compiles the JUCE modules once, as one static library that every target links.
# Linking the juce:: module targets directly into several targets would compile
# JUCE once per target; here their sources go into vextal_juce_modules only and
# their include folders and definitions are re-exported to its users.

find_package(JUCE CONFIG REQUIRED)
find_package(PkgConfig REQUIRED)
pkg_check_modules(VEXTAL_JUCE_SYSLIBS REQUIRED IMPORTED_TARGET
  zlib flac vorbis vorbisenc vorbisfile ogg libpng libjpeg freetype2 fontconfig alsa)

set(VEXTAL_JUCE_MODULES
  juce::juce_core juce::juce_events juce::juce_data_structures
  juce::juce_audio_basics juce::juce_audio_devices juce::juce_audio_formats
  juce::juce_graphics juce::juce_gui_basics juce::juce_gui_extra)

add_library(vextal_juce_modules STATIC)
target_link_libraries(vextal_juce_modules
  PRIVATE ${VEXTAL_JUCE_MODULES}
  PUBLIC juce::juce_recommended_config_flags PkgConfig::VEXTAL_JUCE_SYSLIBS
         Threads::Threads ${CMAKE_DL_LIBS})

set(VEXTAL_JUCE_DEFINITIONS
  JUCE_GLOBAL_MODULE_SETTINGS_INCLUDED=1
  JUCE_STANDALONE_APPLICATION=1
  JUCE_WEB_BROWSER=0
  JUCE_USE_CURL=0
  JUCE_DISPLAY_SPLASH_SCREEN=0
  JUCE_MODAL_LOOPS_PERMITTED=1
  JUCE_USE_XRANDR=1
  JUCE_JACK=1
  JUCE_ALSA=1
  JUCE_APPLICATION_NAME_STRING="Vextal"
  JUCE_APPLICATION_VERSION_STRING="${PROJECT_VERSION}")
target_compile_definitions(vextal_juce_modules PUBLIC ${VEXTAL_JUCE_DEFINITIONS}
  $<IF:$<CONFIG:Debug>,DEBUG=1 _DEBUG=1,NDEBUG=1 _NDEBUG=1>)

foreach(module IN LISTS VEXTAL_JUCE_MODULES)
  target_include_directories(vextal_juce_modules SYSTEM INTERFACE
    $<TARGET_PROPERTY:${module},INTERFACE_INCLUDE_DIRECTORIES>)
  target_compile_definitions(vextal_juce_modules INTERFACE
    $<TARGET_PROPERTY:${module},INTERFACE_COMPILE_DEFINITIONS>)
endforeach()
# JUCE's own sources are not ours: no warnings from them.
target_compile_options(vextal_juce_modules PRIVATE -w)
