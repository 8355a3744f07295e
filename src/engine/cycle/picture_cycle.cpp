#include "engine/cycle/picture_cycle.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "engine/cycle/reveal.h"
#include "engine/pictures/background_colouring.h"
#include "engine/pictures/background_field.h"
#include "engine/pictures/parallel_rows.h"
#include "engine/pictures/snowflake.h"
#include "engine/pictures/surfaces.h"

namespace nivora {

namespace {

bool IsRecipe(std::int32_t background) { return background >= 0 && background <= kBackgroundRecipes; }

void CopyPixels(const Frame& from, Frame& to) {
    const int rows = std::min(from.Height(), to.Height());
    const auto bytes = static_cast<std::size_t>(std::min(from.Stride(), to.Stride()));
    if (bytes == 0 || !from.Bits() || !to.Bits()) return;  // a frame of no pixels has no memory
    for (int y = 0; y < rows; ++y)
        std::memcpy(to.Bits() + static_cast<std::size_t>(y) * to.Stride(),
                    from.Bits() + static_cast<std::size_t>(y) * from.Stride(), bytes);
}

}  // namespace

PictureCycle::PictureCycle(Scene& scene, ImagingPlatform& platform, RandomGenerator& random, PictureWorker& worker)
    : scene_(scene), random_(random), worker_(worker) {
    MakeNextSurfaces(platform);
}

PictureCycle::PictureCycle(Scene& scene, ImagingPlatform& platform, RandomGenerator& random, PictureWorker& worker,
                           int frameWidth, int frameHeight)
    : scene_(scene),
      random_(random),
      worker_(worker),
      surfacesPlatform_(&platform),
      frameWidth_(frameWidth),
      frameHeight_(frameHeight) {}

void PictureCycle::MakeNextSurfaces(ImagingPlatform& platform) {
    next_.FlakeSize = scene_.FlakeSize;
    next_.FlakeOffsetX = scene_.FlakeOffsetX;
    next_.FieldWidth = scene_.FieldWidth;
    next_.FieldHeight = scene_.FieldHeight;
    next_.FieldBitmap = platform.CreateBitmap(scene_.FieldWidth, scene_.FieldHeight);
    // Stretching the field over a 4K frame takes longer than a window may
    // stay deaf, so the worker lays it into a frame of its own and the
    // window's thread only copies the pixels. The field is opaque: what it is
    // laid over makes no difference.
    if (scene_.FrameDib) {
        next_.FrameDib = platform.CreateFrame(scene_.FrameDib->Width(), scene_.FrameDib->Height());
        next_.FrameGraphics = platform.CreateGraphics(*next_.FrameDib);
    }
}

void PictureCycle::MakeSurfaces() {
    if (!surfacesPlatform_) return;
    CreateSurfaces(scene_, *surfacesPlatform_, frameWidth_, frameHeight_);
    try {
        MakeNextSurfaces(*surfacesPlatform_);
    } catch (const std::bad_alloc&) {
        throw PictureMemoryError(frameWidth_, frameHeight_, PictureMemoryBytes(scene_, frameWidth_, frameHeight_));
    }
    surfacesPlatform_ = nullptr;
}

PictureCycle::~PictureCycle() { StopJob(); }

// A job that is done needs nothing of the worker, which may be gone already: a
// window stops its worker before its pictures go, and every job is done then.
void PictureCycle::StopJob() {
    DropJob();
    if (job_) PictureWorker::Wait(*job_);
    job_.reset();
    for (const auto& job : stopping_) PictureWorker::Wait(*job);
    stopping_.clear();
}

void PictureCycle::DropJob() {
    if (job_ && !job_->done.load(std::memory_order_acquire)) worker_.Drop(*job_);
}

bool PictureCycle::Busy() const {
    const auto running = [](const auto& job) { return job && !job->done.load(std::memory_order_acquire); };
    return running(job_) || std::any_of(stopping_.begin(), stopping_.end(), running);
}

PictureCycle::Request PictureCycle::RequestFor(const SaverSettings& settings, int parts) const {
    Request request;
    request.parts = parts;
    request.algorithm = settings.Algorithm;
    request.background = IsRecipe(settings.Background) ? settings.Background : shownRecipe_;
    request.brightness = settings.Brightness;
    return request;
}

void PictureCycle::Make(const Request& request) {
    EnsureExtendedPrecision();
    MakeSurfaces();
    next_.Settings.Algorithm = request.algorithm;
    next_.Settings.Background = request.background;
    next_.Settings.Brightness = request.brightness;
    if (request.parts & kSnowflake) Snowflake(next_);
    if (request.parts & kBackground) {
        // The field is a function of the recipe and the size alone: a recipe
        // already there is not computed again.
        if (fieldHolds_ != request.background) {
            fieldHolds_ = -1;
            Background0(next_);
            if (StopRequested()) return;
            fieldHolds_ = request.background;
        }
        Background1(next_);
        if (StopRequested() || !next_.FrameGraphics) return;
        LayField(next_);
        next_.FrameGraphics->Flush();
    }
}

void PictureCycle::Submit(const Request& request) {
    // The worker runs the new job once the old one has stopped. The old one
    // may still be running, on next_, after a newer job was dropped from the
    // queue (and so is done): the cycle must outlive every job it started.
    if (job_) {
        worker_.Drop(*job_);
        std::erase_if(stopping_, [](const auto& job) { return job->done.load(std::memory_order_acquire); });
        if (!job_->done.load(std::memory_order_acquire)) stopping_.push_back(job_);
    }
    try {
        job_ = worker_.Submit([this, request] { Make(request); });
    } catch (...) {
        // No thread to make pictures with: like a job that failed, the cycle
        // stops, and awaits nothing it could take half made.
        StopJob();
        failed_ = true;
        revealEnabled_ = false;
        holdEnabled_ = false;
        awaitedParts_ = 0;
        throw;
    }
    jobRequest_ = request;
}

CycleAnswer PictureCycle::FirstPicture() {
    StopJob();
    NoteDraw(true);
    DrawFirstPictureNumbers(scene_.Settings, random_);
    revealEnabled_ = true;
    holdEnabled_ = false;
    // Submitted, not taken: a job that fails at once (memory) must come out
    // of a tick, as the front-ends expect, never out of the window's creation.
    awaitedParts_ = kSnowflake | kBackground;
    Submit(RequestFor(scene_.Settings, awaitedParts_));
    return Answer();
}

CycleAnswer PictureCycle::FinishAwaited() {
    if (awaitedParts_) {
        if (job_) PictureWorker::Wait(*job_);
        TakeIfReady();
    }
    return Answer();
}

CycleSchedule PictureCycle::Schedule() const {
    return {.reveal = {revealEnabled_, kRevealIntervalMs}, .hold = {holdEnabled_, HoldIntervalMs()}};
}

void PictureCycle::PrepareNext() {
    if (awaitedParts_) return;
    SaverSettings guess = scene_.Settings;
    RandomGenerator generator = random_;
    DrawNextPictureNumbers(guess, generator);
    const Request request = RequestFor(guess, kSnowflake | kBackground);
    if (job_ && jobRequest_ == request) return;  // already on its way
    Submit(request);
}

CycleAnswer PictureCycle::SettingsChanged() {
    if (!failed_) PrepareNext();
    return Answer();
}

void PictureCycle::Await(int parts) {
    // Parts awaited before are made again too, from the settings as they are.
    awaitedParts_ |= parts;
    const Request request = RequestFor(scene_.Settings, awaitedParts_);
    if (!(job_ && jobRequest_ == request)) Submit(request);
    TakeIfReady();
}

bool PictureCycle::TakeIfReady() {
    if (!awaitedParts_ || !job_ || !job_->done.load(std::memory_order_acquire)) return false;
    const auto job = std::move(job_);
    awaitedParts_ = 0;
    if (job->error) {
        failed_ = true;
        revealEnabled_ = false;
        holdEnabled_ = false;
        std::rethrow_exception(job->error);
    }
    Take(jobRequest_);
    PrepareNext();
    return true;
}

void PictureCycle::Take(const Request& request) {
    if (request.parts & kSnowflake) std::swap(scene_.FlakeLayer, next_.FlakeLayer);
    if (request.parts & kBackground) {
        std::swap(scene_.FieldBitmap, next_.FieldBitmap);
        shownRecipe_ = request.background;
    }
    if ((request.parts & kBackground) && next_.FrameDib && scene_.FrameDib) {
        if (scene_.FrameGraphics) scene_.FrameGraphics->Flush();
        if (swapFrames_) {
            // The field covers the whole frame, so the worker lays the next
            // one over whatever the old frame holds.
            std::swap(scene_.FrameDib, next_.FrameDib);
            std::swap(scene_.FrameGraphics, next_.FrameGraphics);
        } else {
            CopyPixels(*next_.FrameDib, *scene_.FrameDib);
        }
    } else {
        LayField(scene_);
    }
    RewindReveal(scene_);
    if (scene_.FrameDib) changed_.Add(RowSpan::Whole(scene_.FrameDib->Height()));
    ++layersTaken_;
}

CycleAnswer PictureCycle::RevealTick() {
    if (failed_ || (awaitedParts_ && !TakeIfReady())) return Answer();
    const RevealTickResult tick = nivora::RevealTick(scene_);
    changed_.Add(tick.rows);
    if (tick.completed) {
        revealEnabled_ = false;
        holdEnabled_ = true;
    }
    return Answer();
}

CycleAnswer PictureCycle::HoldEnd() {
    if (failed_) return Answer();
    RewindReveal(scene_);
    NoteDraw(false);
    DrawNextPictureNumbers(scene_.Settings, random_);
    revealEnabled_ = true;
    holdEnabled_ = false;
    awaitedParts_ = 0;  // a new picture replaces whatever was awaited
    Await(kSnowflake | kBackground);
    return Answer();
}

void PictureCycle::NoteDraw(bool first) {
    place_ = {.drawn = true, .first = first, .shown = false, .before = random_};
    takenBeforeDraw_ = layersTaken_;
}

PictureCycle::SequencePlace PictureCycle::Place() const {
    SequencePlace place = place_;
    place.shown = place.drawn && layersTaken_ > takenBeforeDraw_;
    return place;
}

CycleAnswer PictureCycle::ContinueAt(const SequencePlace& place) {
    if (!place.drawn) return FirstPicture();
    if (place.shown) return HoldEnd();
    random_ = place.before;
    return place.first ? FirstPicture() : HoldEnd();
}

CycleAnswer PictureCycle::RegenerateSnowflake() {
    if (failed_) return Answer();
    revealEnabled_ = true;
    Await(kSnowflake);
    return Answer();
}

CycleAnswer PictureCycle::RegenerateBackground() {
    if (failed_) return Answer();
    revealEnabled_ = true;
    Await(kBackground);
    return Answer();
}

CycleAnswer PictureCycle::Answer() { return {.schedule = Schedule(), .rows = std::exchange(changed_, RowSpan{})}; }

}  // namespace nivora
