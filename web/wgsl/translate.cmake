# Translates each entry point's SPIR-V (web_spirv_entries wrote SPIRV_DIR/<entry>.spv) to WGSL
# with Tint: OUT_DIR/<entry>.wgsl. Tint declares the picture's storage texture read_write, which
# core WebGPU allows for no 8-bit format; the shaders only write it, so it is declared write.
# cmake -DTINT=... -DSPIRV_DIR=... -DOUT_DIR=... -P translate.cmake
foreach(entry Z1 Z2 Z3 Z4 Z5 Z6 Z7 Z8 Z9 ZA ZB ZZ)
  execute_process(COMMAND ${TINT} --format wgsl ${SPIRV_DIR}/${entry}.spv
                  OUTPUT_VARIABLE wgsl ERROR_VARIABLE message RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR wgsl STREQUAL "")
    message(FATAL_ERROR "Tint does not translate ${entry} (${SPIRV_DIR}/${entry}.spv, status ${status}):\n"
                        "${message}\nA NaN or infinity the compiler folded into a literal is the usual cause: "
                        "WGSL has none (docs/ARCHITECTURE.md, the HLSL text's rules).")
  endif()
  string(REGEX MATCHALL "texture_storage_2d<rgba8unorm, read_write>" readWrite "${wgsl}")
  list(LENGTH readWrite count)
  if(NOT count EQUAL 1)
    message(FATAL_ERROR "${entry}: expected one texture_storage_2d<rgba8unorm, read_write> in Tint's WGSL, "
                        "found ${count}; the storage access rewrite must follow Tint's output")
  endif()
  string(REPLACE "texture_storage_2d<rgba8unorm, read_write>" "texture_storage_2d<rgba8unorm, write>" wgsl "${wgsl}")
  file(WRITE ${OUT_DIR}/${entry}.wgsl "${wgsl}")
endforeach()
