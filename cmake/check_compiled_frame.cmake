# Build step (cmake -P): warns when the generated frame in the sources is not what
# synth_frame_compiler writes for the built-in song now, and writes STAMP when it is.
#   cmake -DCOMPILER=synth_frame_compiler -DFRAME=synth/generated/compiled_frame.cpp -DSTAMP=FILE -P THIS
execute_process(COMMAND ${COMPILER} --check ${FRAME} RESULT_VARIABLE result ERROR_VARIABLE reason)
if(result EQUAL 0)
  file(TOUCH ${STAMP})
else()
  file(REMOVE ${STAMP})
  string(STRIP "${reason}" reason)
  message(WARNING "${FRAME} is stale: it is not the frame the built-in song decodes to now, so the "
                  "song may render through the slower interpreter (with the same output). Write it "
                  "again with `cmake --build <build folder> --target compiled_frame` and commit it.\n"
                  "${reason}")
endif()
