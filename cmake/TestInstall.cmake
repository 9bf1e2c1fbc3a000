# CTest script: installs the build folder into a staging folder (DESTDIR) and checks that everything lands
# where QuillonInstall.cmake says and that the staged plug-in loads. Expects BUILD_DIR, STAGE, VST_DIR,
# DATA_DIR (absolute) and QUILLON_TOOL.
file(REMOVE_RECURSE "${STAGE}")
execute_process(COMMAND "${CMAKE_COMMAND}" -E env "DESTDIR=${STAGE}" "XDG_CONFIG_HOME=${STAGE}/config"
                        "${CMAKE_COMMAND}" --install "${BUILD_DIR}"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed (${result}):\n${output}")
endif()

set(expected "${STAGE}${VST_DIR}/Quillon.so" "${STAGE}${DATA_DIR}/Data/factory.bma"
             "${STAGE}${DATA_DIR}/Banks/Examples.bpb" "${STAGE}${DATA_DIR}/Programs/Saw Lead.bpa")
foreach(file IN LISTS expected)
    if(NOT EXISTS "${file}")
        message(FATAL_ERROR "not installed: ${file}\n${output}")
    endif()
endforeach()
file(GLOB programs "${STAGE}${DATA_DIR}/Programs/*.bpa")
list(LENGTH programs count)
if(NOT count EQUAL 7)
    message(FATAL_ERROR "expected 7 example programs, found ${count}")
endif()
file(SIZE "${STAGE}${DATA_DIR}/Data/factory.bma" size)
if(NOT size EQUAL 543)
    message(FATAL_ERROR "factory.bma has ${size} bytes")
endif()
if(EXISTS "${STAGE}/config")
    message(FATAL_ERROR "a staged installation recorded settings")
endif()

execute_process(COMMAND "${QUILLON_TOOL}" info --plugin "${STAGE}${VST_DIR}/Quillon.so"
                RESULT_VARIABLE result OUTPUT_VARIABLE info ERROR_VARIABLE info)
if(NOT result EQUAL 0 OR NOT info MATCHES "Quillon")
    message(FATAL_ERROR "the staged plug-in does not load (${result}):\n${info}")
endif()
file(REMOVE_RECURSE "${STAGE}")
