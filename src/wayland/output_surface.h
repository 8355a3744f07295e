// One output of the compositor and the saver's surface on it: the output's
// mode, scale and transform, the surface (layer-shell overlay anchored to all
// four edges with the keyboard to itself, or a full-screen xdg_toplevel), and
// its picture (scene, generator, cycle) in physical pixels. The frame's
// changed rows reach the surface at most once per frame callback, through
// two shm buffers (BufferRows says which rows go where).
#pragma once

#include <wayland-client.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "engine/cycle/picture_cycle.h"
#include "engine/cycle/random.h"
#include "engine/pictures/scene.h"
#include "wayland/buffer_rows.h"
#include "wayland/saver_state.h"
#include "wayland/shm_buffer.h"

namespace nivora::wayland {

class OutputSurface {
public:
    // `index` 0 is the first output: it draws from the first seed, the others
    // from seeds derived from it.
    OutputSurface(SaverState& state, wl_output* output, std::uint32_t globalName, int index);
    ~OutputSurface();
    OutputSurface(const OutputSurface&) = delete;
    OutputSurface& operator=(const OutputSurface&) = delete;

    // Makes the surface once the output has told its properties (at once for
    // an output too old to send `done`). Before the saver knows the
    // compositor's globals, `done` only takes note.
    void Start();

    wl_output* Output() const { return output_; }
    bool HasSurface() const { return surface_ != nullptr; }
    std::uint32_t GlobalName() const { return globalName_; }
    int Index() const { return index_; }
    const std::string& Name() const { return name_; }
    wl_surface* Surface() const { return surface_; }
    PictureCycle* Cycle() const { return cycle_.get(); }
    const Scene* PictureScene() const { return scene_.get(); }

    // Rows the cycle answered it drew, and their way to the surface: now when
    // the compositor is ready for a frame, otherwise at its next frame
    // callback.
    void Drawn(const RowSpan& rows) { rows_.Changed(rows); }
    void ShowDrawn();

private:
    struct Listeners;  // the compositor's events

    void OutputDone();
    void MakeSurface();
    void DropSurface();  // its picture too; the output stays
    void Configured(std::uint32_t width, std::uint32_t height);  // logical size; 0 = the output's
    void NewPicture(int width, int height);
    // The output's size in logical pixels, turned by its transform.
    std::pair<std::uint32_t, std::uint32_t> LogicalSize() const;
    void Present();

    SaverState& state_;
    wl_output* output_;
    std::uint32_t globalName_;
    int index_;

    // The output, as its events last said.
    std::string name_;
    int scale_ = 1;
    std::int32_t transform_ = WL_OUTPUT_TRANSFORM_NORMAL;
    int modeWidth_ = 0, modeHeight_ = 0;
    bool doneSeen_ = false;

    wl_surface* surface_ = nullptr;
    zwlr_layer_surface_v1* layerSurface_ = nullptr;
    xdg_surface* xdgSurface_ = nullptr;
    xdg_toplevel* toplevel_ = nullptr;
    std::uint32_t logicalWidth_ = 0, logicalHeight_ = 0;  // as configured
    std::uint32_t toplevelWidth_ = 0, toplevelHeight_ = 0;  // pending until xdg_surface.configure
    bool configured_ = false;
    wl_callback* frame_ = nullptr;  // a frame callback is awaited
    int bufferScale_ = 1;           // as last set on the surface

    RandomGenerator random_;
    std::unique_ptr<Scene> scene_;
    std::unique_ptr<PictureCycle> cycle_;  // after the scene: goes first
    std::array<std::unique_ptr<ShmBuffer>, BufferRows::kBuffers> buffers_;
    BufferRows rows_;
};

}  // namespace nivora::wayland
