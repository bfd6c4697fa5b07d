#include "LayoutScale.h"

#include "ApplyLanguage.h"
#include "Form1.h"
#include "Form2.h"
#include "FrmAbout.h"
#include "PlatformLayer.h"
#include "Twips.h"
#include "WindowProtocol.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>

namespace layoutscale {

namespace {

constexpr double step = 0.01;
constexpr double largest = 4.0;
// Room a caption needs inside a button's frame, each side.
constexpr int buttonPadding = 3;

// Windows that are measured and never shown need nothing of the desktop.
class NoDesktop : public PlatformLayer
{
  public:
    void showMessage(QWidget *, const QString &) override {}
    bool askYesNo(QWidget *, const QString &) override { return false; }
    std::optional<QString> chooseFileToOpen(QWidget *, const OpenFileRequest &) override
    {
        return std::nullopt;
    }
    void endProgram() override {}
    bool isDriveAvailable(const QString &, bool) override { return false; }
};

bool isExempt(const QWidget &control)
{
    return control.objectName() == QLatin1String("lblDescription");
}

QString withoutMnemonic(QString caption)
{
    caption.replace(QLatin1String("&&"), QLatin1String("\x01"));
    caption.remove(QLatin1Char('&'));
    caption.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return caption;
}

bool labelFits(const QLabel &label, double width, double height)
{
    const QFontMetrics metrics(label.font());
    if (label.wordWrap()) {
        const QRect needed = metrics.boundingRect(QRect(0, 0, int(width), 1 << 20),
                                                  Qt::TextWordWrap, label.text());
        return needed.width() <= width && needed.height() <= height;
    }
    return metrics.horizontalAdvance(label.text()) <= width && metrics.height() <= height;
}

bool buttonFits(const QAbstractButton &button, double width, double height)
{
    const QFontMetrics metrics(button.font());
    int needed = metrics.horizontalAdvance(withoutMnemonic(button.text()));
    if (qobject_cast<const QRadioButton *>(&button)) {
        const QStyle *style = button.style();
        needed += style->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, &button) +
                  style->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, &button);
    } else {
        needed += 2 * buttonPadding;
    }
    return needed <= width && metrics.height() <= height;
}

QList<QWidget *> captionedControls(const QList<QWidget *> &windows)
{
    QList<QWidget *> controls;
    for (QWidget *window : windows) {
        for (QLabel *label : window->findChildren<QLabel *>()) {
            if (!label->text().isEmpty() && !isExempt(*label))
                controls << label;
        }
        for (QAbstractButton *button : window->findChildren<QAbstractButton *>())
            controls << button;
    }
    return controls;
}

double smallestFactor(const QList<QWidget *> &controls)
{
    for (double factor = 1.0; factor < largest; factor += step) {
        const bool allFit = std::all_of(controls.begin(), controls.end(),
                                        [&](const QWidget *control) { return fits(*control, factor); });
        if (allFit)
            return factor;
    }
    return largest;
}

} // namespace

bool fits(const QWidget &control, double factor)
{
    const double width = control.width() * factor;
    const double height = control.height() * factor;
    if (const auto *label = qobject_cast<const QLabel *>(&control))
        return labelFits(*label, width, height);
    if (const auto *button = qobject_cast<const QAbstractButton *>(&control))
        return buttonFits(*button, width, height);
    return true;
}

double forWindows(Form1 &form1)
{
    double factor = 1.0;
    for (const std::uint8_t language : {std::uint8_t(1), std::uint8_t(2)}) {
        ApplyLanguage(form1, language);
        const QList<QWidget *> windows = {&form1, &form1.protocol().form2(),
                                          &form1.protocol().frmAbout()};
        factor = std::max(factor, smallestFactor(captionedControls(windows)));
    }
    return factor;
}

double forDefaultFont()
{
    const double previous = twips::scale();
    twips::setScale(1.0);
    NoDesktop desktop;
    double factor = 1.0;
    {
        Form1 form1(desktop, QDir::tempPath());
        factor = forWindows(form1);
    }
    twips::setScale(previous);
    return factor;
}

} // namespace layoutscale
