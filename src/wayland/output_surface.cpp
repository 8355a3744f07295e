#include "wayland/output_surface.h"

#include <algorithm>
#include <cstdarg>
#include <tuple>
#include <stdexcept>

#include "engine/cycle_group.h"
#include "engine/imaging.h"
#include "engine/reveal.h"
#include "engine/surfaces.h"

namespace nivora::wayland {

namespace {

constexpr const char* kNamespace = "nivoraglade";

bool SwapsSides(std::int32_t transform) {
    switch (transform) {
        case WL_OUTPUT_TRANSFORM_90:
        case WL_OUTPUT_TRANSFORM_270:
        case WL_OUTPUT_TRANSFORM_FLIPPED_90:
        case WL_OUTPUT_TRANSFORM_FLIPPED_270:
            return true;
        default:
            return false;
    }
}

}  // namespace

const wl_output_listener OutputSurface::kOutputListener = {
    .geometry = [](void* data, wl_output*, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                   const char*, const char*,
                   std::int32_t transform) { static_cast<OutputSurface*>(data)->transform_ = transform; },
    .mode =
        [](void* data, wl_output*, std::uint32_t flags, std::int32_t width, std::int32_t height, std::int32_t) {
            if (!(flags & WL_OUTPUT_MODE_CURRENT)) return;
            auto* self = static_cast<OutputSurface*>(data);
            self->modeWidth_ = width;
            self->modeHeight_ = height;
        },
    .done = [](void* data, wl_output*) { static_cast<OutputSurface*>(data)->OutputDone(); },
    .scale = [](void* data, wl_output*, std::int32_t factor) {
        static_cast<OutputSurface*>(data)->scale_ = factor > 0 ? factor : 1;
    },
    .name = [](void* data, wl_output*, const char* name) { static_cast<OutputSurface*>(data)->name_ = name; },
    .description = [](void*, wl_output*, const char*) {},
};

const zwlr_layer_surface_v1_listener OutputSurface::kLayerListener = {
    .configure =
        [](void* data, zwlr_layer_surface_v1* surface, std::uint32_t serial, std::uint32_t width, std::uint32_t height) {
            zwlr_layer_surface_v1_ack_configure(surface, serial);
            static_cast<OutputSurface*>(data)->Configured(width, height);
        },
    .closed =
        [](void* data, zwlr_layer_surface_v1*) {
            auto* self = static_cast<OutputSurface*>(data);
            self->Log("closed %d %s", self->index_, self->name_.c_str());
            self->DropSurface();
            self->state_.surfaceClosed = true;
        },
};

const xdg_surface_listener OutputSurface::kXdgSurfaceListener = {
    .configure =
        [](void* data, xdg_surface* surface, std::uint32_t serial) {
            xdg_surface_ack_configure(surface, serial);
            auto* self = static_cast<OutputSurface*>(data);
            self->Configured(self->toplevelWidth_, self->toplevelHeight_);
        },
};

const xdg_toplevel_listener OutputSurface::kToplevelListener = {
    .configure =
        [](void* data, xdg_toplevel*, std::int32_t width, std::int32_t height, wl_array*) {
            auto* self = static_cast<OutputSurface*>(data);
            self->toplevelWidth_ = width > 0 ? width : 0;
            self->toplevelHeight_ = height > 0 ? height : 0;
        },
    .close =
        [](void* data, xdg_toplevel*) {
            auto* self = static_cast<OutputSurface*>(data);
            self->Log("end close %lld", self->state_.Now());
            self->state_.quit = true;
        },
    .configure_bounds = [](void*, xdg_toplevel*, std::int32_t, std::int32_t) {},
    .wm_capabilities = [](void*, xdg_toplevel*, wl_array*) {},
};

const wl_callback_listener OutputSurface::kFrameListener = {
    .done =
        [](void* data, wl_callback* callback, std::uint32_t) {
            auto* self = static_cast<OutputSurface*>(data);
            wl_callback_destroy(callback);
            self->frame_ = nullptr;
            self->Present();
        },
};

OutputSurface::OutputSurface(SaverState& state, wl_output* output, std::uint32_t globalName, int index)
    : state_(state), output_(output), globalName_(globalName), index_(index) {
    random_.Seed = index == 0 ? state.firstSeed : MonitorSeed(state.firstSeed, index);
    name_ = "output-" + std::to_string(globalName);
    wl_output_add_listener(output_, &kOutputListener, this);
}

OutputSurface::~OutputSurface() {
    DropSurface();
    if (wl_output_get_version(output_) >= WL_OUTPUT_RELEASE_SINCE_VERSION)
        wl_output_release(output_);
    else
        wl_output_destroy(output_);
}

void OutputSurface::DropSurface() {
    if (cycle_) state_.regroup = true;
    cycle_.reset();  // stops the worker's job before the scene goes
    scene_.reset();
    if (frame_) wl_callback_destroy(frame_);
    frame_ = nullptr;
    if (layerSurface_) zwlr_layer_surface_v1_destroy(layerSurface_);
    if (toplevel_) xdg_toplevel_destroy(toplevel_);
    if (xdgSurface_) xdg_surface_destroy(xdgSurface_);
    if (surface_) wl_surface_destroy(surface_);
    layerSurface_ = nullptr;
    toplevel_ = nullptr;
    xdgSurface_ = nullptr;
    surface_ = nullptr;
    for (auto& buffer : buffers_) buffer.reset();
    configured_ = false;
    bufferScale_ = 1;
}

void OutputSurface::Start() {
    if (!surface_ && (doneSeen_ || wl_output_get_version(output_) < WL_OUTPUT_DONE_SINCE_VERSION)) MakeSurface();
}

void OutputSurface::OutputDone() {
    doneSeen_ = true;
    if (!state_.globalsKnown) return;
    if (!surface_) {
        MakeSurface();
    } else if (configured_) {
        // A new scale changes the picture's size. When the output's logical
        // size changes with it, the compositor configures the surface anew:
        // the picture waits for that.
        const auto [width, height] = LogicalSize();
        if (width == logicalWidth_ && height == logicalHeight_) Configured(logicalWidth_, logicalHeight_);
    }
}

void OutputSurface::MakeSurface() {
    surface_ = wl_compositor_create_surface(state_.compositor);
    if (state_.layerShell) {
        layerSurface_ = zwlr_layer_shell_v1_get_layer_surface(state_.layerShell, surface_, output_,
                                                              ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, kNamespace);
        zwlr_layer_surface_v1_add_listener(layerSurface_, &kLayerListener, this);
        zwlr_layer_surface_v1_set_anchor(layerSurface_,
                                         ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                             ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
        // -1: over panels too, not pushed aside by their exclusive zones.
        zwlr_layer_surface_v1_set_exclusive_zone(layerSurface_, -1);
        zwlr_layer_surface_v1_set_keyboard_interactivity(layerSurface_,
                                                         ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE);
        zwlr_layer_surface_v1_set_size(layerSurface_, 0, 0);
    } else {
        xdgSurface_ = xdg_wm_base_get_xdg_surface(state_.wmBase, surface_);
        xdg_surface_add_listener(xdgSurface_, &kXdgSurfaceListener, this);
        toplevel_ = xdg_surface_get_toplevel(xdgSurface_);
        xdg_toplevel_add_listener(toplevel_, &kToplevelListener, this);
        xdg_toplevel_set_title(toplevel_, "Nivora Glade");
        xdg_toplevel_set_app_id(toplevel_, kNamespace);
        xdg_toplevel_set_fullscreen(toplevel_, output_);
    }
    wl_surface_commit(surface_);  // no buffer yet: asks for the first configure
    Log("surface %d %s", index_, state_.layerShell ? "layer" : "toplevel");
}

void OutputSurface::Configured(std::uint32_t width, std::uint32_t height) {
    if (width == 0 || height == 0) std::tie(width, height) = LogicalSize();  // the client chooses
    logicalWidth_ = width;
    logicalHeight_ = height;
    configured_ = true;
    const int physicalWidth = static_cast<int>(width) * scale_, physicalHeight = static_cast<int>(height) * scale_;
    if (!scene_ || physicalWidth != scene_->FrameDib->Width() || physicalHeight != scene_->FrameDib->Height())
        NewPicture(physicalWidth, physicalHeight);
    else if (bufferScale_ != scale_)
        rows_.Reset(physicalHeight);  // the same picture, at a new scale: committed whole
    Present();
}

std::pair<std::uint32_t, std::uint32_t> OutputSurface::LogicalSize() const {
    int w = modeWidth_, h = modeHeight_;
    if (SwapsSides(transform_)) std::swap(w, h);
    return {static_cast<std::uint32_t>(std::max(w / scale_, 1)), static_cast<std::uint32_t>(std::max(h / scale_, 1))};
}

void OutputSurface::NewPicture(int width, int height) {
    const auto start = state_.Now();
    // The surface wants a buffer of the new size now, not at the next frame
    // callback of the old one (which a hidden output may never send).
    if (frame_) wl_callback_destroy(frame_);
    frame_ = nullptr;
    cycle_.reset();
    for (auto& buffer : buffers_) buffer.reset();
    scene_ = std::make_unique<Scene>();
    scene_->Settings = state_.settings;
    SetSaverGeometry(*scene_, width, height);
    CreateSurfaces(*scene_, SoftwareImaging(), width, height);
    for (auto& buffer : buffers_) {
        buffer = std::make_unique<ShmBuffer>(state_.shm, width, height);
        buffer->releaseData = this;
        buffer->onRelease = [](void* data) { static_cast<OutputSurface*>(data)->Present(); };
    }
    cycle_ = std::make_unique<PictureCycle>(*scene_, SoftwareImaging(), random_, state_.worker);
    cycle_->FirstPicture();
    rows_.Reset(height);
    state_.regroup = true;
    Log("output %d %s %dx%d scale %d transform %d", index_, name_.c_str(), width, height, scale_, transform_);
    if (state_.tickLog && index_ == 0) Log("first %lld %lld %lld", start, state_.Now(), SaverState::ThreadCpu());
}

void OutputSurface::FollowCycle() {
    if (!cycle_) return;
    const RowSpan rows = cycle_->TakeChangedRows();
    if (rows.Empty()) return;
    rows_.Changed(rows);
    Present();
}

void OutputSurface::Present() {
    if (!configured_ || frame_ || !scene_) return;
    bool held[BufferRows::kBuffers];
    for (int i = 0; i < BufferRows::kBuffers; ++i) held[i] = buffers_[i]->Held();
    const auto commit = rows_.Take(held);
    if (!commit) return;

    ShmBuffer& buffer = *buffers_[commit->buffer];
    if (scene_->FrameGraphics) scene_->FrameGraphics->Flush();
    if (!commit->copy.Empty())
        CopyRowsXrgb(*scene_->FrameDib, commit->copy.first, commit->copy.last, buffer.Pixels(), buffer.Stride());

    if (bufferScale_ != scale_) {
        wl_surface_set_buffer_scale(surface_, scale_);
        bufferScale_ = scale_;
        Log("scale %d %d", index_, scale_);
    }
    wl_surface_attach(surface_, buffer.Buffer(), 0, 0);
    const int width = scene_->FrameDib->Width(), rows = commit->damage.last - commit->damage.first + 1;
    if (state_.compositorVersion >= WL_SURFACE_DAMAGE_BUFFER_SINCE_VERSION) {
        wl_surface_damage_buffer(surface_, 0, commit->damage.first, width, rows);
    } else {
        // Surface coordinates: whole logical rows around the physical ones.
        const int first = commit->damage.first / scale_, last = commit->damage.last / scale_;
        wl_surface_damage(surface_, 0, first, static_cast<int>(logicalWidth_), last - first + 1);
    }
    frame_ = wl_surface_frame(surface_);
    wl_callback_add_listener(frame_, &kFrameListener, this);
    buffer.Attached();
    wl_surface_commit(surface_);
    Log("commit %d %d %d %d %lld", index_, commit->damage.first, commit->damage.last, commit->buffer, state_.Now());
}

void OutputSurface::Log(const char* format, ...) const {
    if (!state_.tickLog) return;
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(state_.tickLog, format, arguments);
    va_end(arguments);
    std::fputc('\n', state_.tickLog);
}

}  // namespace nivora::wayland
