#pragma once

// What the demonstration shows in each phase, and the geometry of its wavy
// underline: plain data, so the view only paints and tests read it here.

#include <string>
#include <vector>

#include "onboarding/demo_player.hpp"

namespace mivo {

struct DemoScene {
    enum class Chip { none, polite, business };  // "Casual" is never active

    bool toneStage = false;
    // The header pill: "Auto-correct" or "Tone · Business".
    std::string pillLabel;

    // Correction stage.
    bool caretVisible = false;
    bool underlineVisible = false;
    bool bubbleVisible = false;
    std::string correctedWord;  // "送ます", then "送ります" once applied
    bool correctedWordIsSuccess = false;

    // Tone stage.
    std::string toneSentence;
    bool toneSentenceIsSuccess = false;
    bool toneSelectionVisible = false;
    Chip activeChip = Chip::none;
    bool chipRowVisible = true;  // transparent, still taking its space, when false
};

DemoScene demoScene(DemoPlayer::Phase phase);

// One arch of the wavy underline: a quadratic curve from (startX, midY) to
// (endX, midY) through the control point (controlX, controlY). y grows
// downwards, so the first arch, bowing upwards, has controlY < midY.
struct SquiggleArch {
    double startX;
    double endX;
    double controlX;
    double controlY;
};

// Arches of half-wavelength 6 alternating up and down from minX, the last
// one cut short to end exactly at maxX; none for an empty width.
std::vector<SquiggleArch> squiggleArches(double minX, double maxX, double midY);

}  // namespace mivo
