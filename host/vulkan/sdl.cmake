# The SDL side of the Linux back end (window, message boxes, full screen, Escape, audio and the
# play clock) and the intro program: host/main.cpp over platform.h, this side and the Vulkan side.
find_package(SDL2 REQUIRED CONFIG)

add_library(intro_play_clock STATIC ${CMAKE_CURRENT_LIST_DIR}/sdl_play_clock.cpp)
target_include_directories(intro_play_clock PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(intro_play_clock PRIVATE intro_warnings)

set(intro_sdl_parts synth.h:synth show:show text:text)
set(intro_sdl_ready TRUE)
foreach(target IN ITEMS show text ${INTRO_VULKAN_LIBRARY})
  if(NOT TARGET ${target})
    set(intro_sdl_ready FALSE)
  endif()
endforeach()
if(NOT EXISTS ${CMAKE_SOURCE_DIR}/synth/synth.h)
  set(intro_sdl_ready FALSE)
endif()

if(intro_sdl_ready)
  add_library(intro_sdl STATIC ${CMAKE_CURRENT_LIST_DIR}/sdl_window.cpp ${CMAKE_CURRENT_LIST_DIR}/sdl_audio.cpp)
  target_include_directories(intro_sdl PUBLIC ${CMAKE_CURRENT_LIST_DIR} ${CMAKE_CURRENT_LIST_DIR}/..)
  target_link_libraries(intro_sdl PUBLIC SDL2::SDL2 synth intro_play_clock PRIVATE intro_warnings)

  add_executable(intro ${CMAKE_SOURCE_DIR}/host/main.cpp)
  target_link_libraries(intro PRIVATE intro_sdl ${INTRO_VULKAN_LIBRARY} show synth text shader_source intro_warnings)
endif()
