// SPDX-License-Identifier: GPL-3.0-or-later
#include "features/WaveformView.h"

#include "NumberText.h"
#include "TextTable.h"

#include "features/WaveformAccessible.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

WaveformView::WaveformView(std::uint8_t language, QWidget *parent)
    : QWidget(parent), language_(language)
{
    static const bool accessible = [] {
        QAccessible::installFactory(&WaveformAccessible::factory);
        return true;
    }();
    Q_UNUSED(accessible);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(QString::fromUtf8(TextTable::forLanguage(language).fitWaveform));
    setMinimumHeight(fontMetrics().height() * 6);
    describeGameLength();
}

QSize WaveformView::sizeHint() const
{
    return {fontMetrics().averageCharWidth() * 90, fontMetrics().height() * 9};
}

void WaveformView::setPeaks(Peaks peaks, double seconds)
{
    peaks_ = std::move(peaks);
    seconds_ = seconds;
    if (shown_ >= seconds_)
        shown_ = 0;
    shownFrom_ = std::clamp(shownFrom_, 0.0, std::max(0.0, seconds_ - shownSeconds()));
    describeGameLength();
    update();
}

void WaveformView::setDetail(std::shared_ptr<const std::vector<float>> mono, int rate)
{
    detail_ = std::move(mono);
    detailRate_ = rate;
    update();
}

void WaveformView::setLooped(bool looped)
{
    looped_ = looped;
    describeGameLength();
    update();
}

void WaveformView::setFades(double fadeIn, double fadeOut, double crossfade)
{
    fadeIn_ = fadeIn;
    fadeOut_ = fadeOut;
    crossfade_ = crossfade;
    update();
}

double WaveformView::shownSeconds() const
{
    return shown_ > 0 ? shown_ : seconds_;
}

void WaveformView::zoomIn()
{
    zoomAround(chosen_ == Marker::Start ? start_ : end_, 0.5);
}

void WaveformView::zoomOut()
{
    zoomAround(chosen_ == Marker::Start ? start_ : end_, 2);
}

void WaveformView::zoomAround(double at, double factor)
{
    if (seconds_ <= 0)
        return;
    const double finest = finestZoom * std::max(width(), 1);
    const double shown = std::clamp(shownSeconds() * factor, std::min(finest, seconds_), seconds_);
    // The time under the point stays where it is on the screen.
    const double share = shownSeconds() > 0 ? (at - shownFrom_) / shownSeconds() : 0.5;
    shown_ = shown < seconds_ ? shown : 0;
    scrollTo(at - std::clamp(share, 0.0, 1.0) * shown);
}

void WaveformView::scrollTo(double from)
{
    shownFrom_ = std::clamp(from, 0.0, std::max(0.0, seconds_ - shownSeconds()));
    update();
}

void WaveformView::keepInView(double at)
{
    if (at < shownFrom_)
        scrollTo(at);
    else if (at > shownFrom_ + shownSeconds())
        scrollTo(at - shownSeconds());
}

void WaveformView::setGameLength(double seconds)
{
    gameLength_ = seconds;
    describeGameLength();
    update();
}

void WaveformView::setMarkers(double start, double end)
{
    start_ = start;
    end_ = end;
    markersChanged();
}

int WaveformView::rulerHeight() const
{
    return fontMetrics().height() + 4;
}

int WaveformView::xAt(double seconds) const
{
    const double shown = shownSeconds();
    return shown > 0 ? int(std::lround((seconds - shownFrom_) / shown * (width() - 1))) : 0;
}

double WaveformView::secondsAt(int x) const
{
    return width() > 1
               ? shownFrom_ + std::clamp(double(x) / (width() - 1), 0.0, 1.0) * shownSeconds()
               : 0;
}

void WaveformView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRect area(0, rulerHeight(), width(), height() - rulerHeight());
    painter.fillRect(rect(), palette().base());
    // What is left out is shaded.
    const QColor outside = palette().color(QPalette::Mid);
    painter.fillRect(QRect(QPoint(0, area.top()), QPoint(xAt(start_), area.bottom())), outside);
    painter.fillRect(QRect(QPoint(xAt(end_), area.top()), area.bottomRight()), outside);
    paintPeaks(painter, area);
    paintRuler(painter);
    paintFades(painter, area);
    paintGame(painter, area);
    paintMarkers(painter, area);
}

void WaveformView::paintGame(QPainter &painter, const QRect &area) const
{
    const TextTable &texts = TextTable::forLanguage(language_);
    const int baseline = area.top() + painter.fontMetrics().ascent() + 2;
    if (looped_ && end_ > start_) {
        // The game's turn: from the end marker back to the start, the loop's length written
        // on the arrow.
        painter.setPen(QPen(Qt::darkGreen, 1));
        const int from = xAt(end_);
        const int to = xAt(start_);
        const int y = baseline + 4;
        painter.drawLine(from, y, to, y);
        painter.drawLine(to, y, to + 6, y - 4);
        painter.drawLine(to, y, to + 6, y + 4);
        const QString label = QString::fromUtf8(texts.fitLoopTurn)
                                  .arg(NumberText::minutesSeconds(end_ - start_, language_));
        const int width = painter.fontMetrics().horizontalAdvance(label);
        drawTextFitted(painter, std::max(to + 8, from - 4 - width), baseline, label);
        return;
    }
    // The game plays the written file from its first sample, which is the start marker's.
    if (gameLength_ > 0 && start_ + gameLength_ < seconds_) {
        painter.setPen(QPen(Qt::darkGreen, 1, Qt::DashLine));
        const int x = xAt(start_ + gameLength_);
        painter.drawLine(x, area.top(), x, area.bottom());
        drawTextFitted(painter, x + 3, baseline, QString::fromUtf8(texts.fitGameLength));
    }
}

void WaveformView::paintFades(QPainter &painter, const QRect &area) const
{
    // The crossfade's music just before the start is heard over the last of the end: both
    // stretches tinted, at least a few pixels wide.
    if (crossfade_ > 0) {
        const QColor tint(255, 140, 0, 110);
        for (const double at : {start_, end_}) {
            const int right = xAt(at);
            const int left = std::min(xAt(at - crossfade_), right - 5);
            painter.fillRect(QRect(QPoint(left, area.top()), QPoint(right, area.bottom())), tint);
        }
    }
    if (fadeIn_ <= 0 && fadeOut_ <= 0)
        return;
    // The fades' volume, from silence at the foot to full at the top.
    painter.setPen(QPen(QColor(200, 120, 0), 2));
    const QPolygon envelope(
        {QPoint(xAt(start_), area.bottom()), QPoint(xAt(start_ + fadeIn_), area.top() + 1),
         QPoint(xAt(end_ - fadeOut_), area.top() + 1), QPoint(xAt(end_), area.bottom())});
    painter.drawPolyline(envelope);
}

void WaveformView::drawTextFitted(QPainter &painter, int x, int baseline, const QString &text) const
{
    const int width = painter.fontMetrics().horizontalAdvance(text);
    if (x + width > this->width())
        x = std::max(0, x - width - 6);
    drawLabel(painter, x, baseline, text);
}

void WaveformView::drawLabel(QPainter &painter, int x, int baseline, const QString &text) const
{
    // On a ground of its own, to be read over the waveform.
    const QFontMetrics metrics = painter.fontMetrics();
    QColor ground = palette().color(QPalette::Base);
    ground.setAlpha(210);
    painter.fillRect(QRect(x - 2, baseline - metrics.ascent() - 1,
                           metrics.horizontalAdvance(text) + 4, metrics.height() + 2),
                     ground);
    painter.drawText(x, baseline, text);
}

void WaveformView::paintMarkers(QPainter &painter, const QRect &area) const
{
    const TextTable &texts = TextTable::forLanguage(language_);
    for (const Marker marker : {Marker::Start, Marker::End}) {
        const bool chosen = marker == chosen_ && hasFocus();
        const bool start = marker == Marker::Start;
        painter.setPen(QPen(start ? Qt::blue : Qt::red, chosen ? 3 : 2));
        const int x = xAt(start ? start_ : end_);
        // Zoomed in, a marker may lie outside the view: neither it nor its name is drawn.
        if (x < 0 || x >= width())
            continue;
        painter.drawLine(x, area.top(), x, area.bottom());
        // Named at its foot, inside the part written: the start's to its right, the end's to
        // its left, and never past the view's edge.
        const QString name = QString::fromUtf8(start ? texts.fitStartName : texts.fitEndName);
        if (chosen) {
            QFont bold = painter.font();
            bold.setBold(true);
            painter.setFont(bold);
        }
        const int width = painter.fontMetrics().horizontalAdvance(name);
        const int left =
            std::clamp(start ? x + 4 : x - 4 - width, 0, std::max(0, this->width() - width));
        drawLabel(painter, left, area.bottom() - painter.fontMetrics().descent() - 2, name);
        painter.setFont(font());
    }
}

void WaveformView::paintPeaks(QPainter &painter, const QRect &area) const
{
    if (peaks_.empty() || seconds_ <= 0)
        return;
    painter.setPen(palette().color(QPalette::Text));
    const double middle = area.center().y();
    const double half = area.height() / 2.0;
    for (int x = 0; x < area.width(); ++x) {
        const auto [low, high] = extremes(secondsAt(x), secondsAt(x + 1));
        painter.drawLine(x, int(middle - high * half), x, int(middle - low * half));
    }
}

std::pair<float, float> WaveformView::extremes(double from, double to) const
{
    float low = 0;
    float high = 0;
    const double perPeak = seconds_ / double(peaks_.size());
    // Zoomed past the peaks, the samples themselves.
    if (to - from < perPeak && detail_ && detailRate_ > 0 && !detail_->empty()) {
        const std::size_t last = detail_->size() - 1;
        const auto first = std::min(std::size_t(std::max(0.0, from) * detailRate_), last);
        const auto end =
            std::clamp(std::size_t(std::max(0.0, to) * detailRate_), first + 1, detail_->size());
        for (std::size_t i = first; i < end; ++i) {
            low = std::min(low, (*detail_)[i]);
            high = std::max(high, (*detail_)[i]);
        }
        return {low, high};
    }
    const auto first = std::min(std::size_t(std::max(0.0, from) / perPeak), peaks_.size() - 1);
    const auto end = std::clamp(std::size_t(std::max(0.0, to) / perPeak), first + 1, peaks_.size());
    for (std::size_t i = first; i < end; ++i) {
        low = std::min(low, peaks_[i].first);
        high = std::max(high, peaks_[i].second);
    }
    return {low, high};
}

void WaveformView::paintRuler(QPainter &painter) const
{
    if (seconds_ <= 0)
        return;
    painter.setPen(palette().color(QPalette::Text));
    // A tick every so many seconds that the labels do not touch; under a second, to the
    // hundredth.
    const auto label = [this](std::int64_t hundredths, bool fine) {
        const std::int64_t whole = hundredths / 100;
        return fine ? NumberText::minutesSeconds(double(hundredths) / 100, language_)
                    : QStringLiteral("%1:%2")
                          .arg(whole / 60)
                          .arg(whole % 60, 2, 10, QLatin1Char('0'));
    };
    std::int64_t step = 100; // hundredths of a second
    for (const std::int64_t candidate :
         {1, 2, 5, 10, 20, 50, 100, 200, 500, 1000, 1500, 3000, 6000, 12000, 30000, 60000}) {
        step = candidate;
        const int labelWidth =
            painter.fontMetrics().horizontalAdvance(label(59999, candidate < 100)) * 3 / 2;
        if (xAt(shownFrom_ + double(candidate) / 100) - xAt(shownFrom_) >= labelWidth)
            break;
    }
    const auto last = std::int64_t(std::floor((shownFrom_ + shownSeconds()) * 100 + 1e-6));
    for (std::int64_t at =
             (std::int64_t(std::ceil(shownFrom_ * 100 - 1e-6)) + step - 1) / step * step;
         at <= last; at += step) {
        const int x = xAt(double(at) / 100);
        painter.drawLine(x, rulerHeight() - 4, x, rulerHeight());
        const QString text = label(at, step < 100);
        // The last label ends at the edge rather than run past it.
        const int left = std::min(x + 2, width() - painter.fontMetrics().horizontalAdvance(text));
        painter.drawText(left, painter.fontMetrics().ascent(), text);
    }
}

void WaveformView::mousePressEvent(QMouseEvent *event)
{
    const double at = secondsAt(int(event->position().x()));
    chosen_ = std::abs(at - start_) <= std::abs(at - end_) ? Marker::Start : Marker::End;
    moveChosen(at);
}

void WaveformView::mouseMoveEvent(QMouseEvent *event)
{
    if (event->buttons() & Qt::LeftButton)
        moveChosen(secondsAt(int(event->position().x())));
}

void WaveformView::keyPressEvent(QKeyEvent *event)
{
    const double step = event->modifiers() & Qt::ShiftModifier ? 1.0 : 0.01;
    const double at = chosen_ == Marker::Start ? start_ : end_;
    for (const Marker marker : {Marker::Start, Marker::End}) {
        if (event->key() == markerKey(marker)) {
            chosen_ = marker;
            update();
            return;
        }
    }
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        zoomIn();
        return;
    case Qt::Key_Minus:
        zoomOut();
        return;
    case Qt::Key_Left:
        moveChosen(at - step);
        return;
    case Qt::Key_Right:
        moveChosen(at + step);
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void WaveformView::wheelEvent(QWheelEvent *event)
{
    const int steps = event->angleDelta().y() / 120;
    if (steps == 0 || seconds_ <= 0) {
        QWidget::wheelEvent(event);
        return;
    }
    if (event->modifiers() & Qt::ControlModifier)
        zoomAround(secondsAt(int(event->position().x())), std::pow(2.0, -steps));
    else if (shown_ > 0)
        scrollTo(shownFrom_ - steps * shownSeconds() / 10);
    else
        QWidget::wheelEvent(event);
}

void WaveformView::moveChosen(double to)
{
    // Kept in hundredths, as the spin boxes show them.
    to = std::round(to * 100) / 100;
    if (chosen_ == Marker::Start)
        start_ = std::clamp(to, 0.0, std::max(0.0, end_ - shortestPart));
    else
        end_ = std::clamp(to, std::min(seconds_, start_ + shortestPart), seconds_);
    keepInView(chosen_ == Marker::Start ? start_ : end_);
    markersChanged();
    emit markersMoved(start_, end_);
}

QString WaveformView::markersText() const
{
    return QString::fromUtf8(TextTable::forLanguage(language_).fitWaveformValue)
        .arg(NumberText::minutesSeconds(start_, language_),
             NumberText::minutesSeconds(end_, language_));
}

int WaveformView::markerKey(Marker marker) const
{
    const TextTable &texts = TextTable::forLanguage(language_);
    const QString name =
        QString::fromUtf8(marker == Marker::Start ? texts.fitStartName : texts.fitEndName);
    return name.isEmpty() ? 0 : int(name.front().toUpper().unicode());
}

void WaveformView::describeGameLength()
{
    const auto keyName = [this](Marker marker) { return QString(QChar(markerKey(marker))); };
    QString description = QString::fromUtf8(TextTable::forLanguage(language_).fitWaveformKeys)
                              .arg(keyName(Marker::Start), keyName(Marker::End));
    if (looped_ && end_ > start_)
        description += QStringLiteral(". ") +
                       QString::fromUtf8(TextTable::forLanguage(language_).fitLoopDescription)
                           .arg(NumberText::minutesSeconds(end_ - start_, language_));
    else if (gameLength_ > 0 && start_ + gameLength_ < seconds_)
        description += QStringLiteral(". ") +
                       QString::fromUtf8(TextTable::forLanguage(language_).fitGameLengthDescription)
                           .arg(NumberText::minutesSeconds(gameLength_, language_),
                                NumberText::minutesSeconds(start_ + gameLength_, language_));
    setAccessibleDescription(description);
}

void WaveformView::markersChanged()
{
    describeGameLength();
    update();
    QAccessibleValueChangeEvent event(this, markersText());
    QAccessible::updateAccessibility(&event);
}
