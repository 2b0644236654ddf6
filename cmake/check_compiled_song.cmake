# Build step (cmake -P): warns when the compiled song in the sources is not what
# synth_song_compiler writes for the built-in song now, and writes STAMP when it is.
#   cmake -DCOMPILER=synth_song_compiler -DSOURCE=synth/generated/compiled_song.cpp -DSTAMP=FILE -P THIS
execute_process(COMMAND ${COMPILER} --check ${SOURCE} RESULT_VARIABLE result ERROR_VARIABLE reason)
if(result EQUAL 0)
  file(TOUCH ${STAMP})
else()
  file(REMOVE ${STAMP})
  string(STRIP "${reason}" reason)
  message(WARNING "${SOURCE} is stale: it is not the compiled song the built-in song decodes to now, so the "
                  "song may render through the slower interpreter (with the same output). Write it "
                  "again with `cmake --build <build folder> --target compiled_song` and commit it.\n"
                  "${reason}")
endif()
