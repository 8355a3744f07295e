// The picture cycle that every front-end drives: reveal, hold, next picture.
// Every call answers with the schedule (the reveal every kRevealIntervalMs
// while it runs, the hold's end HoldIntervalMs after the hold began); a
// front-end follows it with its two timers, calls RevealTick and HoldEnd when
// they fire, and after every call shows the frame rows TakeChangedRows names.
//
// While a picture is revealed and held, the next one is prepared on the
// worker. Its numbers are a guess made from a copy of the random generator;
// at the hold's end the real numbers are drawn from the real generator, in
// the same order as ever, and the prepared layers are taken only when they
// match. Otherwise they are made again, and the old picture stays until they
// are ready. The worker also lays the new field over a frame of its own, so
// that taking a picture on the calling thread is a copy of pixels. Either way
// the pictures are the ones the steps give on one thread, bit for bit.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/cycle_schedule.h"
#include "engine/imaging.h"
#include "engine/picture_numbers.h"
#include "engine/picture_worker.h"
#include "engine/random.h"
#include "engine/reveal.h"
#include "engine/scene.h"

namespace nivora {

class PictureCycle {
public:
    static constexpr std::uint32_t kRevealIntervalMs = 10;

    // `scene` has its settings, geometry and surfaces; the cycle keeps a
    // second scene of the same geometry for the picture being prepared.
    PictureCycle(Scene& scene, ImagingPlatform& platform, RandomGenerator& random, PictureWorker& worker);

    // For a window's thread, which must not wait for memory either: `scene`
    // has its settings and geometry but no surfaces. They are made for a
    // frame of frameWidth x frameHeight on the worker, in the job of the first
    // picture, and the calling thread must leave the scene's surfaces alone
    // until Waiting() turns false. Memory that runs out for them comes out
    // of the RevealTick that would take the picture, as a PictureMemoryError.
    PictureCycle(Scene& scene, ImagingPlatform& platform, RandomGenerator& random, PictureWorker& worker, int frameWidth,
                 int frameHeight);
    ~PictureCycle();  // stops and waits for its job
    PictureCycle(const PictureCycle&) = delete;
    PictureCycle& operator=(const PictureCycle&) = delete;

    // From now on a new field is taken by letting the scene's frame and the
    // worker's change places, not by copying the worker's into the scene's:
    // no work at all on the calling thread, however large the frame (a copy
    // of a 16384 x 16384 one takes it seconds). Only for a front-end that
    // looks up scene().FrameDib each time it shows rows; one that keeps a
    // handle on the frame (a device context selected into it) keeps the
    // copy.
    void SwapFramesOnTake() { swapFrames_ = true; }

    // Starts the first picture: its numbers are drawn now, on the calling
    // thread and in the usual order (background first), and the picture is
    // made on the worker, so that a window answers from its first message.
    // Until it is ready the frame keeps what it holds (black in a new one)
    // and Waiting() is true; RevealTick takes it once it is there (a memory
    // error of the worker comes out of that call), then the reveal runs and
    // the next picture is prepared.
    CycleSchedule FirstPicture();

    // Blocks until the awaited layers are ready, and takes them. For tools
    // and tests, which may wait; a window's thread never calls it.
    CycleSchedule FinishAwaited();

    bool RevealEnabled() const { return revealEnabled_; }
    bool HoldEnabled() const { return holdEnabled_; }
    std::uint32_t HoldIntervalMs() const { return nivora::HoldIntervalMs(scene_.Settings.TimeShow); }

    // When to call again: the answer every call below gives too. No timer
    // runs once a job has failed.
    CycleSchedule Schedule() const;

    // One reveal tick. While new layers are awaited it only looks whether
    // they are ready, and takes them when they are.
    CycleSchedule RevealTick();

    // The hold is over: the cursor is rewound, the numbers of the next picture
    // drawn, and its layers taken (or awaited).
    CycleSchedule HoldEnd();

    // The scene's Algorithm (or Background, or Brightness) was changed: the
    // layer is made again, and once it is ready the field is laid over the
    // frame and the reveal starts again from the first cell. The hold, if it
    // runs, goes on.
    CycleSchedule RegenerateSnowflake();
    CycleSchedule RegenerateBackground();

    // A setting that the next picture depends on changed (a random flag):
    // the picture being prepared is made again from the settings as they are.
    CycleSchedule SettingsChanged();

    // Takes awaited layers if they are ready; true when nothing is awaited
    // any more. For front-ends that reveal by their own rules (the preview).
    bool TakeAwaited() { return !awaitedParts_ || TakeIfReady(); }

    // A job failed (memory ran out): the cycle has no picture to show and
    // does nothing more; neither timer is enabled.
    bool Failed() const { return failed_; }

    // Frame rows drawn since the last call.
    RowSpan TakeChangedRows();

    // New layers are awaited: the picture on screen is not the one the
    // settings ask for yet.
    bool Waiting() const { return awaitedParts_ != 0; }

    // Pictures (and regenerated layers) taken into the scene so far.
    std::uint64_t LayersTaken() const { return layersTaken_; }

    Scene& scene() { return scene_; }

private:
    enum Part { kSnowflake = 1, kBackground = 2 };

    // What one job makes: the parts, and the numbers they are made from.
    struct Request {
        int parts = 0;
        std::uint8_t algorithm = 0;
        std::int32_t background = 0;  // the recipe the field is filled with
        std::uint8_t brightness = 0;
        bool operator==(const Request&) const = default;
    };

    Request RequestFor(const SaverSettings& settings, int parts) const;
    void Submit(const Request& request);
    void Make(const Request& request);  // on the worker
    void MakeSurfaces();                 // on the worker, before the first picture when they were left to it
    void MakeNextSurfaces(ImagingPlatform& platform);
    void PrepareNext();
    void Await(int parts);
    bool TakeIfReady();
    void Take(const Request& request);
    void StopJob();

    Scene& scene_;
    RandomGenerator& random_;
    PictureWorker& worker_;
    Scene next_;  // the worker's: layers being made, the field, a FieldBitmap, a frame with it laid

    // Surfaces left to the worker: the platform and the frame's size; read
    // and cleared by jobs only.
    ImagingPlatform* surfacesPlatform_ = nullptr;
    int frameWidth_ = 0, frameHeight_ = 0;

    std::shared_ptr<PictureWorker::Job> job_;
    Request jobRequest_;
    int awaitedParts_ = 0;  // parts the scene waits for; 0 while the job only prepares

    // The recipe whose values the field holds (worker side; -1 unknown), and
    // the one behind the picture on screen. A Background outside 0..20 fills
    // nothing, so its picture colours the field as the last picture left it.
    int fieldHolds_ = -1;
    int shownRecipe_ = 0;

    bool swapFrames_ = false;
    bool revealEnabled_ = false;
    bool holdEnabled_ = false;
    bool failed_ = false;
    RowSpan changed_;
    std::uint64_t layersTaken_ = 0;
};

}  // namespace nivora
