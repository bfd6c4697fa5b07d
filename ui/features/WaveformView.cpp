// SPDX-License-Identifier: GPL-3.0-or-later
#include "features/WaveformView.h"

#include "NumberText.h"
#include "TextTable.h"

#include "features/WaveformAccessible.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

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
    describeGameLength();
    update();
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
    return seconds_ > 0 ? int(std::lround(seconds / seconds_ * (width() - 1))) : 0;
}

double WaveformView::secondsAt(int x) const
{
    return width() > 1 ? std::clamp(double(x) / (width() - 1), 0.0, 1.0) * seconds_ : 0;
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
    // The game plays the written file from its first sample, which is the start marker's.
    if (gameLength_ > 0 && start_ + gameLength_ < seconds_) {
        painter.setPen(QPen(Qt::darkGreen, 1, Qt::DashLine));
        const int x = xAt(start_ + gameLength_);
        painter.drawLine(x, area.top(), x, area.bottom());
        painter.drawText(x + 3, area.top() + fontMetrics().ascent(),
                         QString::fromUtf8(TextTable::forLanguage(language_).fitGameLength));
    }
    paintMarkers(painter, area);
}

void WaveformView::paintMarkers(QPainter &painter, const QRect &area) const
{
    const TextTable &texts = TextTable::forLanguage(language_);
    for (const Marker marker : {Marker::Start, Marker::End}) {
        const bool chosen = marker == chosen_ && hasFocus();
        const bool start = marker == Marker::Start;
        painter.setPen(QPen(start ? Qt::blue : Qt::red, chosen ? 3 : 2));
        const int x = xAt(start ? start_ : end_);
        painter.drawLine(x, area.top(), x, area.bottom());
        // Named at its foot, inside the part written: the start's to its right, the end's to
        // its left, and never past the view's edge.
        const QString name = QString::fromUtf8(start ? texts.fitStartName : texts.fitEndName);
        const int width = painter.fontMetrics().horizontalAdvance(name);
        const int left =
            std::clamp(start ? x + 4 : x - 4 - width, 0, std::max(0, this->width() - width));
        if (chosen) {
            QFont bold = painter.font();
            bold.setBold(true);
            painter.setFont(bold);
        }
        painter.drawText(left, area.bottom() - painter.fontMetrics().descent() - 2, name);
        painter.setFont(font());
    }
}

void WaveformView::paintPeaks(QPainter &painter, const QRect &area) const
{
    if (peaks_.empty())
        return;
    painter.setPen(palette().color(QPalette::Text));
    const double middle = area.center().y();
    const double half = area.height() / 2.0;
    for (int x = 0; x < area.width(); ++x) {
        // Each column takes the extremes of the peaks it covers.
        const auto from = std::size_t(double(x) / area.width() * peaks_.size());
        const auto to =
            std::max(from + 1, std::size_t(double(x + 1) / area.width() * peaks_.size()));
        float low = 0;
        float high = 0;
        for (std::size_t i = from; i < std::min(to, peaks_.size()); ++i) {
            low = std::min(low, peaks_[i].first);
            high = std::max(high, peaks_[i].second);
        }
        painter.drawLine(x, int(middle - high * half), x, int(middle - low * half));
    }
}

void WaveformView::paintRuler(QPainter &painter) const
{
    if (seconds_ <= 0)
        return;
    painter.setPen(palette().color(QPalette::Text));
    // A tick every so many seconds that the labels do not touch.
    const int labelWidth = fontMetrics().horizontalAdvance(QStringLiteral("00:00")) * 2;
    double step = 1;
    for (const double candidate : {1, 2, 5, 10, 15, 30, 60, 120, 300}) {
        step = candidate;
        if (xAt(candidate) >= labelWidth)
            break;
    }
    for (double at = 0; at <= seconds_; at += step) {
        const int x = xAt(at);
        painter.drawLine(x, rulerHeight() - 4, x, rulerHeight());
        const auto whole = int(at);
        painter.drawText(
            x + 2, fontMetrics().ascent(),
            QStringLiteral("%1:%2").arg(whole / 60).arg(whole % 60, 2, 10, QLatin1Char('0')));
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

void WaveformView::moveChosen(double to)
{
    // Kept in hundredths, as the spin boxes show them.
    to = std::round(to * 100) / 100;
    if (chosen_ == Marker::Start)
        start_ = std::clamp(to, 0.0, std::max(0.0, end_ - shortestPart));
    else
        end_ = std::clamp(to, std::min(seconds_, start_ + shortestPart), seconds_);
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
    if (gameLength_ > 0 && start_ + gameLength_ < seconds_)
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
