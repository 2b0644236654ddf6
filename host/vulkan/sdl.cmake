# The SDL side of the Linux back end (window, message boxes, full screen, Escape, audio and the
# audio clock), the intro program: host/main.cpp over platform.h, this side and the Vulkan side
# (intro_vulkan_window, from vk.cmake), and the preview player's seam on this back end.
find_package(SDL2 REQUIRED CONFIG)

add_library(intro_audio_clock STATIC ${CMAKE_CURRENT_LIST_DIR}/sdl_audio_clock.cpp)
target_include_directories(intro_audio_clock PUBLIC ${CMAKE_CURRENT_LIST_DIR} PRIVATE ${CMAKE_CURRENT_LIST_DIR}/..)
target_link_libraries(intro_audio_clock PUBLIC synth PRIVATE intro_warnings)

# The audio device the intro and the preview player open alike (driver choice, dummy fallback).
add_library(intro_audio_device STATIC ${CMAKE_CURRENT_LIST_DIR}/sdl_audio_device.cpp)
target_include_directories(intro_audio_device PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(intro_audio_device PUBLIC SDL2::SDL2 PRIVATE synth intro_warnings)

add_library(intro_sdl STATIC ${CMAKE_CURRENT_LIST_DIR}/sdl_window.cpp ${CMAKE_CURRENT_LIST_DIR}/sdl_audio.cpp)
target_include_directories(intro_sdl PUBLIC ${CMAKE_CURRENT_LIST_DIR} ${CMAKE_CURRENT_LIST_DIR}/..)
target_link_libraries(intro_sdl PUBLIC SDL2::SDL2 synth intro_audio_clock PRIVATE intro_audio_device intro_warnings)

add_executable(intro ${CMAKE_SOURCE_DIR}/host/main.cpp)
target_link_libraries(intro PRIVATE intro_sdl intro_vulkan_window show synth text shader_source intro_warnings)
# At the top of the build tree, where scripts/run looks for it.
set_target_properties(intro PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

# The preview player's seam (player/player_backend.h) on this back end: the window's frame, title
# and keys, its pipelines rebuilt beside the frames, and the player's sound (play_mix over the
# intro's audio device, or a steady clock).
add_library(player_backend STATIC
  ${CMAKE_CURRENT_LIST_DIR}/sdl_player_window.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sdl_player_sound.cpp
  ${CMAKE_CURRENT_LIST_DIR}/vk_player_pipelines.cpp)
target_include_directories(player_backend PUBLIC ${CMAKE_SOURCE_DIR}/player)
target_link_libraries(player_backend
  PUBLIC synth
  PRIVATE intro_sdl intro_vulkan_window intro_audio_clock intro_audio_device play_mix SDL2::SDL2 intro_warnings)
