# Runs at installation time (see QuillonInstall.cmake): authors the example programs with the freshly
# built `quillon` tool (the banks installed beside them are the factory banks, made at build time), and
# records the installation folder in the settings of the user who installs. Expects QUILLON_TOOL, QUILLON_SETTINGS_TOOL, QUILLON_DATA_DIR and QUILLON_RECORD_SETTINGS.

set(_root "$ENV{DESTDIR}${QUILLON_DATA_DIR}")
file(MAKE_DIRECTORY "${_root}/Programs" "${_root}/Banks")

# name | wave | parameters (index=value, comma-separated; 76 chorus on, 100 reverb on)
set(_programs
    "Saw Lead|saw|76=1,100=1"
    "Square Organ|square|100=1"
    "Soft Triangle|triangle"
    "Thin Pulse|pulse12|76=1"
    "Hollow Pulse|pulse25|100=1"
    "Glass Triangle|tri6|76=1,100=1"
    "Random Bells|random|100=1")

foreach(_entry IN LISTS _programs)
    string(REPLACE "," ";" _entry "${_entry}")
    string(REPLACE "|" ";" _fields "${_entry}")
    list(GET _fields 0 _name)
    list(GET _fields 1 _wave)
    list(LENGTH _fields _count)
    set(_arguments program --wave ${_wave} --name "${_name}")
    if(_count GREATER 2)
        list(SUBLIST _fields 2 -1 _parameters)
        foreach(_parameter IN LISTS _parameters)
            if(_parameter)
                list(APPEND _arguments --param ${_parameter})
            endif()
        endforeach()
    endif()
    set(_file "${_root}/Programs/${_name}.bpa")
    message(STATUS "Authoring: ${_file}")
    execute_process(COMMAND "${QUILLON_TOOL}" ${_arguments} -o "${_file}" RESULT_VARIABLE _result OUTPUT_QUIET)
    if(NOT _result EQUAL 0)
        message(FATAL_ERROR "quillon program failed for \"${_name}\" (${_result})")
    endif()
endforeach()

# A staged installation (DESTDIR) is not where the files will live: nothing is recorded then.
if(QUILLON_RECORD_SETTINGS AND "$ENV{DESTDIR}" STREQUAL "")
    execute_process(COMMAND "${QUILLON_SETTINGS_TOOL}" set InstallFolder "${QUILLON_DATA_DIR}" RESULT_VARIABLE _result)
    execute_process(COMMAND "${QUILLON_SETTINGS_TOOL}" default PresetProgramDir "${QUILLON_DATA_DIR}/Programs")
    execute_process(COMMAND "${QUILLON_SETTINGS_TOOL}" default ProgramBankDir "${QUILLON_DATA_DIR}/Banks")
    execute_process(COMMAND "${QUILLON_SETTINGS_TOOL}" where OUTPUT_VARIABLE _where)
    string(REGEX REPLACE "\n.*" "" _where "${_where}")
    if(_result EQUAL 0)
        message(STATUS "Recorded InstallFolder=${QUILLON_DATA_DIR} in ${_where}")
    else()
        message(WARNING "Could not record InstallFolder in ${_where}; the plug-in will look beside itself")
    endif()
endif()
