// The window's shortcuts, in one place for the keys that act, the hints that
// name them and the page that lists them.
#pragma once

#include <QKeySequence>
#include <QString>

namespace vidora::app::shortcut {

inline constexpr QKeyCombination AddFilm = Qt::CTRL | Qt::Key_O;
inline constexpr QKeyCombination AddSubtitles = Qt::CTRL | Qt::Key_T;
inline constexpr QKeyCombination Convert = Qt::Key_Enter;  // Return and Ctrl with either too
inline constexpr QKeyCombination PauseResume = Qt::Key_Space;
inline constexpr QKeyCombination VolumeUp = Qt::Key_Up;
inline constexpr QKeyCombination VolumeDown = Qt::Key_Down;
inline constexpr QKeyCombination Information = Qt::Key_F1;
inline constexpr QKeyCombination NextPage = Qt::Key_PageDown;
inline constexpr QKeyCombination PreviousPage = Qt::Key_PageUp;
inline constexpr QKeyCombination Close = Qt::CTRL | Qt::Key_Q;  // and Alt+F4

// As the desktop writes the keys ("Ctrl+O").
inline QString Text(QKeyCombination keys) { return QKeySequence(keys).toString(QKeySequence::NativeText); }

}  // namespace vidora::app::shortcut
