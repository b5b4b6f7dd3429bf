# Copies PROGRAM into FOLDER and runs its program-folder test from there, through
# EMULATOR when cross-built.
file(REMOVE_RECURSE ${FOLDER})
file(MAKE_DIRECTORY ${FOLDER})
file(COPY ${PROGRAM} DESTINATION ${FOLDER})
get_filename_component(name ${PROGRAM} NAME)
execute_process(COMMAND ${EMULATOR} ${FOLDER}/${name} --gtest_filter=Export.ProgramFolderHoldsTheProgram
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
file(REMOVE_RECURSE ${FOLDER})
message("${output}")
if(NOT result EQUAL 0 OR NOT output MATCHES "PASSED  \\] 1 test")
    message(FATAL_ERROR "the program-folder test failed in ${FOLDER}")
endif()
