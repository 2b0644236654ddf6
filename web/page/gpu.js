// The WebGPU back end, as the Vulkan host does it: the picture w (u0, binding 8) written by the
// scene's pass, copied into the render texture T (t0, binding 1), the final pass ("ZZ") back into
// w; the five texts at t1..t5 (bindings 2..6), Direct3D's default sampler at s0 (binding 7), the
// eight parameters at b0 (binding 0). Each entry point is its own WGSL file (shaders/<entry>.wgsl,
// translated from the Vulkan route's SPIR-V), compiled on first use. A live picture reaches the
// canvas through a small render pass that reads w pixel for pixel (canvases are usually
// bgra8unorm, and no copy converts), as the Vulkan host blits w to its swap chain.

// The entry points in the module's compile order (shaderEntryPoints): web_pipeline_index(order)
// gives each one's pipeline index.
export const entryPoints = ['Z1', 'Z2', 'Z3', 'Z4', 'Z5', 'Z6', 'Z7', 'Z8', 'Z9', 'ZA', 'ZB', 'ZZ'];

export class GpuError extends Error {}

export async function openDevice() {
  if (!navigator.gpu) throw new GpuError('This browser offers no WebGPU, which the show needs.');
  const adapter = await navigator.gpu.requestAdapter();
  if (!adapter) throw new GpuError('This browser has WebGPU turned off or no graphics adapter for it: the show needs one.');
  const device = await adapter.requestDevice();
  const info = adapter.info || {};
  const name = [info.vendor, info.architecture, info.device, info.description].filter(Boolean).join(' ');
  return { device, name: name || 'unknown adapter' };
}

export class Show {
  // module: the page's instance of the web module; width x height: the picture.
  constructor(device, module, width, height) {
    const limit = device.limits.maxTextureDimension2D;
    if (width > limit || height > limit) {
      throw new GpuError(`The picture ${width}x${height} is larger than this device allows (${limit} a side).`);
    }
    this.device = device;
    this.module = module;
    this.width = width;
    this.height = height;
    this.groups = [module._web_dispatch_groups(width), module._web_dispatch_groups(height)];
    this.pipelines = new Map();  // pipeline index -> Promise of GPUComputePipeline
    this.lost = null;
    device.lost.then((info) => { this.lost = `the WebGPU device was lost: ${info.message || info.reason}`; });

    const usage = GPUTextureUsage;
    this.w = device.createTexture({ size: [width, height], format: 'rgba8unorm',
                                    usage: usage.STORAGE_BINDING | usage.COPY_SRC | usage.TEXTURE_BINDING });
    this.T = device.createTexture({ size: [width, height], format: 'rgba8unorm',
                                    usage: usage.TEXTURE_BINDING | usage.COPY_DST });
    this.params = device.createBuffer({ size: 32, usage: GPUBufferUsage.UNIFORM | GPUBufferUsage.COPY_DST });
    // Direct3D 11's default sampler: linear min, mag and mip, clamped on every axis.
    const sampler = device.createSampler({ magFilter: 'linear', minFilter: 'linear', mipmapFilter: 'linear',
                                           addressModeU: 'clamp-to-edge', addressModeV: 'clamp-to-edge',
                                           addressModeW: 'clamp-to-edge' });
    const texts = [];
    const count = module._web_text_count();
    for (let id = 0; id < count; ++id) {
      const textWidth = module._web_text_width(id), textHeight = module._web_text_height(id);
      const texture = device.createTexture({ size: [textWidth, textHeight], format: 'rgba8unorm',
                                             usage: usage.TEXTURE_BINDING | usage.COPY_DST });
      const pixels = module.HEAPU8.subarray(module._web_text_pixels(id),
                                            module._web_text_pixels(id) + textWidth * textHeight * 4);
      device.queue.writeTexture({ texture }, pixels, { bytesPerRow: textWidth * 4 }, [textWidth, textHeight]);
      texts[module._web_text_slot(id)] = texture;
    }

    const stage = GPUShaderStage.COMPUTE;
    const entries = [{ binding: 0, visibility: stage, buffer: { type: 'uniform' } }];
    for (let slot = 0; slot <= 5; ++slot) {
      entries.push({ binding: 1 + slot, visibility: stage, texture: { sampleType: 'float' } });
    }
    entries.push({ binding: 7, visibility: stage, sampler: { type: 'filtering' } });
    entries.push({ binding: 8, visibility: stage,
                   storageTexture: { access: 'write-only', format: 'rgba8unorm' } });
    const bindGroupLayout = device.createBindGroupLayout({ entries });
    this.layout = device.createPipelineLayout({ bindGroupLayouts: [bindGroupLayout] });
    const resources = [{ binding: 0, resource: { buffer: this.params } },
                       { binding: 1, resource: this.T.createView() }];
    for (let slot = 1; slot <= 5; ++slot) resources.push({ binding: 1 + slot, resource: texts[slot].createView() });
    resources.push({ binding: 7, resource: sampler }, { binding: 8, resource: this.w.createView() });
    this.bindGroup = device.createBindGroup({ layout: bindGroupLayout, entries: resources });
  }

  // The pipeline of one scene (1..11) or of the final pass (0): its WGSL fetched and compiled
  // once; a WGSL that does not compile rejects with the compiler's messages.
  pipeline(index) {
    if (!this.pipelines.has(index)) this.pipelines.set(index, this.compile(index));
    return this.pipelines.get(index);
  }

  async compile(index) {
    let order = 0;
    while (this.module._web_pipeline_index(order) !== index) ++order;
    const entry = entryPoints[order];
    const response = await fetch(`shaders/${entry}.wgsl`);
    if (!response.ok) throw new GpuError(`shaders/${entry}.wgsl could not be loaded (${response.status})`);
    const code = await response.text();
    const shader = this.device.createShaderModule({ code, label: entry });
    const info = await shader.getCompilationInfo();
    const errors = info.messages.filter((m) => m.type === 'error');
    if (errors.length > 0) {
      throw new GpuError(`${entry} does not compile: ` +
                         errors.map((m) => `${m.lineNum}:${m.linePos} ${m.message}`).join('; '));
    }
    this.device.pushErrorScope('validation');
    const pipeline = await this.device.createComputePipelineAsync(
        { layout: this.layout, compute: { module: shader, entryPoint: entry }, label: entry });
    const error = await this.device.popErrorScope();
    if (error) throw new GpuError(`${entry}: ${error.message}`);
    return pipeline;
  }

  // Every pipeline, compiled side by side; resolves once all are ready.
  compileAll() {
    const indices = [];
    for (let order = 0; order < this.module._web_entry_point_count(); ++order) {
      indices.push(this.module._web_pipeline_index(order));
    }
    return Promise.all(indices.map((index) => this.pipeline(index)));
  }

  // Records one picture into encoder: the scene's pass, the copy into T, the final pass; the
  // picture is then in w. params: Float32Array(8).
  async encode(encoder, params, sceneIndex) {
    const scene = await this.pipeline(sceneIndex);
    const final = await this.pipeline(0);
    this.device.queue.writeBuffer(this.params, 0, params);
    for (const pipeline of [scene, final]) {
      const pass = encoder.beginComputePass();
      pass.setPipeline(pipeline);
      pass.setBindGroup(0, this.bindGroup);
      pass.dispatchWorkgroups(this.groups[0], this.groups[1], 1);
      pass.end();
      if (pipeline === scene) {
        encoder.copyTextureToTexture({ texture: this.w }, { texture: this.T }, [this.width, this.height]);
      }
    }
  }

  // Sets the canvas up for present(): the picture's size, the browser's preferred format.
  configureCanvas(canvas) {
    canvas.width = this.width;
    canvas.height = this.height;
    const context = canvas.getContext('webgpu');
    if (!context) throw new GpuError('The canvas offers no WebGPU context.');
    const format = navigator.gpu.getPreferredCanvasFormat();
    context.configure({ device: this.device, format, alphaMode: 'opaque' });
    const module = this.device.createShaderModule({ code: `
      @group(0) @binding(0) var picture : texture_2d<f32>;
      @vertex fn corner(@builtin(vertex_index) i : u32) -> @builtin(position) vec4f {
        return vec4f(f32(i & 1u) * 4.0 - 1.0, f32(i & 2u) * 2.0 - 1.0, 0.0, 1.0);
      }
      @fragment fn pixel(@builtin(position) p : vec4f) -> @location(0) vec4f {
        return textureLoad(picture, vec2i(p.xy), 0);
      }` });
    const blit = this.device.createRenderPipeline({
      layout: 'auto', vertex: { module, entryPoint: 'corner' },
      fragment: { module, entryPoint: 'pixel', targets: [{ format }] } });
    this.canvas = { context, blit, bindGroup: this.device.createBindGroup(
        { layout: blit.getBindGroupLayout(0), entries: [{ binding: 0, resource: this.w.createView() }] }) };
  }

  // One picture, into the canvas.
  async present(params, sceneIndex) {
    const encoder = this.device.createCommandEncoder();
    await this.encode(encoder, params, sceneIndex);
    const pass = encoder.beginRenderPass({ colorAttachments: [{
      view: this.canvas.context.getCurrentTexture().createView(), loadOp: 'clear', storeOp: 'store' }] });
    pass.setPipeline(this.canvas.blit);
    pass.setBindGroup(0, this.canvas.bindGroup);
    pass.draw(3);
    pass.end();
    this.device.queue.submit([encoder.finish()]);
    // One picture in flight at a time: the next frame's clock is read once this one is drawn (and
    // Firefox's presentation without shared textures has hung with pictures queued behind it).
    await this.device.queue.onSubmittedWorkDone();
  }

  // The picture read back: RGBA8, rows top to bottom, width * height * 4 bytes.
  async read(params, sceneIndex) {
    const rowBytes = Math.ceil(this.width * 4 / 256) * 256;
    const buffer = this.device.createBuffer({ size: rowBytes * this.height,
                                              usage: GPUBufferUsage.COPY_DST | GPUBufferUsage.MAP_READ });
    const encoder = this.device.createCommandEncoder();
    await this.encode(encoder, params, sceneIndex);
    encoder.copyTextureToBuffer({ texture: this.w }, { buffer, bytesPerRow: rowBytes }, [this.width, this.height]);
    this.device.pushErrorScope('validation');
    this.device.queue.submit([encoder.finish()]);
    const error = await this.device.popErrorScope();
    if (error) throw new GpuError(`the picture could not be drawn: ${error.message}`);
    await buffer.mapAsync(GPUMapMode.READ);
    if (this.lost) throw new GpuError(this.lost);
    const mapped = new Uint8Array(buffer.getMappedRange());
    const pixels = new Uint8Array(this.width * this.height * 4);
    for (let y = 0; y < this.height; ++y) {
      pixels.set(mapped.subarray(y * rowBytes, y * rowBytes + this.width * 4), y * this.width * 4);
    }
    buffer.unmap();
    buffer.destroy();
    return pixels;
  }
}
