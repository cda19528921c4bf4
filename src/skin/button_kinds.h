// What a skinned button can be, as skin files name it: where its caption
// goes, its faces and its styles.
#pragma once

namespace vidora {

// Scoped: the engine's thread priorities use the same tp prefix.
enum class TTextPos { tpNone, tpLeft, tpRight, tpAbove, tpBelow };
enum TGlyphState { gsDisabled, gsDown, gsUp, gsOver, gsNone };
enum TButtonStyle { btFlat, btSpeed, btNormal, btSpeedFlat };

}  // namespace vidora
