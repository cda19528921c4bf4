// What screen readers learn of a skinned key: a button, or a check box when
// it latches, with its name, description, state and press action.
#pragma once

namespace vidora {

// Makes Qt's accessibility ask us about every TRegionButton; once is enough,
// later calls do nothing.
void InstallKeyAccessibility();

}  // namespace vidora
