# JUCE compiled once, into one static library that the processor, the plug-in,
# the tests and the tools link. Consumers see the module headers and the same
# configuration macros, but never compile a JUCE module themselves.

set(VARNOKE_JUCE_MODULES
  juce_core
  juce_events
  juce_data_structures
  juce_graphics
  juce_gui_basics
  juce_gui_extra
  juce_audio_basics
  juce_audio_formats
  juce_audio_processors)

# The Windows plug-in reads no audio files: no codecs there.
if(WIN32)
  set(VARNOKE_USE_SYSTEM_CODECS 0)
else()
  set(VARNOKE_USE_SYSTEM_CODECS 1)
endif()

set(VARNOKE_JUCE_DEFINITIONS
  JUCE_WEB_BROWSER=0
  JUCE_USE_CURL=0
  JUCE_DISPLAY_SPLASH_SCREEN=0
  JUCE_REPORT_APP_USAGE=0
  JUCE_MODAL_LOOPS_PERMITTED=0
  JUCE_PLUGINHOST_VST=0
  JUCE_PLUGINHOST_VST3=0
  JUCE_PLUGINHOST_LV2=0
  JUCE_PLUGINHOST_AU=0
  JUCE_PLUGINHOST_LADSPA=0
  JUCE_USE_FLAC=${VARNOKE_USE_SYSTEM_CODECS}
  JUCE_USE_OGGVORBIS=${VARNOKE_USE_SYSTEM_CODECS}
  JUCE_USE_MP3AUDIOFORMAT=0
  JUCE_USE_LAME_AUDIO_FORMAT=0
  JUCE_USE_WINDOWS_MEDIA_FORMAT=0
  JUCE_STRICT_REFCOUNTEDPOINTER=1
  $<$<CONFIG:Debug>:DEBUG=1;_DEBUG=1>
  $<$<NOT:$<CONFIG:Debug>>:NDEBUG=1>)

if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/WindowsLibraries.cmake)
  set(VARNOKE_JUCE_PLATFORM_LIBRARIES varnoke_windows_libraries)
else()
  # FLAC and Ogg Vorbis come from the system's codec libraries. Only programs that
  # read or write those formats pull the audio-format code in, and with it the codecs.
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(VARNOKE_CODECS REQUIRED IMPORTED_TARGET flac vorbis vorbisenc vorbisfile ogg)
  set(VARNOKE_JUCE_PLATFORM_LIBRARIES juce::pkgconfig_JUCE_IMG_LINUX_DEPS PkgConfig::VARNOKE_CODECS)
endif()

# Adds a static library of the modules with the definitions above; the
# arguments after the name replace or add definitions (a test host that loads
# VST3 plug-ins turns JUCE_PLUGINHOST_VST3 on in its own JUCE build).
function(varnoke_add_juce_library name)
  set(definitions ${VARNOKE_JUCE_DEFINITIONS})
  foreach(definition IN LISTS ARGN)
    string(REGEX REPLACE "=.*" "" key "${definition}")
    list(FILTER definitions EXCLUDE REGEX "^${key}=")
    list(APPEND definitions ${definition})
  endforeach()

  add_library(${name} STATIC)
  set(module_targets)
  foreach(module IN LISTS VARNOKE_JUCE_MODULES)
    list(APPEND module_targets juce::${module})
    # Re-export what the module target would give its consumers, without its sources.
    target_include_directories(${name} SYSTEM PUBLIC
      $<TARGET_PROPERTY:juce::${module},INTERFACE_INCLUDE_DIRECTORIES>)
    target_compile_definitions(${name} PUBLIC
      $<TARGET_PROPERTY:juce::${module},INTERFACE_COMPILE_DEFINITIONS>)
  endforeach()
  target_link_libraries(${name}
    PRIVATE ${module_targets}
    PUBLIC ${VARNOKE_JUCE_PLATFORM_LIBRARIES} varnoke_compile_options)
  target_compile_definitions(${name} PUBLIC ${definitions})
  # JUCE's own sources are not ours to warn about.
  target_compile_options(${name} PRIVATE -w)
endfunction()

varnoke_add_juce_library(varnoke_juce)
