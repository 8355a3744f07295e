// The rules of the settings window's sliders and check boxes that its
// handlers were written against, for every control that keeps them: the real
// controls and the tests' stand-ins. It depends on nothing, so that a layer
// of controls may take it without the engine.
#pragma once

#include <algorithm>

namespace nivora {

// A slider's position set from code is clamped to the range [min, max]. When
// the result differs from `position`, `position` takes it and the answer is
// true: the change handler runs. An equal position runs nothing. (A user's
// scroll is another matter: it runs the handler every time, also when it
// left the position as it was.)
inline bool SetSliderPosition(int min, int max, int& position, int wanted) {
    wanted = std::clamp(wanted, min, max);
    if (wanted == position) return false;
    position = wanted;
    return true;
}

// A check box's state set from code: when it differs from `checked`,
// `checked` takes it and the answer is true: the click handler runs.
inline bool SetCheckBoxState(bool& checked, bool wanted) {
    if (wanted == checked) return false;
    checked = wanted;
    return true;
}

}  // namespace nivora
