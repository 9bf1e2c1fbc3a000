# Installation (`cmake --install <build folder>`).
#
# Two layouts:
# - Per-user (the default, when CMAKE_INSTALL_PREFIX is not given): Quillon.so goes into ~/.vst, the folder
#   most Linux VST 2 hosts scan, and the installation folder is ~/.vst/Quillon. The installation records
#   "InstallFolder" (and, where not set yet, the example program and bank folders) in the installing user's
#   settings ($XDG_CONFIG_HOME, default ~/.config, "Brindmor Audio/Quillon/settings.conf").
# - Prefix (CMAKE_INSTALL_PREFIX given when configuring, or QUILLON_USER_INSTALL=OFF): Quillon.so goes into
#   <prefix>/lib/vst and the installation folder is <prefix>/share/Quillon; nothing is recorded, since the
#   plug-in finds <prefix>/share/Quillon from its own location. `cmake --install --prefix P` and DESTDIR
#   work as usual here.
#
# The installation folder holds:
#   Data/factory.bma       the factory MIDI controller assignments (Data/custom.bma appears when MIDI learn
#                          changes them; the folder must stay writable for that)
#   Programs/*.bpa         example programs, authored at install time with `quillon program`
#   Banks/Factory A.bpb    the factory banks, compiled at build time from their descriptions
#   Banks/Factory B.bpb    (cmake/QuillonFactoryBanks.cmake)
#
# QUILLON_VST_DIR and QUILLON_DATA_DIR override the two folders (absolute, or relative to the prefix);
# QUILLON_RECORD_SETTINGS switches the recording on or off.

# CMake tells whether the prefix was left at its default only in the first configure run of a build
# folder; a folder configured before this option existed counts as per-user when its prefix is the default.
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT OR
   (EXISTS "${CMAKE_BINARY_DIR}/CMakeCache.txt" AND CMAKE_INSTALL_PREFIX STREQUAL "/usr/local"))
    set(_quillon_user_default ON)
else()
    set(_quillon_user_default OFF)
endif()
option(QUILLON_USER_INSTALL "Install for the current user into ~/.vst (OFF: into CMAKE_INSTALL_PREFIX)"
       ${_quillon_user_default})
set(QUILLON_VST_DIR "" CACHE PATH "Folder for Quillon.so (empty: ~/.vst, or lib/vst under the prefix)")
set(QUILLON_DATA_DIR "" CACHE PATH "Installation folder (empty: ~/.vst/Quillon, or share/Quillon under the prefix)")
set(QUILLON_RECORD_SETTINGS "" CACHE STRING "Record InstallFolder in the user's settings (ON/OFF; empty: ON for a per-user install)")

if(QUILLON_USER_INSTALL)
    set(_quillon_vst_dir "$ENV{HOME}/.vst")
    set(_quillon_data_dir "$ENV{HOME}/.vst/Quillon")
    set(_quillon_record ON)
else()
    set(_quillon_vst_dir "lib/vst")
    set(_quillon_data_dir "share/Quillon")
    set(_quillon_record OFF)
endif()
if(QUILLON_VST_DIR)
    set(_quillon_vst_dir "${QUILLON_VST_DIR}")
endif()
if(QUILLON_DATA_DIR)
    set(_quillon_data_dir "${QUILLON_DATA_DIR}")
endif()
if(NOT QUILLON_RECORD_SETTINGS STREQUAL "")
    set(_quillon_record ${QUILLON_RECORD_SETTINGS})
endif()

# The installation script needs the data folder as an absolute path, which for a prefix layout is only
# known when it runs (the prefix may be changed with --prefix).
if(IS_ABSOLUTE "${_quillon_data_dir}")
    set(_quillon_data_dir_at_install "${_quillon_data_dir}")
else()
    set(_quillon_data_dir_at_install "\${CMAKE_INSTALL_PREFIX}/${_quillon_data_dir}")
endif()

# Reads and writes the settings store; the installation records its folder with it.
add_executable(quillon-settings ${PROJECT_SOURCE_DIR}/tools/settings/QuillonSettings.cpp)
target_link_libraries(quillon-settings PRIVATE quillon_platform)

install(TARGETS Quillon LIBRARY DESTINATION "${_quillon_vst_dir}")
install(FILES ${PROJECT_SOURCE_DIR}/data/factory.bma DESTINATION "${_quillon_data_dir}/Data")
install(FILES ${QUILLON_FACTORY_BANKS} DESTINATION "${_quillon_data_dir}/Banks")
install(CODE "
set(QUILLON_TOOL \"$<TARGET_FILE:quillon>\")
set(QUILLON_SETTINGS_TOOL \"$<TARGET_FILE:quillon-settings>\")
set(QUILLON_DATA_DIR \"${_quillon_data_dir_at_install}\")
set(QUILLON_RECORD_SETTINGS ${_quillon_record})
")
install(SCRIPT ${PROJECT_SOURCE_DIR}/cmake/QuillonInstallData.cmake)

# `ctest -R install_staged`: installs into a staging folder and checks the result.
string(REPLACE ";" "|" _quillon_factory_bank_list "${QUILLON_FACTORY_BANKS}")
foreach(_dir vst data)
    if(IS_ABSOLUTE "${_quillon_${_dir}_dir}")
        set(_quillon_${_dir}_dir_absolute "${_quillon_${_dir}_dir}")
    else()
        set(_quillon_${_dir}_dir_absolute "${CMAKE_INSTALL_PREFIX}/${_quillon_${_dir}_dir}")
    endif()
endforeach()
add_test(NAME install_staged
    COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR} -DSTAGE=${CMAKE_BINARY_DIR}/install-test
            -DVST_DIR=${_quillon_vst_dir_absolute} -DDATA_DIR=${_quillon_data_dir_absolute}
            "-DFACTORY_BANKS=${_quillon_factory_bank_list}" -DQUILLON_TOOL=$<TARGET_FILE:quillon> -P ${PROJECT_SOURCE_DIR}/cmake/TestInstall.cmake)
set_tests_properties(install_staged PROPERTIES LABELS install TIMEOUT 120)

message(STATUS "Quillon installs Quillon.so into ${_quillon_vst_dir} and its data into ${_quillon_data_dir}"
               " (settings recorded: ${_quillon_record})")
