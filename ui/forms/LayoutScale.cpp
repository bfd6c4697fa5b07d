// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/LayoutScale.h"

#include "Language.h"
#include "TextTable.h"
#include "Version.h"
#include "forms/MainWindowLayout.h"
#include "settings/SlotTable.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStyle>
#include <QVariant>

#include <algorithm>
#include <cmath>

namespace layoutscale {

namespace {

constexpr double step = 0.01;
constexpr double largest = 4.0;
// Room a caption needs inside a button's frame, each side.
constexpr int buttonPadding = 3;
constexpr char ownToolTipProperty[] = "layoutScaleOwnToolTip";

// The three windows' sizes in twips.
constexpr QSize windowTwips[] = {{9240, 6855}, {4680, 4665}, {5730, 3075}};
// A window manager's frame and title bar around a window, generously: the frame is not
// known before the window is shown.
constexpr QSize decoration(16, 40);

bool &elision()
{
    static bool elide = false;
    return elide;
}

QString withoutMnemonic(QString caption)
{
    caption.replace(QLatin1String("&&"), QLatin1String("\x01"));
    caption.remove(QLatin1Char('&'));
    caption.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return caption;
}

int optionIndicatorWidth()
{
    const QStyle *style = QApplication::style();
    return style->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth) +
           style->pixelMetric(QStyle::PM_RadioButtonLabelSpacing);
}

QFont fontFor(CaptionKind kind)
{
    switch (kind) {
    case CaptionKind::Button:
        return QApplication::font("QPushButton");
    case CaptionKind::Option:
        return QApplication::font("QRadioButton");
    default:
        return QApplication::font("QLabel");
    }
}

// The width a caption needs beside its text: a button's frame, an option's circle.
int extraWidth(CaptionKind kind)
{
    switch (kind) {
    case CaptionKind::Button:
        return 2 * buttonPadding;
    case CaptionKind::Option:
        return optionIndicatorWidth();
    default:
        return 0;
    }
}

bool wrappedFits(const QFontMetrics &metrics, const QString &text, double width, double height)
{
    const QRect needed =
        metrics.boundingRect(QRect(0, 0, int(width), 1 << 20), Qt::TextWordWrap, text);
    return needed.width() <= width && needed.height() <= height;
}

// Rounded up onto the grid the factor has always been stepped on.
double onGrid(double factor)
{
    if (factor <= 1.0)
        return 1.0;
    return std::min(largest, 1.0 + std::ceil((factor - 1.0) / step - 1e-9) * step);
}

double smallestFactor(const CaptionBox &box)
{
    const QFontMetrics metrics(fontFor(box.kind));
    // Boxes are whole pixels at scale 1.0.
    const double width = box.twips.width() / 15;
    const double height = box.twips.height() / 15;
    if (box.kind == CaptionKind::WrappedLabel) {
        double factor = 1.0;
        while (factor < largest &&
               !wrappedFits(metrics, box.caption, width * factor, height * factor))
            factor += step;
        return factor;
    }
    const QString text = withoutMnemonic(box.caption);
    const double needed = metrics.horizontalAdvance(text) + extraWidth(box.kind);
    return onGrid(std::max(needed / width, metrics.height() / height));
}

QString versionCaption(const TextTable &texts)
{
    return QString::fromUtf8(texts.versionPrefix) + QStringLiteral("%1.%2.%3")
                                                        .arg(version::major)
                                                        .arg(version::minor)
                                                        .arg(version::revision);
}

} // namespace

QList<CaptionBox> captionBoxes(std::uint8_t language)
{
    const TextTable &texts = TextTable::forLanguage(language);
    const auto text = [](const char *utf8) { return QString::fromUtf8(utf8); };
    using K = CaptionKind;
    QList<CaptionBox> boxes;
    for (int i = 0; i < core::slotCount; ++i) {
        const std::string_view label = core::SlotTable::slot(i).label;
        boxes.append({QStringLiteral("Label1(%1)").arg(i),
                      QString::fromUtf8(label.data(), qsizetype(label.size())),
                      {mainwindowlayout::slotLabelWidth(i), mainwindowlayout::slotLabelHeight},
                      K::Label});
    }
    const QSize browse(mainwindowlayout::browseWidth, mainwindowlayout::browseHeight);
    const QSize command(mainwindowlayout::buttonWidth, mainwindowlayout::buttonHeight);
    boxes << CaptionBox{"gomb_browse(0)", text(texts.browse), browse, K::Button}
          << CaptionBox{"gomb_firstpage", text(texts.firstPage), command, K::Button}
          << CaptionBox{"gomb_secondpage", text(texts.secondPage), command, K::Button}
          << CaptionBox{"gomb_default", text(texts.restoreDefault), command, K::Button}
          << CaptionBox{"gomb_change", text(texts.change), command, K::Button}
          << CaptionBox{"Command2", text(texts.options), command, K::Button}
          << CaptionBox{"Command1", text(texts.about), command, K::Button}
          << CaptionBox{"gomb_exit", text(texts.exit), command, K::Button} // The settings window.
          << CaptionBox{"Label1", text(texts.pathPrompt), {2535, 495}, K::WrappedLabel}
          << CaptionBox{"Command1", text(texts.ok), {855, 375}, K::Button}
          << CaptionBox{"Command2", text(texts.cancel), {855, 375}, K::Button}
          << CaptionBox{"Label2", text(texts.languageLabel), {2295, 255}, K::Label}
          << CaptionBox{"Option1", QStringLiteral("Magyar"), {1335, 375}, K::Option}
          << CaptionBox{"Option2", QStringLiteral("English"), {1335, 375}, K::Option}
          << CaptionBox{"Option3", QStringLiteral("Deutsch"), {1335, 375}, K::Option}
          // The about window.
          << CaptionBox{"cmdOK", QStringLiteral("&OK"), {1260, 345}, K::Button}
          << CaptionBox{"lblDisclaimer", text(texts.disclaimer), {3975, 465}, K::WrappedLabel}
          << CaptionBox{"lblTitle", QStringLiteral("Valdrune Music Changer"), {3975, 255}, K::Label}
          << CaptionBox{"lblVersion", versionCaption(texts), {3885, 225}, K::Label}
          << CaptionBox{"Label1", text(texts.credits), {3615, 255}, K::Label}
          << CaptionBox{"Label2", text(fixedtext::email), {3855, 255}, K::Label};
    return boxes;
}

bool fits(const QWidget &control, double factor)
{
    const double width = control.width() * factor;
    const double height = control.height() * factor;
    if (const auto *label = qobject_cast<const QLabel *>(&control)) {
        const QFontMetrics metrics(label->font());
        if (label->wordWrap())
            return wrappedFits(metrics, label->text(), width, height);
        return metrics.horizontalAdvance(label->text()) <= width && metrics.height() <= height;
    }
    if (const auto *button = qobject_cast<const QAbstractButton *>(&control)) {
        const QFontMetrics metrics(button->font());
        const CaptionKind kind =
            qobject_cast<const QRadioButton *>(button) ? CaptionKind::Option : CaptionKind::Button;
        const int needed =
            metrics.horizontalAdvance(withoutMnemonic(button->text())) + extraWidth(kind);
        return needed <= width && metrics.height() <= height;
    }
    return true;
}

double largestFitting(QSize screenArea)
{
    double factor = largest;
    for (const QSize window : windowTwips) {
        factor =
            std::min({factor, 15.0 * (screenArea.width() - decoration.width()) / window.width(),
                      15.0 * (screenArea.height() - decoration.height()) / window.height()});
    }
    // Down onto the grid, never below the layout as drawn.
    return std::max(1.0, 1.0 + std::floor((factor - 1.0) / step + 1e-9) * step);
}

double forDefaultFont(std::optional<QSize> screenArea)
{
    double factor = 1.0;
    for (const Language language : allLanguages) {
        for (const CaptionBox &box : captionBoxes(codeOf(language)))
            factor = std::max(factor, smallestFactor(box));
    }
    return screenArea ? std::min(factor, largestFitting(*screenArea)) : factor;
}

bool elidesCaptions()
{
    return elision();
}

void setElidesCaptions(bool elide)
{
    elision() = elide;
}

void elideCaptionsThatDoNotFit(QWidget &window)
{
    if (!elision())
        return;
    QList<QWidget *> controls;
    for (QLabel *label : window.findChildren<QLabel *>()) {
        if (!label->text().isEmpty() && !label->wordWrap())
            controls << label;
    }
    for (QAbstractButton *button : window.findChildren<QAbstractButton *>()) {
        if (!button->text().isEmpty())
            controls << button;
    }
    for (QWidget *control : controls) {
        if (fits(*control, 1.0))
            continue;
        auto *label = qobject_cast<QLabel *>(control);
        auto *button = qobject_cast<QAbstractButton *>(control);
        const QString caption = label ? label->text() : button->text();
        const QString whole = withoutMnemonic(caption);
        const CaptionKind kind = label                                  ? CaptionKind::Label
                                 : qobject_cast<QRadioButton *>(button) ? CaptionKind::Option
                                                                        : CaptionKind::Button;
        const int room = control->width() - extraWidth(kind);
        QString shown = control->fontMetrics().elidedText(whole, Qt::ElideRight, room);
        // The access key stays where the cut leaves its letter.
        const qsizetype key = caption.indexOf(QRegularExpression(QStringLiteral("&[^&]")));
        if (button && key >= 0 && key < shown.size() - 1)
            shown.insert(key, QLatin1Char('&'));
        if (!control->property(ownToolTipProperty).isValid())
            control->setProperty(ownToolTipProperty, control->toolTip());
        const QString own = control->property(ownToolTipProperty).toString();
        control->setToolTip(own.isEmpty() ? whole : whole + QLatin1Char('\n') + own);
        control->setAccessibleName(whole);
        if (label)
            label->setText(shown);
        else
            button->setText(shown);
    }
}

} // namespace layoutscale
