# Builds the page's module with emscripten (the commands scripts/emscripten puts in its root) in a
# build tree of its own, then lays out the page: web/page's files, the module (intro.mjs,
# intro.wasm) and the WGSL of every entry point (shaders/).
# cmake -DEMSCRIPTEN_BIN=... -DSOURCE=... -DMODULE_DIR=... -DWGSL_DIR=... -DPAGE_DIR=... -DWERROR=... -P module.cmake
if(NOT EXISTS ${MODULE_DIR}/CMakeCache.txt)
  execute_process(COMMAND ${EMSCRIPTEN_BIN}/emcmake cmake -S ${SOURCE} -B ${MODULE_DIR}
                          -DCMAKE_BUILD_TYPE=Release -DINTRO_WERROR=${WERROR}
                  OUTPUT_VARIABLE output ERROR_VARIABLE output RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    file(REMOVE ${MODULE_DIR}/CMakeCache.txt)
    message(FATAL_ERROR "emscripten could not configure the web module in ${MODULE_DIR}:\n${output}")
  endif()
endif()
execute_process(COMMAND ${EMSCRIPTEN_BIN}/cmake --build ${MODULE_DIR} -j 2
                OUTPUT_VARIABLE output ERROR_VARIABLE output RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "emscripten could not build the web module in ${MODULE_DIR}:\n${output}")
endif()

file(REMOVE_RECURSE ${PAGE_DIR})
file(GLOB page_files ${SOURCE}/web/page/*)
file(GLOB wgsl_files ${WGSL_DIR}/*.wgsl)
file(COPY ${page_files} ${MODULE_DIR}/web/intro.mjs ${MODULE_DIR}/web/intro.wasm DESTINATION ${PAGE_DIR})
file(COPY ${wgsl_files} DESTINATION ${PAGE_DIR}/shaders)
