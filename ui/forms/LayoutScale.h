// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QSize>
#include <QString>

#include <cstdint>
#include <optional>

class QWidget;

// The one factor by which the twip layout grows so that every caption fits its box in the
// toolkit's default font: the layout was drawn for a narrow 8-point interface font, and
// today's defaults are wider. It is found from the captions' font metrics alone, without
// building a window, and capped so that every window fits the screen; a caption that then
// does not fit is cut short with an ellipsis and shown whole in its tooltip. Slot text boxes
// and the wrapping about description are left out: their texts may run on.
namespace layoutscale {

enum class CaptionKind { Label, WrappedLabel, Button, Option };

// A captioned control of the three windows: its caption in one language and its box at
// scale 1.0.
struct CaptionBox
{
    QString objectName;
    QString caption;
    QSize twips;
    CaptionKind kind;
};

QList<CaptionBox> captionBoxes(std::uint8_t language);

// Whether the control's caption fits its box, laid out at scale 1.0, grown by factor.
bool fits(const QWidget &control, double factor);

// The smallest factor on the 0.01 grid, never below 1.0, at which every caption fits in
// either language; with a screen area, no larger than lets each window fit it.
double forDefaultFont(std::optional<QSize> screenArea = std::nullopt);
// The largest factor at which each window, its frame included, fits the screen area.
double largestFitting(QSize screenArea);

// Whether captions that do not fit are cut short: set once the factor was capped.
bool elidesCaptions();
void setElidesCaptions(bool elide);
// Cuts short every caption of the window that does not fit its box, where captions are cut.
void elideCaptionsThatDoNotFit(QWidget &window);

} // namespace layoutscale
