#include "onboarding/demo_scene.hpp"

#include <algorithm>

namespace mivo {

namespace {

constexpr double halfWavelength = 6.0;
constexpr double amplitude = 1.8;

}  // namespace

DemoScene demoScene(DemoPlayer::Phase phase) {
    using Phase = DemoPlayer::Phase;
    DemoScene scene;
    scene.toneStage = DemoPlayer::isToneStage(phase);
    scene.pillLabel = scene.toneStage ? "Tone · Business" : "Auto-correct";

    scene.caretVisible = phase == Phase::typing;
    scene.underlineVisible = phase == Phase::underline || phase == Phase::tooltip;
    scene.bubbleVisible = phase == Phase::tooltip;
    scene.correctedWordIsSuccess = phase == Phase::applied;
    scene.correctedWord = scene.correctedWordIsSuccess ? "送ります" : "送ます";

    switch (phase) {
        case Phase::tonePolite:
            scene.toneSentence = "明日送ります";
            scene.activeChip = DemoScene::Chip::polite;
            break;
        case Phase::toneBusiness:
            scene.toneSentence = "明日お送りいたします。";
            scene.activeChip = DemoScene::Chip::business;
            break;
        case Phase::toneApplied:
            scene.toneSentence = "明日お送りいたします。";
            scene.toneSentenceIsSuccess = true;
            scene.chipRowVisible = false;
            break;
        default:
            // The correction phases keep the tone stage's first look, so
            // the fade into the tone stage starts from it.
            scene.toneSentence = "明日送るね";
            scene.toneSelectionVisible = phase == Phase::selected;
            break;
    }
    return scene;
}

std::vector<SquiggleArch> squiggleArches(double minX, double maxX, double midY) {
    std::vector<SquiggleArch> arches;
    bool up = true;
    for (double x = minX; x < maxX;) {
        const double nx = std::min(x + halfWavelength, maxX);
        arches.push_back({x, nx, (x + nx) / 2, up ? midY - amplitude : midY + amplitude});
        up = !up;
        x = nx;
    }
    return arches;
}

}  // namespace mivo
