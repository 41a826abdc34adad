# Who Varnoke is, defined once: the plug-in formats, the Windows version
# resource, varnoke-render and the packages all read these values (in CMake,
# or in C++ through the generated ProductIdentity.h of varnoke_identity).
# The version is the project's, from project() in the top-level CMakeLists.txt.

set(VARNOKE_PRODUCT_NAME "Varnoke")
set(VARNOKE_VENDOR "Ostrelund")
set(VARNOKE_DESCRIPTION "Stereo tone shaper with a fixed 700 Hz crossover")
# The VST 2 unique ID. 'Plug' is also JUCE's default plug-in code, but hosts
# have saved projects and presets under it: it must never change.
set(VARNOKE_VST2_UNIQUE_ID "Plug")

# The VST3 and LV2 plug-ins are Varnoke's own: a manufacturer code for
# Ostrelund and a plug-in code for Varnoke (never 'Plug', which every JUCE
# plug-in that kept the default shares). Hosts save projects under the class
# IDs and the URI derived from them: never change any of these once released.
set(VARNOKE_MANUFACTURER_CODE "Ostr")
set(VARNOKE_PLUGIN_CODE "Vrnk")
set(VARNOKE_LV2_URI "urn:ostrelund:varnoke")

# JUCE's VST3 wrapper builds its class IDs from two fixed words and the two
# codes; the component's ID is the one hosts show and store.
function(varnoke_hex_of_code code out)
  string(HEX "${code}" hex)
  string(TOUPPER "${hex}" hex)
  set(${out} ${hex} PARENT_SCOPE)
endfunction()
varnoke_hex_of_code(${VARNOKE_MANUFACTURER_CODE} VARNOKE_MANUFACTURER_CODE_HEX)
varnoke_hex_of_code(${VARNOKE_PLUGIN_CODE} VARNOKE_PLUGIN_CODE_HEX)
set(VARNOKE_VST3_COMPONENT_CLASS_ID "ABCDEF019182FAEB${VARNOKE_MANUFACTURER_CODE_HEX}${VARNOKE_PLUGIN_CODE_HEX}")
set(VARNOKE_VST3_CONTROLLER_CLASS_ID "ABCDEF011234ABCD${VARNOKE_MANUFACTURER_CODE_HEX}${VARNOKE_PLUGIN_CODE_HEX}")

# VST 2 reports the version as one number: major * 100 + minor * 10 + patch.
math(EXPR VARNOKE_VENDOR_VERSION
     "${PROJECT_VERSION_MAJOR} * 100 + ${PROJECT_VERSION_MINOR} * 10 + ${PROJECT_VERSION_PATCH}")

set(VARNOKE_IDENTITY_DIR ${PROJECT_BINARY_DIR}/identity)
configure_file(${CMAKE_CURRENT_LIST_DIR}/ProductIdentity.h.in ${VARNOKE_IDENTITY_DIR}/include/ProductIdentity.h @ONLY)
# The Windows version resource of Varnoke.dll, from the same values.
configure_file(${CMAKE_CURRENT_LIST_DIR}/Varnoke.rc.in ${VARNOKE_IDENTITY_DIR}/Varnoke.rc @ONLY)
set(VARNOKE_VERSION_RESOURCE ${VARNOKE_IDENTITY_DIR}/Varnoke.rc)

add_library(varnoke_identity INTERFACE)
target_include_directories(varnoke_identity INTERFACE ${VARNOKE_IDENTITY_DIR}/include)
