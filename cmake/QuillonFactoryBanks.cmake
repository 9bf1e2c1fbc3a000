# The factory banks, compiled at build time from their descriptions (factory/factory-a.txt and
# factory/factory-b.txt, which read the harmonies under factory/harmonies) with `quillon bank --describe`:
# ${CMAKE_BINARY_DIR}/Banks/Factory A.bpb and Factory B.bpb. QUILLON_FACTORY_BANKS lists the banks made;
# the installation copies them into its Banks folder and the tests play every program of them.
set(QUILLON_FACTORY_BANK_DIR "${CMAKE_BINARY_DIR}/Banks")
# A cross build compiles them with the native build's tool (QUILLON_NATIVE_TOOLS_DIR).
if(CMAKE_CROSSCOMPILING)
    set(_quillon_bank_tool "${QUILLON_NATIVE_TOOLS_DIR}/quillon")
else()
    set(_quillon_bank_tool quillon)
endif()
file(GLOB_RECURSE _quillon_factory_harmonies CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/factory/harmonies/*")
set(QUILLON_FACTORY_BANKS)
# A description added later is noticed at the next build.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/factory")
foreach(_letter A B)
    string(TOLOWER "${_letter}" _lower)
    set(_description "${PROJECT_SOURCE_DIR}/factory/factory-${_lower}.txt")
    if(NOT EXISTS "${_description}")
        continue()
    endif()
    set(_bank "${QUILLON_FACTORY_BANK_DIR}/Factory ${_letter}.bpb")
    add_custom_command(OUTPUT "${_bank}"
        COMMAND ${CMAKE_COMMAND} -E make_directory "${QUILLON_FACTORY_BANK_DIR}"
        COMMAND ${_quillon_bank_tool} bank --describe "${_description}" -o "${_bank}"
        DEPENDS "${_description}" ${_quillon_factory_harmonies} ${_quillon_bank_tool}
        COMMENT "Compiling the Factory ${_letter} bank"
        VERBATIM)
    list(APPEND QUILLON_FACTORY_BANKS "${_bank}")
endforeach()
add_custom_target(factory_banks ALL DEPENDS ${QUILLON_FACTORY_BANKS})
