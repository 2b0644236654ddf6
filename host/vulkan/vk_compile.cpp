#include "host/vulkan/vk_compile.h"

#include <shaderc/shaderc.h>

#include "host/backend_rules.h"

namespace vk_compile {

namespace {

struct Compiler {
  shaderc_compiler_t compiler = shaderc_compiler_initialize();
  shaderc_compile_options_t options = shaderc_compile_options_initialize();

  Compiler() {
    shaderc_compile_options_set_source_language(options, shaderc_source_language_hlsl);
    shaderc_compile_options_set_target_env(options, shaderc_target_env_vulkan, shaderc_env_version_vulkan_1_1);
    // Optimised, as Direct3D's compiler optimises under its debug flag too (only an explicit
    // skip-optimisation flag turns that off). The pictures are nearly all the same bytes as
    // without (a few marched edges move by ulps), and the heavy scenes run up to a third faster
    // on a software device.
    shaderc_compile_options_set_optimization_level(options, shaderc_optimization_level_performance);
    shaderc_compile_options_set_nan_clamp(options, true);
    shaderc_compile_options_set_hlsl_io_mapping(options, true);
    shaderc_compile_options_set_auto_bind_uniforms(options, false);
    shaderc_compile_options_set_binding_base(options, shaderc_uniform_kind_buffer, constantsBinding);
    shaderc_compile_options_set_binding_base(options, shaderc_uniform_kind_texture, textureBinding0);
    shaderc_compile_options_set_binding_base(options, shaderc_uniform_kind_sampler, samplerBinding);
    shaderc_compile_options_set_binding_base(options, shaderc_uniform_kind_image, imageBinding);
    shaderc_compile_options_set_binding_base(options, shaderc_uniform_kind_unordered_access_view, imageBinding);
    shaderc_compile_options_add_macro_definition(options, "INTRO_VULKAN", 12, "1", 1);
  }
  ~Compiler() {
    shaderc_compile_options_release(options);
    shaderc_compiler_release(compiler);
  }
  Compiler(const Compiler&) = delete;
  Compiler& operator=(const Compiler&) = delete;
};

}  // namespace

bool compileHlsl(const char* source, std::size_t length, const char* entryPoint,
                 std::vector<std::uint32_t>& spirv, std::string& message) {
  static Compiler state;
  spirv.clear();
  message.clear();
  if (state.compiler == nullptr || state.options == nullptr) {
    message = backend_rules::unknownCompilerError;
    return false;
  }
  shaderc_compilation_result_t result = shaderc_compile_into_spv(
      state.compiler, source, length, shaderc_compute_shader, "intro.hlsl", entryPoint, state.options);
  const bool ok = result != nullptr && shaderc_result_get_compilation_status(result) == shaderc_compilation_status_success;
  if (ok) {
    const auto* words = reinterpret_cast<const std::uint32_t*>(shaderc_result_get_bytes(result));
    spirv.assign(words, words + shaderc_result_get_length(result) / sizeof(std::uint32_t));
  } else {
    const char* text = result != nullptr ? shaderc_result_get_error_message(result) : nullptr;
    message = text != nullptr && *text != '\0' ? text : backend_rules::unknownCompilerError;
  }
  if (result != nullptr) shaderc_result_release(result);
  return ok;
}

}  // namespace vk_compile
