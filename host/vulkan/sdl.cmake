# The SDL side of the Linux back end (window, message boxes, full screen, Escape, audio and the
# play clock) and the intro program: host/main.cpp over platform.h, this side and the Vulkan side
# (intro_vulkan_window, from vk.cmake).
find_package(SDL2 REQUIRED CONFIG)

add_library(intro_play_clock STATIC ${CMAKE_CURRENT_LIST_DIR}/sdl_play_clock.cpp)
target_include_directories(intro_play_clock PUBLIC ${CMAKE_CURRENT_LIST_DIR} PRIVATE ${CMAKE_CURRENT_LIST_DIR}/..)
target_link_libraries(intro_play_clock PUBLIC synth PRIVATE intro_warnings)

add_library(intro_sdl STATIC ${CMAKE_CURRENT_LIST_DIR}/sdl_window.cpp ${CMAKE_CURRENT_LIST_DIR}/sdl_audio.cpp)
target_include_directories(intro_sdl PUBLIC ${CMAKE_CURRENT_LIST_DIR} ${CMAKE_CURRENT_LIST_DIR}/..)
target_link_libraries(intro_sdl PUBLIC SDL2::SDL2 synth intro_play_clock PRIVATE intro_warnings)

add_executable(intro ${CMAKE_SOURCE_DIR}/host/main.cpp)
target_link_libraries(intro PRIVATE intro_sdl intro_vulkan_window show synth text shader_source intro_warnings)
# At the top of the build tree, where scripts/run looks for it.
set_target_properties(intro PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
