#pragma once

#include <QString>
#include <QTextStream>

namespace standin {

class Scene;

// A short scripted session at the host's user interface, one command a
// line ('#' starts a comment):
//
//   open NODE [N]        opens the rollouts of modifier N (0, the top) on NODE's stack
//   press TEXT           clicks the rollout button showing TEXT ("Add", "Remove", "Union", ...)
//   pick NODE            clicks NODE in the viewport (the current pick mode picks it)
//   rightclick           right-clicks the viewport
//   select ROW           clicks operand row ROW in the list (it must be scrolled into view)
//   click X Y            clicks the list at client point X, Y
//   scroll REQUEST [N]   a scroll bar request: up, down, pageup, pagedown, thumb N
//   wheel NOTCHES        turns the mouse wheel (positive: away from the user)
//   threshold VALUE      enters VALUE in the Threshold spinner
//   evaluate             evaluates the node whose rollouts are open, as a viewport redraw does
//   expand TITLE         opens a closed rollout ("About"); collapse TITLE closes it
//   snapshot NAME        saves the rollouts as NAME.png
//   close                closes the rollouts
//
// After each command the operand rows are logged, and with a picture folder
// the command panel is saved as NN-command.png there, scaled by `scale`.
// Rollouts still open at the end are closed. Text shows in the pictures
// only inside a QGuiApplication. False, with the line, on the first error.
bool runUiSession(Scene& scene, const QString& scriptPath, const QString& pictureFolder, int scale,
                  QTextStream& log, QString* error);

}  // namespace standin
