// Compute shaders from ready bytecode: the same pipeline slots as compileShaders fills.
#include "tests/host/d3d11/shader_bytecode.h"

#include <cstdio>

#include "host/backend_rules.h"
#include "host/d3d11/win_host.h"
#include "shaders/shader_source.h"

bool createShadersFromBytecode(const ShaderBytecode (&blobs)[backend_rules::entryPointCount], char* message,
                               std::size_t messageSize) {
  for (int order = 0; order < backend_rules::entryPointCount; ++order) {
    ID3D11ComputeShader*& shader = winHost.pCS[backend_rules::pipelineIndexOf(order)];
    if (shader != nullptr) shader->Release();
    shader = nullptr;
    HRESULT result = E_INVALIDARG;
    if (blobs[order].data != nullptr && blobs[order].size != 0)
      result = winHost.pd3dDevice->CreateComputeShader(blobs[order].data, blobs[order].size, nullptr, &shader);
    if (FAILED(result) || shader == nullptr) {
      char text[128];
      const int length = std::snprintf(text, sizeof text, "%s: CreateComputeShader failed (0x%08lX) on %zu bytes",
                                        shaderEntryPoints[order], static_cast<unsigned long>(result),
                                        blobs[order].size);
      backend_rules::copyCompilerMessage(message, messageSize, text, length < 0 ? 0 : static_cast<std::size_t>(length));
      return false;
    }
  }
  return true;
}
