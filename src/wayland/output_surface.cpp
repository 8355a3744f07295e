#include "wayland/output_surface.h"

#include <algorithm>
#include <stdexcept>
#include <tuple>

#include "engine/cycle/cycle_group.h"
#include "engine/pictures/imaging.h"
#include "engine/pictures/surfaces.h"
#include "linux/saver_memory.h"

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

// The compositor's events, one function each, named after the interface
// and the event.
struct OutputSurface::Listeners {
    static OutputSurface* Self(void* data) { return static_cast<OutputSurface*>(data); }

    static void handle_wl_output_geometry(void* data, wl_output*, std::int32_t, std::int32_t, std::int32_t,
                                          std::int32_t, std::int32_t, const char*, const char*, std::int32_t transform) {
        Self(data)->transform_ = transform;
    }
    static void handle_wl_output_mode(void* data, wl_output*, std::uint32_t flags, std::int32_t width,
                                      std::int32_t height, std::int32_t) {
        if (!(flags & WL_OUTPUT_MODE_CURRENT)) return;
        Self(data)->modeWidth_ = width;
        Self(data)->modeHeight_ = height;
    }
    static void handle_wl_output_done(void* data, wl_output*) { Self(data)->OutputDone(); }
    static void handle_wl_output_scale(void* data, wl_output*, std::int32_t factor) {
        Self(data)->scale_ = factor > 0 ? factor : 1;
    }
    static void handle_wl_output_name(void* data, wl_output*, const char* name) { Self(data)->name_ = name; }

    static void handle_zwlr_layer_surface_v1_configure(void* data, zwlr_layer_surface_v1* surface,
                                                       std::uint32_t serial, std::uint32_t width, std::uint32_t height) {
        zwlr_layer_surface_v1_ack_configure(surface, serial);
        Self(data)->Configured(width, height);
    }
    static void handle_zwlr_layer_surface_v1_closed(void* data, zwlr_layer_surface_v1*) {
        OutputSurface* self = Self(data);
        self->state_.log->Line("closed %d %s", self->index_, self->name_.c_str());
        self->DropSurface();
        self->state_.surfaceClosed = true;
    }

    static void handle_xdg_surface_configure(void* data, xdg_surface* surface, std::uint32_t serial) {
        xdg_surface_ack_configure(surface, serial);
        OutputSurface* self = Self(data);
        self->Configured(self->toplevelWidth_, self->toplevelHeight_);
    }
    static void handle_xdg_toplevel_configure(void* data, xdg_toplevel*, std::int32_t width, std::int32_t height,
                                              wl_array*) {
        Self(data)->toplevelWidth_ = width > 0 ? width : 0;
        Self(data)->toplevelHeight_ = height > 0 ? height : 0;
    }
    static void handle_xdg_toplevel_close(void* data, xdg_toplevel*) {
        OutputSurface* self = Self(data);
        self->state_.log->Line("end close %lld", self->state_.log->Now());
        self->state_.quit = true;
    }

    static void handle_wl_callback_done(void* data, wl_callback* callback, std::uint32_t) {
        wl_callback_destroy(callback);
        Self(data)->frame_ = nullptr;
        Self(data)->Present();
    }
    // Not a protocol event: ShmBuffer's word that the compositor let a buffer go.
    static void handle_buffer_release(void* data) { Self(data)->Present(); }

    static constexpr wl_output_listener kOutput = {
        .geometry = handle_wl_output_geometry,
        .mode = handle_wl_output_mode,
        .done = handle_wl_output_done,
        .scale = handle_wl_output_scale,
        .name = handle_wl_output_name,
        .description = IgnoreEvent,
    };
    static constexpr zwlr_layer_surface_v1_listener kLayerSurface = {
        .configure = handle_zwlr_layer_surface_v1_configure,
        .closed = handle_zwlr_layer_surface_v1_closed,
    };
    static constexpr xdg_surface_listener kXdgSurface = {.configure = handle_xdg_surface_configure};
    static constexpr xdg_toplevel_listener kToplevel = {
        .configure = handle_xdg_toplevel_configure,
        .close = handle_xdg_toplevel_close,
        .configure_bounds = IgnoreEvent,
        .wm_capabilities = IgnoreEvent,
    };
    static constexpr wl_callback_listener kFrame = {.done = handle_wl_callback_done};
};

OutputSurface::OutputSurface(SaverState& state, wl_output* output, std::uint32_t globalName, int index)
    : state_(state), output_(output), globalName_(globalName), index_(index) {
    random_.Seed = index == 0 ? state.firstSeed : MonitorSeed(state.firstSeed, index);
    name_ = "output-" + std::to_string(globalName);
    wl_output_add_listener(output_, &Listeners::kOutput, this);
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
        zwlr_layer_surface_v1_add_listener(layerSurface_, &Listeners::kLayerSurface, this);
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
        xdg_surface_add_listener(xdgSurface_, &Listeners::kXdgSurface, this);
        toplevel_ = xdg_surface_get_toplevel(xdgSurface_);
        xdg_toplevel_add_listener(toplevel_, &Listeners::kToplevel, this);
        xdg_toplevel_set_title(toplevel_, "Nivora Glade");
        xdg_toplevel_set_app_id(toplevel_, kNamespace);
        xdg_toplevel_set_fullscreen(toplevel_, output_);
    }
    wl_surface_commit(surface_);  // no buffer yet: asks for the first configure
    state_.log->Line("surface %d %s", index_, state_.layerShell ? "layer" : "toplevel");
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
    const long long start = state_.log->Now();
    // The surface wants a buffer of the new size now, not at the next frame
    // callback of the old one (which a hidden output may never send).
    if (frame_) wl_callback_destroy(frame_);
    frame_ = nullptr;
    const PictureCycle::SequencePlace place = cycle_ ? cycle_->Place() : PictureCycle::SequencePlace{};
    state_.regroup = true;  // after these events: the old cycle goes now, the new one (if any) comes
    cycle_.reset();
    for (auto& buffer : buffers_) buffer.reset();
    scene_.reset();  // the old picture's memory goes before the new one's is asked for
    auto scene = std::make_unique<Scene>();
    scene->Settings = state_.settings;
    // Called from the compositor's events, which an exception must not
    // cross: a picture that cannot be made ends the saver through its loop.
    const auto giveUp = [this](int status, const char* why) {
        for (auto& buffer : buffers_) buffer.reset();
        state_.Fail(status, why);
    };
    try {
        linux_saver::MakeSaverSurfaces(*scene, width, height, BufferRows::kBuffers);
        for (auto& buffer : buffers_) {
            buffer = std::make_unique<ShmBuffer>(state_.shm, width, height);
            buffer->releaseData = this;
            buffer->onRelease = Listeners::handle_buffer_release;
        }
        cycle_ = std::make_unique<PictureCycle>(*scene, SoftwareImaging(), random_, state_.worker);
    } catch (const PictureMemoryError& e) {
        return giveUp(2, e.what());
    } catch (const std::bad_alloc&) {
        const auto needs = linux_saver::SaverMemoryBytes(*scene, width, height, BufferRows::kBuffers);
        return giveUp(2, PictureMemoryError(width, height, needs).what());
    } catch (const std::exception& e) {
        return giveUp(1, e.what());
    }
    scene_ = std::move(scene);
    // A new size goes on with the seed's pictures. The answer's rows are
    // among the whole frame the surface is given; the timers follow the
    // group, which takes the new cycle in after these events.
    cycle_->ContinueAt(place);
    rows_.Reset(height);
    state_.log->Line("output %d %s %dx%d scale %d transform %d", index_, name_.c_str(), width, height, scale_,
                     transform_);
    if (index_ == 0) state_.log->Step("first", start);
}

void OutputSurface::ShowDrawn() {
    if (rows_.Pending()) Present();
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
        state_.log->Line("scale %d %d", index_, scale_);
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
    wl_callback_add_listener(frame_, &Listeners::kFrame, this);
    buffer.Attached();
    wl_surface_commit(surface_);
    state_.log->Line("commit %d %d %d %d %lld", index_, commit->damage.first, commit->damage.last, commit->buffer,
                     state_.log->Now());
}

}  // namespace nivora::wayland
