// The class library's alignment of child controls: top, bottom, left and right
// controls are stacked against their parent's edges (in the order of their current
// position along that edge), and the client control takes the rest. It works on any
// child widget; the parent re-aligns its children whenever it is resized.
#pragma once

#include <QWidget>

enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

void SetAlign(QWidget* w, TAlign align);
TAlign GetAlign(const QWidget* w);
// Lays out the aligned children of `parent` now (visible ones only).
void AlignControls(QWidget* parent);
// The rectangle left for the client control after the other aligned children.
QRect AlignRemainder(QWidget* parent, const QWidget* except = nullptr);
