# The Vulkan side of the Linux back end: the compute core, HLSL compilation with shaderc, the
# headless renderer (intro_vulkan, used by intro-tool and the GPU tests) and the platform
# functions over an SDL window (intro_vulkan_window, linked into the intro).
find_package(Vulkan REQUIRED)
find_package(PkgConfig REQUIRED)
# Debian's shared libshaderc lacks its glslang dependencies: link the combined static library
# and the static glslang and SPIRV-Tools libraries, all found through pkg-config.
pkg_check_modules(INTRO_SHADERC REQUIRED IMPORTED_TARGET shaderc_combined)
pkg_check_modules(INTRO_GLSLANG_SPIRV REQUIRED IMPORTED_TARGET spirv)  # glslang's SPIR-V back end, glslang, SPIRV-Tools

add_library(intro_vulkan STATIC
  ${CMAKE_CURRENT_LIST_DIR}/vk_compile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/vk_core.cpp
  ${CMAKE_CURRENT_LIST_DIR}/vk_headless.cpp
  ${CMAKE_CURRENT_LIST_DIR}/vk_result.cpp)
target_include_directories(intro_vulkan PUBLIC ${CMAKE_CURRENT_LIST_DIR})
# The rules both back ends share (host/backend_rules.h, over synth's timing.h).
target_include_directories(intro_vulkan PRIVATE ${CMAKE_CURRENT_LIST_DIR}/..)
target_link_libraries(intro_vulkan
  PUBLIC Vulkan::Vulkan shader_source
  PRIVATE synth PkgConfig::INTRO_SHADERC PkgConfig::INTRO_GLSLANG_SPIRV intro_warnings)

# The platform functions (device, shaders, textures, frames) on the intro's SDL window.
find_package(SDL2 REQUIRED CONFIG)
add_library(intro_vulkan_window STATIC ${CMAKE_CURRENT_LIST_DIR}/vk_platform.cpp)
target_include_directories(intro_vulkan_window PUBLIC ${CMAKE_CURRENT_LIST_DIR} ${CMAKE_CURRENT_LIST_DIR}/..)
target_link_libraries(intro_vulkan_window PUBLIC intro_vulkan SDL2::SDL2 text PRIVATE synth intro_warnings)
