// The tick log both Linux front-ends write and bench/tick-log.awk reads:
// one scenario through two pictures, a new size and a second cycle, checked
// line by line against what the cycle did.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/cycle/picture_worker.h"
#include "linux/tick_log.h"
#include "support/pictures.h"

namespace nivora::linux_saver {
namespace {

std::vector<std::string> Lines(const std::string& path) {
    std::ifstream file(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) lines.push_back(line);
    return lines;
}

// The line that says which picture the scene shows.
std::string PictureLine(Scene& scene) {
    return "picture " + std::to_string(scene.FrameDib->Width()) + "x" + std::to_string(scene.FrameDib->Height()) +
           " algorithm " + std::to_string(scene.Settings.Algorithm) + " background " +
           std::to_string(scene.Settings.Background);
}

TEST(LinuxTickLog, StepsPicturesAndHoldsOfTwoCycles) {
    const std::string path = testing::TempDir() + "tick_log_test.log";
    const SaverSettings settings{.Algorithm = 20, .Background = 1, .Brightness = 14, .TimeShow = 5,
                                 .BackgroundRands = true, .RandsAlgorithm = true};
    std::vector<std::string> steps, shown;  // the steps logged, the pictures revealed
    {
        TickLog log(path);
        ASSERT_TRUE(log.Open());
        PictureWorker worker;
        Scene scenes[2];
        RandomGenerator random;
        StartScene(scenes[0], random, {settings, 7, 96, 54});
        auto cycle = std::make_unique<PictureCycle>(scenes[0], SoftwareImaging(), random, worker);
        const auto step = [&](const char* what, PictureCycle* followed) {
            log.Step(what, log.Now(), followed, followed && followed->HoldEnabled());
            steps.push_back(what);
        };
        const auto reveal = [&] {
            while (cycle->RevealEnabled()) {
                if (cycle->Waiting()) cycle->FinishAwaited();
                cycle->RevealTick();
                step("tick", cycle.get());
            }
            shown.push_back(PictureLine(cycle->scene()));
        };

        log.Step("gone", log.Now(), nullptr, true);  // no cycle to follow (no outputs): no other line
        steps.push_back("gone");
        cycle->FirstPicture();
        step("first", cycle.get());
        reveal();
        cycle->HoldEnd();
        step("hold-end", cycle.get());
        reveal();
        // A new size: a cycle of its own goes on with the seed's pictures.
        const PictureCycle::SequencePlace place = cycle->Place();
        cycle.reset();
        StartScene(scenes[1], random, {settings, random.Seed, 64, 80});
        cycle = std::make_unique<PictureCycle>(scenes[1], SoftwareImaging(), random, worker);
        cycle->ContinueAt(place);
        step("first", cycle.get());
        reveal();
        // The log follows another cycle (the first output went): its picture
        // is logged at once, though it took as many as the one before.
        Scene another;
        RandomGenerator anotherRandom;
        StartScene(another, anotherRandom, {settings, 8, 40, 40});
        PictureCycle other(another, SoftwareImaging(), anotherRandom, worker);
        other.FirstPicture();
        while (other.RevealEnabled() || other.LayersTaken() < cycle->LayersTaken()) {
            if (other.Waiting()) other.FinishAwaited();
            if (other.RevealEnabled()) other.RevealTick();
            if (!other.RevealEnabled() && other.LayersTaken() < cycle->LayersTaken()) other.HoldEnd();
        }
        ASSERT_EQ(other.LayersTaken(), cycle->LayersTaken());
        step("gone", &other);
        shown.push_back(PictureLine(another));
        log.Line("end %s %d", "signal", 3);
        log.Close();
        log.Step("tick", 0, nullptr, false);  // nothing after Close
    }

    const auto lines = Lines(path);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "end signal 3");
    std::vector<std::string> loggedSteps, pictures;
    std::string before;  // the kind of line before this one
    int holds = 0;
    for (const std::string& line : lines) {
        SCOPED_TRACE(line);
        std::istringstream fields(line);
        std::string what;
        long long start = -1, end = -1, cpu = -1;
        fields >> what;
        if (what == "picture") {
            pictures.push_back(line);
            // Once per picture, after the step that took it and before its hold
            // (the last one's, of the other cycle, comes in the hold).
            EXPECT_EQ(pictures.size(), static_cast<std::size_t>(std::min(holds + 1, 4)));
        } else if (what == "hold") {
            fields >> start;
            EXPECT_TRUE(fields && fields.eof() && start > 0);
            EXPECT_EQ(before, "tick") << "the hold begins at the tick that completed the picture";
            ++holds;
        } else if (what != "end") {
            fields >> start >> end >> cpu;
            EXPECT_TRUE(fields && fields.eof()) << "STEP START END CPU";
            EXPECT_TRUE(start >= 0 && end >= start && cpu > 0);
            loggedSteps.push_back(what);
        }
        before = what;
    }
    EXPECT_EQ(loggedSteps, steps);
    EXPECT_EQ(pictures, shown);  // three, the last at the new size, and the other cycle's
    EXPECT_EQ(holds, 3);
    std::remove(path.c_str());
}

}  // namespace
}  // namespace nivora::linux_saver
