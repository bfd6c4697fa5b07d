#pragma once

class Form1;
class QWidget;

// The one factor by which the twip layout grows so that every caption fits its box in the
// toolkit's default font: the layout was drawn for a narrow 8-point interface font, and
// today's defaults are wider. Slot text boxes and the wrapping about description are left
// out: their texts may run on.
namespace layoutscale {

// Whether the control's caption fits its box, laid out at scale 1.0, grown by factor.
bool fits(const QWidget &control, double factor);

// The smallest factor, never below 1.0, at which every label, button and option caption of
// the three windows fits in either language. The windows are laid out at scale 1.0; this
// writes each language's texts into them.
double forWindows(Form1 &form1);

// The factor for the application's default font, measured on windows made for the purpose.
double forDefaultFont();

} // namespace layoutscale
