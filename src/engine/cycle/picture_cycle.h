// The picture cycle that every front-end drives: reveal, hold, next picture.
// Every call answers with a CycleAnswer: the schedule (the reveal every
// kRevealIntervalMs while it runs, the hold's end HoldIntervalMs after the
// hold began) and the frame rows the call drew. A front-end follows the
// schedule with its two timers, calls RevealTick and HoldEnd when they fire,
// and shows the rows of every answer.
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
#include <vector>

#include "engine/cycle/cycle_schedule.h"
#include "engine/cycle/picture_numbers.h"
#include "engine/cycle/picture_worker.h"
#include "engine/cycle/random.h"
#include "engine/cycle/row_span.h"
#include "engine/pictures/imaging.h"
#include "engine/pictures/scene.h"

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
    CycleAnswer FirstPicture();

    // Where the cycle is in the sequence of pictures its generator gives, for
    // a cycle that takes over from it on the same generator (a window or an
    // output of a new size): what it holds when the old cycle is gone.
    struct SequencePlace {
        bool drawn = false;    // a picture's numbers were drawn
        bool first = false;    // the first picture's (the background first)
        bool shown = false;    // and that picture was taken into the scene
        RandomGenerator before;  // the generator before they were drawn
    };
    SequencePlace Place() const;

    // Starts the cycle where the one it replaces left the sequence: a picture
    // whose numbers were drawn but which was never shown is made from the same
    // numbers; after one that was shown come the next picture's numbers, as
    // HoldEnd draws them. So a new size changes only the size of the pictures
    // the seed gives, not their order. A place where nothing was drawn starts
    // with FirstPicture.
    CycleAnswer ContinueAt(const SequencePlace& place);

    // Blocks until the awaited layers are ready, and takes them. For tools
    // and tests, which may wait; a window's thread never calls it.
    CycleAnswer FinishAwaited();

    bool RevealEnabled() const { return revealEnabled_; }
    bool HoldEnabled() const { return holdEnabled_; }
    std::uint32_t HoldIntervalMs() const { return nivora::HoldIntervalMs(scene_.Settings.TimeShow); }

    // When to call again, as the cycle stands now (the hold's interval that
    // of the TimeShow set now). No timer runs once a job has failed.
    CycleSchedule Schedule() const;

    // One reveal tick. While new layers are awaited it only looks whether
    // they are ready, and takes them when they are.
    CycleAnswer RevealTick();

    // The hold is over: the cursor is rewound, the numbers of the next picture
    // drawn, and its layers taken (or awaited).
    CycleAnswer HoldEnd();

    // The scene's Algorithm (or Background, or Brightness) was changed: the
    // layer is made again, and once it is ready the field is laid over the
    // frame and the reveal starts again from the first cell. The hold, if it
    // runs, goes on.
    CycleAnswer RegenerateSnowflake();
    CycleAnswer RegenerateBackground();

    // A setting that the next picture depends on changed (a random flag):
    // the picture being prepared is made again from the settings as they are.
    CycleAnswer SettingsChanged();

    // Takes awaited layers if they are ready; true when nothing is awaited
    // any more. For front-ends that reveal by their own rules (the preview),
    // which show the whole frame: the rows of a picture taken here come with
    // the next answer.
    bool TakeAwaited() { return !awaitedParts_ || TakeIfReady(); }

    // A job failed (memory ran out), or no thread could be started for it:
    // the cycle has no picture to show and does nothing more; neither timer
    // is enabled.
    bool Failed() const { return failed_; }

    // The cycle is about to go: its job is dropped now, so that the worker
    // moves on to the jobs that are still wanted, and the destruction only
    // waits for a job that already runs to stop (none once Busy() is false).
    // Nothing else may be called but Busy() and the destructor.
    void DropJob();
    bool Busy() const;

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
    void NoteDraw(bool first);  // before a picture's numbers are drawn
    CycleAnswer Answer();       // the schedule, and the rows drawn since the last answer

    Scene& scene_;
    RandomGenerator& random_;
    PictureWorker& worker_;
    Scene next_;  // the worker's: layers being made, the field, a FieldBitmap, a frame with it laid

    // Surfaces left to the worker: the platform and the frame's size; read
    // and cleared by jobs only.
    ImagingPlatform* surfacesPlatform_ = nullptr;
    int frameWidth_ = 0, frameHeight_ = 0;

    std::shared_ptr<PictureWorker::Job> job_;
    std::vector<std::shared_ptr<PictureWorker::Job>> stopping_;  // told to stop, and perhaps still running
    Request jobRequest_;
    int awaitedParts_ = 0;  // parts the scene waits for; 0 while the job only prepares

    // The recipe whose values the field holds (worker side; -1 unknown), and
    // the one behind the picture on screen. A Background outside
    // 0..kBackgroundRecipes fills nothing, so its picture colours the field as
    // the last picture left it.
    int fieldHolds_ = -1;
    int shownRecipe_ = 0;

    bool swapFrames_ = false;
    bool revealEnabled_ = false;
    bool holdEnabled_ = false;
    bool failed_ = false;
    RowSpan changed_;  // frame rows drawn since the last answer
    std::uint64_t layersTaken_ = 0;
    SequencePlace place_;
    std::uint64_t takenBeforeDraw_ = 0;  // layersTaken_ when place_ was drawn
};

}  // namespace nivora
